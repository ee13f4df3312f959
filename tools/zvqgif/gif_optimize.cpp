#include "gif_optimize.h"

#include "gif/frame_optimizer.h"
#include "toolkit/streams.h"

void optimizeGif(const QString& input, const QString& output, std::int64_t pixelLimit) {
    std::unique_ptr<TGIFFrameOptimizer> optimizer;
    std::int64_t inputSize = 0;
    {
        // Read a chunk at a time: the file's bytes never take room of
        // their own, and the file is closed once read.
        TFileStream in(input, TFileMode::OpenRead);
        inputSize = in.Size();
        optimizer = TGIFFrameOptimizer::CreateFromStream(&in, pixelLimit);
    }
    TMemoryStream out;
    optimizer->write(&out);
    if (out.Size() >= inputSize) out.LoadFromFile(input);
    out.SaveToFile(output);
}
