// Feeds an arbitrary LZW code stream to the decoder, row by row into a
// bitmap until the code stream ends or fails. The first byte shapes the
// run: bits 0-5 the bitmap's width, bit 6 rows in the code stream wider than
// the bitmap's, bit 7 a stream that hands out a few bytes per read instead
// of a memory stream.
#include <cstddef>
#include <cstdint>

#include "gif/Zvqgif.h"
#include "gif_bytes.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/streams.h"

namespace {

constexpr int kRows = 16;

void readRows(TStream* stream, int width, bool widerRows) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt8bit, width, kRows);
    std::unique_ptr<TDIBWriter> writer = dib.GetWriter();
    auto* mapped = static_cast<TDIBMappedWriter*>(writer.get());
    TZVQ_LZWDecompressor decoder(stream);
    if (widerRows) decoder.setRowWidth(2 * width + 1);
    while (decoder.ReadRow(mapped)) {
        // Rows past the bitmap's last start it over: the code stream goes on.
        if (!writer->NextRow()) writer->Reset(0, 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int width = 1 + (data[0] & 0x3F) * 7;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    std::unique_ptr<TStream> stream = (data[0] & 0x80)
                                          ? std::unique_ptr<TStream>(new TrickleStream(bytes, 3))
                                          : std::unique_ptr<TStream>(new TMemoryStream(bytes));
    try {
        readRows(stream.get(), width, (data[0] & 0x40) != 0);
    } catch (const Exception&) {
    }
    // However the data ended, the decoder leaves the stream inside it.
    if (stream->Position() > stream->Size()) __builtin_trap();
    return 0;
}
