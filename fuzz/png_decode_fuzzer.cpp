// Feeds arbitrary bytes to the common-PNG decoder. It may leave any file to
// Qt's reader, but what it decodes must be what that reader shows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "toolkit/png_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QImage ours = decodeCommonPng(bytes);
    if (ours.isNull()) return 0;
    const QImage theirs = QImage::fromData(bytes, "PNG");
    if (theirs.isNull() || theirs.convertToFormat(ours.format()) != ours) std::abort();
    return 0;
}
