// Reads arbitrary bytes into the frame optimiser and writes them again, as
// `zvqgif optimize` does. Nothing may crash or touch memory outside its
// blocks, and a stream the optimiser takes must be written, showing the
// same frames for the same time: the input and the output are both composed on
// the screen and compared, still frames joined. A difference aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "gif/Zvqgif.h"
#include "gif/frame_optimizer.h"
#include "gif/screen_composer.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/streams.h"

namespace {

// Small screens and images keep each run short.
constexpr std::int64_t kPixelLimit = 1 << 16;

struct Shown {
    std::vector<std::uint32_t> pixels;
    std::int64_t delay = 0;
};

// The screens the stream shows, each for how long, a screen the same as the
// one before joined into it; read as the optimiser reads.
std::vector<Shown> shownFrames(const QByteArray& gif) {
    TMemoryStream in(gif);
    TZVQ_GIFDecompressor decoder;
    decoder.setPixelLimit(kPixelLimit);
    decoder.setReadsExtensionsIn87a(true);
    decoder.OpenImageStream(&in);
    TGIFScreenComposer composer(decoder.GetScreenWidth(), decoder.GetScreenHeight());
    std::vector<Shown> shown;
    TGIFGraphicControlInfo info;
    while (const std::unique_ptr<TZVQExtGraphic> graphic = decoder.ReadGIFGraphicFromStream(&in, info)) {
        const auto* picture = dynamic_cast<const TDeviceIndependentBitmap*>(graphic.get());
        if (!picture) continue;  // plain text is not drawn
        composer.add(*picture, info, decoder.lastTransparentIndex());
        if (!shown.empty() && shown.back().pixels == composer.pixels()) {
            shown.back().delay += info.DelayTime;
        } else {
            shown.push_back({composer.pixels(), info.DelayTime});
        }
    }
    return shown;
}

// A stream that draws nothing comes out as one transparent screen, which
// every reader takes.
bool blank(const std::vector<Shown>& frames) {
    if (frames.size() != 1) return false;
    for (std::uint32_t pixel : frames[0].pixels) {
        if (pixel != 0) return false;
    }
    return true;
}

bool same(const std::vector<Shown>& a, const std::vector<Shown>& b) {
    if (a.empty()) return blank(b);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].pixels != b[i].pixels || a[i].delay != b[i].delay) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    std::unique_ptr<TGIFFrameOptimizer> optimizer;
    try {
        TMemoryStream in(input);
        optimizer = TGIFFrameOptimizer::CreateFromStream(&in, kPixelLimit);
    } catch (const Exception&) {
        return 0;  // refused, as a bad stream is
    }
    // Every frame of a stream read whole can be written again: an exception
    // from here on escapes, and the fuzzer reports it.
    TMemoryStream out;
    optimizer->write(&out);
    if (!same(shownFrames(input), shownFrames(out.bytes()))) std::abort();
    return 0;
}
