#pragma once

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/device_independent_bitmap.h"
#include "imaging/dib_layout.h"
#include "toolkit/streams.h"

// Builds BMP files field by field, so that tests can say exactly what a
// header claims.
struct BmpLayout {
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 40;
    std::uint16_t planes = 1;
    std::uint32_t clrUsed = 0;
    std::vector<std::uint32_t> masks;  // written after a 40-byte header, or inside a longer one
    std::vector<std::uint32_t> table;  // 0x00RRGGBB, stored blue, green, red, 0
    int gapBeforePixels = 0;           // unused bytes between table and pixels
    QByteArray pixels;                 // all rows, padded as the file has them
    std::int64_t fileSize = -1;        // -1: the real size
};

inline void putLe(QByteArray& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.append(char((value >> (8 * i)) & 0xFF));
}

inline QByteArray buildBmp(const BmpLayout& s) {
    QByteArray info;
    putLe(info, s.headerSize, 4);
    putLe(info, std::uint32_t(s.width), 4);
    putLe(info, std::uint32_t(s.height), 4);
    putLe(info, s.planes, 2);
    putLe(info, s.bits, 2);
    putLe(info, s.compression, 4);
    putLe(info, std::uint32_t(s.pixels.size()), 4);
    putLe(info, 2835, 4);
    putLe(info, 2835, 4);
    putLe(info, s.clrUsed, 4);
    putLe(info, 0, 4);
    for (std::uint32_t mask : s.masks) putLe(info, mask, 4);
    while (std::uint32_t(info.size()) < s.headerSize) info.append(char(0));
    for (std::uint32_t colour : s.table) {
        info.append(char(colour & 0xFF));
        info.append(char((colour >> 8) & 0xFF));
        info.append(char((colour >> 16) & 0xFF));
        info.append(char(0));
    }
    info.append(QByteArray(s.gapBeforePixels, char(0x5A)));
    QByteArray file("BM");
    const std::int64_t size = 14 + info.size() + s.pixels.size();
    putLe(file, std::uint32_t(s.fileSize >= 0 ? s.fileSize : size), 4);
    putLe(file, 0, 4);
    putLe(file, std::uint32_t(14 + info.size()), 4);
    return file + info + s.pixels;
}

inline std::unique_ptr<TDeviceIndependentBitmap> loadBmp(const QByteArray& bytes) {
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, 1, 1);
    TMemoryStream stream(bytes);
    dib->LoadFromStream(&stream);
    return dib;
}

inline QByteArray savedBmp(const TDeviceIndependentBitmap& dib) {
    TMemoryStream stream;
    dib.SaveToStream(&stream);
    return stream.bytes();
}
