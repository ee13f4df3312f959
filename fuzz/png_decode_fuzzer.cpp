// Feeds arbitrary bytes to the common-PNG decoder. It may leave any file to
// Qt's reader, but what it decodes must be what that reader shows. Check
// sums are put right first, so that mutations reach the chunks' contents
// rather than stop at a damaged chunk.
#include <libdeflate.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "toolkit/png_image.h"

namespace {

std::uint32_t bigEndian(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
}

void putRightCheckSums(QByteArray& file) {
    auto* bytes = reinterpret_cast<unsigned char*>(file.data());
    const std::size_t size = std::size_t(file.size());
    for (std::size_t at = 8; size - at >= 12 && at < size;) {
        const std::uint32_t length = bigEndian(bytes + at);
        if (length > size - at - 12) return;
        const unsigned char* typed = bytes + at + 4;
        const std::uint32_t sum = libdeflate_crc32(0, typed, length + 4);
        unsigned char* crc = bytes + at + 8 + length;
        for (int i = 0; i < 4; ++i) crc[i] = static_cast<unsigned char>(sum >> (24 - 8 * i));
        at += std::size_t(length) + 12;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    putRightCheckSums(bytes);
    const QImage ours = decodeCommonPng(bytes);
    if (ours.isNull()) return 0;
    const QImage theirs = QImage::fromData(bytes, "PNG");
    if (theirs.isNull() || theirs.convertToFormat(ours.format()) != ours) std::abort();
    return 0;
}
