// A GIF stream read into the frame optimiser, for writing it again smaller.
#include "gif/frame_optimizer.h"
#include "gif/gif_decoder.h"
#include "imaging/device_independent_bitmap.h"

std::unique_ptr<TGIFFrameOptimizer> TGIFFrameOptimizer::CreateFromStream(TStream* gif, std::int64_t pixelLimit) {
    TZVQ_GIFDecompressor decoder;
    decoder.setPixelLimit(pixelLimit);
    // The output is GIF 89a, which shows such blocks to every reader.
    decoder.setReadsExtensionsIn87a(true);
    // Comments reach the handler as the decoder meets them, which is while
    // it reads the graphic before them.
    std::vector<QByteArray> comments;
    decoder.OnComment = [&](TObject*, const char* text) { comments.emplace_back(text); };
    decoder.OpenImageStream(gif);
    checkPixelLimit(decoder.GetScreenWidth(), decoder.GetScreenHeight(), pixelLimit);
    auto optimizer = std::make_unique<TGIFFrameOptimizer>(decoder.GetScreenWidth(), decoder.GetScreenHeight());
    for (;;) {
        std::vector<QByteArray> before;
        before.swap(comments);
        TGIFGraphicControlInfo info;
        const std::unique_ptr<TZVQExtGraphic> graphic = decoder.ReadGIFGraphicFromStream(gif, info);
        if (decoder.hasLoopExtension()) optimizer->setLoopCount(decoder.GetLoopCount());
        const auto* picture = dynamic_cast<const TDeviceIndependentBitmap*>(graphic.get());
        if (!picture) {
            // Plain text is not drawn: its comments wait for the next image.
            comments.insert(comments.begin(), before.begin(), before.end());
            if (!graphic) break;
            continue;
        }
        for (const QByteArray& text : before) optimizer->addComment(text);
        optimizer->addFrame(*picture, info, decoder.lastTransparentIndex());
    }
    for (const QByteArray& text : comments) optimizer->addComment(text);
    return optimizer;
}
