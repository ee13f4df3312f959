#include "toolkit/png_image.h"

#include <libdeflate.h>

#include <QImageReader>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Deflate codes at most 258 bytes in a bit and a bit; with the zlib
// wrapping, a stream can never grow more than this many times.
constexpr std::int64_t kLargestGrowth = 1032;
// libpng's own limit on either side.
constexpr std::uint32_t kLargestSide = 1000000;

enum ColourType : int { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgbAlpha = 6 };

// Qt's reader refuses a chunk whose type is not four letters.
bool isChunkType(const unsigned char* type) {
    return std::all_of(type, type + 4, [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

std::uint32_t bigEndian(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
}

struct Header {
    int width = 0;
    int height = 0;
    int colourType = 0;
    int channels = 0;
};

// The chunks the picture needs, as far as they are of the kinds read here.
struct Chunks {
    Header header;
    std::vector<QRgb> palette;
    std::vector<unsigned char> data;  // the image data, joined
};

int channelsOf(int colourType) {
    switch (colourType) {
    case kGrey: return 1;
    case kRgb: return 3;
    case kPalette: return 1;
    case kGreyAlpha: return 2;
    case kRgbAlpha: return 4;
    default: return 0;
    }
}

std::optional<Header> readHeader(const unsigned char* at, std::uint32_t length) {
    if (length != 13) return std::nullopt;
    Header header;
    const std::uint32_t width = bigEndian(at), height = bigEndian(at + 4);
    const int depth = at[8], compression = at[10], filter = at[11], interlace = at[12];
    header.colourType = at[9];
    header.channels = channelsOf(header.colourType);
    if (width == 0 || height == 0 || width > kLargestSide || height > kLargestSide) return std::nullopt;
    if (depth != 8 || header.channels == 0 || compression != 0 || filter != 0 || interlace != 0) return std::nullopt;
    header.width = int(width);
    header.height = int(height);
    return header;
}

// Null where the file holds anything read otherwise: other chunks that
// matter to the picture, chunks out of order, a damaged check sum.
std::optional<Chunks> readChunks(const QByteArray& file) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.constData());
    const std::size_t size = std::size_t(file.size());
    if (size < 8 || std::memcmp(bytes, kSignature, 8) != 0) return std::nullopt;
    Chunks chunks;
    bool haveHeader = false, dataEnded = false;
    for (std::size_t at = 8;;) {
        if (size - at < 12) return std::nullopt;
        const std::uint32_t length = bigEndian(bytes + at);
        if (length > size - at - 12) return std::nullopt;
        const unsigned char* type = bytes + at + 4;
        const unsigned char* data = type + 4;
        if (!isChunkType(type)) return std::nullopt;
        const bool critical = (type[0] & 0x20) == 0;
        const bool isData = std::memcmp(type, "IDAT", 4) == 0;
        // Qt's reader refuses a damaged critical chunk, and shows a
        // transparent colour, which this one leaves to it.
        if (std::memcmp(type, "tRNS", 4) == 0) return std::nullopt;
        if (critical && libdeflate_crc32(0, type, length + 4) != bigEndian(data + length)) return std::nullopt;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (haveHeader) return std::nullopt;
            const std::optional<Header> header = readHeader(data, length);
            if (!header) return std::nullopt;
            chunks.header = *header;
            haveHeader = true;
        } else if (!haveHeader) {
            return std::nullopt;
        } else if (isData) {
            if (dataEnded) return std::nullopt;
            chunks.data.insert(chunks.data.end(), data, data + length);
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            if (length % 3 != 0 || length == 0 || length > 768 || !chunks.palette.empty() || !chunks.data.empty())
                return std::nullopt;
            for (std::uint32_t i = 0; i < length; i += 3) chunks.palette.push_back(qRgb(data[i], data[i + 1], data[i + 2]));
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        } else if (critical) {
            return std::nullopt;
        }
        dataEnded = !chunks.data.empty() && !isData;
        at += std::size_t(length) + 12;
    }
    if (chunks.header.colourType == kPalette && chunks.palette.empty()) return std::nullopt;
    return chunks;
}

// The neighbour the Paeth filter predicts from, chosen without a branch:
// a photograph's pixels would mispredict one.
inline int paeth(int left, int above, int aboveLeft) {
    const int toLeft = std::abs(above - aboveLeft), toAbove = std::abs(left - aboveLeft),
              toAboveLeft = std::abs(left + above - 2 * aboveLeft);
    const int notLeft = toAbove <= toAboveLeft ? above : aboveLeft;
    return toLeft <= toAbove && toLeft <= toAboveLeft ? left : notLeft;
}

