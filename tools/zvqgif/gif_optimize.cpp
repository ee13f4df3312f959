#include "gif_optimize.h"

#include "gif/frame_optimizer.h"
#include "toolkit/streams.h"

void optimizeGif(const QString& input, const QString& output, std::int64_t pixelLimit) {
    std::unique_ptr<TGIFFrameOptimizer> optimizer;
    std::int64_t inputSize = 0;
    {
        // Let go once read: its memory takes the frames' codings.
        TMemoryStream in;
        in.LoadFromFile(input);
        inputSize = in.Size();
        optimizer = TGIFFrameOptimizer::CreateFromStream(&in, pixelLimit);
    }
    TMemoryStream out;
    optimizer->write(&out);
    if (out.Size() >= inputSize) out.LoadFromFile(input);
    out.SaveToFile(output);
}
