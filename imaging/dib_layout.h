#pragma once

#include <cstdint>

/// @file
/// Reading a block's header: its fields, its row stride and its layout.

///@{
/// Little-endian access to the fields of a DIB block, which need not be
/// aligned for the type.
inline std::uint32_t readLe32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
inline std::uint16_t readLe16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
inline void writeLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}
inline void writeLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
///@}

/// Bytes of one row padded to a multiple of 4.
inline std::int64_t dibStride(int bitCount, std::int64_t width) {
    return ((width * bitCount + 7) / 8 + 3) & ~std::int64_t(3);
}

/// The colour-table index of pixel @p x in a row of 1, 4 or 8 bits a pixel
/// (@p Bits), the first pixel in the high bits of a byte.
template <int Bits>
int dibIndexAt(const std::uint8_t* row, int x) {
    if constexpr (Bits == 8) return row[x];
    if constexpr (Bits == 4) return (row[x >> 1] >> (x & 1 ? 0 : 4)) & 0x0F;
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

/// The parts of a block as its header describes them.
struct DibLayout {
    int bitCount = 0;               ///< bits per pixel
    std::uint32_t compression = 0;  ///< DibHeader::kRgb or DibHeader::kBitFields
    std::uint32_t colours = 0;      ///< colour-table entries
    int tableOffset = 0;            ///< where the colour table starts
    std::int64_t infoSize = 0;      ///< where the pixel rows start
    std::int64_t stride = 0;        ///< bytes of one row
    std::int64_t imageSize = 0;     ///< bytes of all rows
};

/// Raises EDIBError "Invalid DIB Header" unless the block holds the header,
/// masks, colour table and every pixel row that the header describes.
DibLayout dibLayout(const std::uint8_t* block, std::int64_t blockSize);