// A pixel's channels side by side: each byte depends on the one a pixel
// before it, so the channels are all a row offers to do at once.
template <int kStep>
void undoPaethOf(unsigned char* row, const unsigned char* above, std::size_t length) {
    int left[kStep] = {}, aboveLeft[kStep] = {};
    for (std::size_t i = 0; i < length; i += kStep) {
        for (int c = 0; c < kStep; ++c) {
            const int up = above[i + std::size_t(c)];
            left[c] = (row[i + std::size_t(c)] + paeth(left[c], up, aboveLeft[c])) & 0xFF;
            aboveLeft[c] = up;
            row[i + std::size_t(c)] = std::uint8_t(left[c]);
        }
    }
}

void undoPaeth(unsigned char* row, const unsigned char* above, std::size_t length, int step) {
    switch (step) {
    case 1: return undoPaethOf<1>(row, above, length);
    case 2: return undoPaethOf<2>(row, above, length);
    case 3: return undoPaethOf<3>(row, above, length);
    default: return undoPaethOf<4>(row, above, length);
    }
}

#if defined(__SSE2__)
// Pixels of 3 or 4 bytes, the usual colour ones, a pixel at a time with
// each channel in a 16-bit lane: the wait on the pixel before is a few
// register operations a pixel rather than a chain through memory for each
// byte. Adding bytes (_mm_add_epi8) keeps each lane below 256.
enum class Filter { Sub, Average, Paeth };

// Four bytes, whatever the pixel's size: a 3-byte pixel's fourth lane is
// never stored. The rows are followed by spare bytes for the last pixel's.
inline __m128i loadPixel(const unsigned char* at) {
    std::uint32_t bytes;
    std::memcpy(&bytes, at, 4);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(bytes)), _mm_setzero_si128());
}

template <int kStep>
void storePixel(unsigned char* at, __m128i lanes) {
    const auto bytes = std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes)));
    std::memcpy(at, &bytes, kStep);
}

inline __m128i absolute(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }
inline __m128i blend(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// The Paeth predictor of each lane, with the ties broken as paeth() does.
inline __m128i paethOf(__m128i left, __m128i above, __m128i aboveLeft) {
    const __m128i towardsAbove = _mm_sub_epi16(above, aboveLeft), towardsLeft = _mm_sub_epi16(left, aboveLeft);
    const __m128i toLeft = absolute(towardsAbove), toAbove = absolute(towardsLeft),
                  toAboveLeft = absolute(_mm_add_epi16(towardsAbove, towardsLeft));
    const __m128i least = _mm_min_epi16(toAboveLeft, _mm_min_epi16(toLeft, toAbove));
    return blend(_mm_cmpeq_epi16(least, toLeft), left,
                 blend(_mm_cmpeq_epi16(least, toAbove), above, aboveLeft));
}

template <Filter kFilter, int kStep>
void undoInLanes(unsigned char* row, const unsigned char* above, std::size_t length) {
    __m128i left = _mm_setzero_si128(), aboveLeft = _mm_setzero_si128();
    for (std::size_t i = 0; i < length; i += kStep) {
        const __m128i coded = loadPixel(row + i);
        if constexpr (kFilter == Filter::Sub) {
            left = _mm_add_epi8(coded, left);
        } else {
            const __m128i up = loadPixel(above + i);
            if constexpr (kFilter == Filter::Average) {
                left = _mm_add_epi8(coded, _mm_srli_epi16(_mm_add_epi16(left, up), 1));
            } else {
                left = _mm_add_epi8(coded, paethOf(left, up, aboveLeft));
                aboveLeft = up;
            }
        }
        storePixel<kStep>(row + i, left);
    }
}

template <Filter kFilter>
bool undoInLanes(unsigned char* row, const unsigned char* above, std::size_t length, int step) {
    if (step == 3) undoInLanes<kFilter, 3>(row, above, length);
    else if (step == 4) undoInLanes<kFilter, 4>(row, above, length);
    else return false;
    return true;
}
#endif

// Undoes a row's filter in place; `above` is the row before, unfiltered
// (zeros above the first).
bool unfilter(unsigned char* row, const unsigned char* above, std::size_t length, int step) {
    const int filter = row[-1];
#if defined(__SSE2__)
    if (filter == 1 && undoInLanes<Filter::Sub>(row, above, length, step)) return true;
    if (filter == 3 && undoInLanes<Filter::Average>(row, above, length, step)) return true;
    if (filter == 4 && undoInLanes<Filter::Paeth>(row, above, length, step)) return true;
#endif
    switch (filter) {
    case 0: return true;
    case 1:
        for (std::size_t i = std::size_t(step); i < length; ++i) row[i] = std::uint8_t(row[i] + row[i - step]);
        return true;
    case 2:
        for (std::size_t i = 0; i < length; ++i) row[i] = std::uint8_t(row[i] + above[i]);
        return true;
    case 3:
        for (std::size_t i = 0; i < std::size_t(step); ++i) row[i] = std::uint8_t(row[i] + above[i] / 2);
        for (std::size_t i = std::size_t(step); i < length; ++i)
            row[i] = std::uint8_t(row[i] + (row[i - step] + above[i]) / 2);
        return true;
    case 4: undoPaeth(row, above, length, step); return true;
    default: return false;
    }
}

// One unfiltered row into the image's, as Qt's reader gives its colours.
bool convertRow(const unsigned char* row, QRgb* out, const Chunks& chunks) {
    const int width = chunks.header.width;
    switch (chunks.header.colourType) {
    case kGrey:
        for (int x = 0; x < width; ++x) out[x] = qRgb(row[x], row[x], row[x]);
        return true;
    case kRgb: {
        // Four bytes at a time, red first: swapped, they are a QRgb but
        // for its alpha. The last pixel has only its own three.
        for (int x = 0; x + 1 < width; ++x, row += 3) {
            std::uint32_t bytes;
            std::memcpy(&bytes, row, 4);
            out[x] = 0xFF000000u | __builtin_bswap32(bytes) >> 8;
        }
        if (width > 0) out[width - 1] = qRgb(row[0], row[1], row[2]);
        return true;
    }
    case kGreyAlpha:
        for (int x = 0; x < width; ++x, row += 2) out[x] = qRgba(row[0], row[0], row[0], row[1]);
        return true;
    case kRgbAlpha:
        for (int x = 0; x < width; ++x, row += 4) out[x] = qRgba(row[0], row[1], row[2], row[3]);
        return true;
    default: {
        const std::size_t entries = chunks.palette.size();
        unsigned char largest = 0;
        for (int x = 0; x < width; ++x) largest = std::max(largest, row[x]);
        if (largest >= entries) return false;
        for (int x = 0; x < width; ++x) out[x] = chunks.palette[row[x]];
        return true;
    }
    }
}

// Read, never used, after the rows.
constexpr std::size_t kSpareBytes = 16;

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* decompressor) const { libdeflate_free_decompressor(decompressor); }
};

