#include "gif_optimize.h"

#include "gif/frame_optimizer.h"
#include "gif/gif_errors.h"
#include "toolkit/streams.h"

std::optional<TGIFStreamDamage> optimizeGif(const QString& input, const QString& output, std::int64_t pixelLimit) {
    TMemoryStream out;
    bool keepInput = false;
    std::optional<TGIFStreamDamage> damage;
    try {
        std::unique_ptr<TGIFFrameOptimizer> optimizer;
        std::int64_t inputSize = 0;
        {
            // Read a chunk at a time: the file's bytes never take room of
            // their own, and the file is closed once read.
            TFileStream in(input, TFileMode::OpenRead);
            inputSize = in.Size();
            optimizer = TGIFFrameOptimizer::CreateFromStream(&in, pixelLimit, &damage);
        }
        optimizer->write(&out);
        // A damaged file is not copied: what its readers show is written
        // whole.
        keepInput = !damage && out.Size() >= inputSize;
    } catch (const EGIFFrameColours&) {
        // What the file's images draw would come together in a frame of
        // more colours than a table holds: the file's own frames stand.
        keepInput = true;
    }
    if (keepInput) out.LoadFromFile(input);
    out.SaveToFile(output);
    return damage;
}
