// Feeds arbitrary bytes to the GIF decoder and reads every graphic of the
// stream twice: from memory onto each image's own bitmap, and through a
// stream that hands out a few bytes per read onto the screen's frame. Every
// pixel of each bitmap is read back. Nothing may crash or touch memory
// outside its blocks; a bad stream ends in one of our exceptions. Sizes
// declared past the decoder's pixel limit, or past what the data can hold,
// are refused before anything is allocated for them.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "gif/Zvqgif.h"
#include "gif_bytes.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/streams.h"

namespace {

volatile std::size_t sink;

void readPixels(TDeviceIndependentBitmap& dib) {
    std::unique_ptr<TDIBReader> reader = dib.GetReader();
    std::uint8_t r, g, b;
    try {
        do {
            while (reader->GetNextPixel(r, g, b)) sink = sink + r + g + b;
        } while (reader->NextRow());
    } catch (const Exception&) {
        // An index beyond the colour table is reported, not read.
    }
}

void decodeAll(TStream* stream, bool globalFrame) {
    TZVQ_GIFDecompressor decoder;
    decoder.SetUseGlobalFrame(globalFrame);
    decoder.OnComment = [](TObject*, const char* text) { sink = sink + std::strlen(text); };
    decoder.OnAppExtension = [](TObject*, const TAppID& id, const TAuthCode& code, const void* data,
                                int count) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        for (int i = 0; i < count; ++i) sink = sink + bytes[i];
        sink = sink + std::size_t(id.size() + code.size());
    };
    TGIFGraphicControlInfo info;
    try {
        while (std::unique_ptr<TZVQExtGraphic> graphic =
                   decoder.ReadGIFGraphicFromStream(stream, info)) {
            if (auto* dib = dynamic_cast<TDeviceIndependentBitmap*>(graphic.get())) {
                readPixels(*dib);
            } else if (auto* text = dynamic_cast<TPlainText*>(graphic.get());
                       text && text->GetText()) {
                sink = sink + std::strlen(text->GetText());
            }
        }
    } catch (const Exception&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    TMemoryStream memory(bytes);
    decodeAll(&memory, false);
    TrickleStream trickle(bytes, 5);
    decodeAll(&trickle, true);
    return 0;
}