QImage decode(const Chunks& chunks) {
    const Header& header = chunks.header;
    const std::size_t rowBytes = std::size_t(header.width) * std::size_t(header.channels);
    const std::size_t rawSize = std::size_t(header.height) * (rowBytes + 1);
    // A size the header claims is held to what the data could hold, and to
    // what Qt's reader would allocate.
    if (rawSize > chunks.data.size() * kLargestGrowth + 1024) return {};
    const std::int64_t imageBytes = std::int64_t(header.width) * header.height * 4;
    if (QImageReader::allocationLimit() > 0 && imageBytes > std::int64_t(QImageReader::allocationLimit()) << 20)
        return {};
    // A row of zeros above the first; the rest is written over. Filters
    // may read a few bytes past the last row.
    std::unique_ptr<unsigned char[]> raw(new (std::nothrow) unsigned char[rowBytes + 1 + rawSize + kSpareBytes]);
    if (!raw) return {};
    std::memset(raw.get(), 0, rowBytes + 1);
    std::memset(raw.get() + rowBytes + 1 + rawSize, 0, kSpareBytes);
    // Each row after its filter type.
    unsigned char* const stream = raw.get() + rowBytes + 1;
    const std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(libdeflate_alloc_decompressor());
    // Exactly the rows the header gives, or the data is not read here.
    if (!decompressor || libdeflate_zlib_decompress(decompressor.get(), chunks.data.data(), chunks.data.size(), stream,
                                                    rawSize, nullptr) != LIBDEFLATE_SUCCESS)
        return {};
    QImage image(header.width, header.height,
                 header.colourType == kGreyAlpha || header.colourType == kRgbAlpha ? QImage::Format_ARGB32
                                                                                    : QImage::Format_RGB32);
    if (image.isNull()) return {};
    const int step = std::max(1, header.channels);
    for (int y = 0; y < header.height; ++y) {
        unsigned char* const row = stream + std::size_t(y) * (rowBytes + 1) + 1;
        const unsigned char* const above = row - (rowBytes + 1);
        if (!unfilter(row, above, rowBytes, step)) return {};
        if (!convertRow(row, reinterpret_cast<QRgb*>(image.scanLine(y)), chunks)) return {};
    }
    return image;
}

}  // namespace

QImage decodeCommonPng(const QByteArray& file) {
    const std::optional<Chunks> chunks = readChunks(file);
    return chunks ? decode(*chunks) : QImage();
}
