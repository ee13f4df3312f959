#include "gif_optimize.h"

#include "gif/frame_optimizer.h"
#include "toolkit/streams.h"

void optimizeGif(const QString& input, const QString& output, std::int64_t pixelLimit) {
    TMemoryStream in;
    in.LoadFromFile(input);
    const std::unique_ptr<TGIFFrameOptimizer> optimizer = TGIFFrameOptimizer::CreateFromStream(&in, pixelLimit);
    TMemoryStream out;
    optimizer->write(&out);
    (out.Size() < in.Size() ? out : in).SaveToFile(output);
}
