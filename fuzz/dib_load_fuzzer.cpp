// Feeds arbitrary bytes to the BMP loader, then reads every pixel of what
// loaded, in both directions: neither may crash or touch memory outside the
// bitmap's block.
#include <cstddef>
#include <cstdint>

#include "imaging/Zvqgraph.h"
#include "toolkit/streams.h"

namespace {

void readAll(TDeviceIndependentBitmap& dib) {
    std::unique_ptr<TDIBReader> reader = dib.GetReader();
    std::uint8_t r, g, b;
    do {
        while (reader->GetNextPixel(r, g, b)) {
        }
        reader->SetBackwardsScan(true);
        while (reader->GetNextPixel(r, g, b)) {
        }
        reader->SetBackwardsScan(false);
    } while (reader->NextRow());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt24bit, 1, 1);
    TMemoryStream stream(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    try {
        dib.LoadFromStream(&stream);
    } catch (const EDIBError&) {
        return 0;
    }
    if (dib.GetWidth() <= 0 || dib.GetHeight() <= 0) return 0;
    try {
        readAll(dib);
    } catch (const Exception&) {
        // An index beyond the colour table is reported, not read.
    }
    return 0;
}
