#include "imaging/device_independent_bitmap.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "imaging/imaging_errors.h"
#include "imaging/logical_palette.h"
#include "imaging/pixel_readers.h"
#include "imaging/pixel_writers.h"
#include "imaging/dib_layout.h"
#include "toolkit/screen.h"

using namespace DibHeader;

namespace {

[[noreturn]] void throwInvalidHeader() { throw EDIBError(QStringLiteral("Invalid DIB Header")); }

}  // namespace

// What a header describes, checked against the block that holds it. Every
// reader and writer relies on this: a block that passes never lets them step
// outside it.
DibLayout dibLayout(const std::uint8_t* block, std::int64_t blockSize) {
    if (!block || blockSize < kHeaderSize) throwInvalidHeader();
    DibLayout layout;
    layout.bitCount = readLe16(block + kBitCount);
    layout.compression = readLe32(block + kCompression);
    const auto width = std::int32_t(readLe32(block + kWidth));
    const auto height = std::int32_t(readLe32(block + kHeight));
    const std::uint32_t clrUsed = readLe32(block + kClrUsed);
    const bool validBits = layout.bitCount == 1 || layout.bitCount == 4 || layout.bitCount == 8 ||
                           layout.bitCount == 16 || layout.bitCount == 24 || layout.bitCount == 32;
    const bool validCompression =
        layout.compression == kRgb ||
        (layout.compression == kBitFields && (layout.bitCount == 16 || layout.bitCount == 32));
    if (readLe32(block + kSize) != kHeaderSize || !validBits || !validCompression || width < 0 ||
        height == std::numeric_limits<std::int32_t>::min()) {
        throwInvalidHeader();
    }
    layout.colours = clrUsed != 0 ? clrUsed : layout.bitCount <= 8 ? (1u << layout.bitCount) : 0u;
    layout.tableOffset = kHeaderSize + (layout.compression == kBitFields ? 12 : 0);
    layout.infoSize = layout.tableOffset + 4 * std::int64_t(layout.colours);
    layout.stride = dibStride(layout.bitCount, width);
    const std::int64_t rows = std::abs(std::int64_t(height));
    if (layout.stride > 0 && rows > std::numeric_limits<std::int64_t>::max() / 2 / layout.stride) {
        throwInvalidHeader();
    }
    layout.imageSize = layout.stride * rows;
    if (layout.infoSize + layout.imageSize > blockSize) throwInvalidHeader();
    return layout;
}

TDeviceIndependentBitmap::TDeviceIndependentBitmap(TDIBFormat format, int width, int height) {
    ReAlloc(format, width, height);
}

TDeviceIndependentBitmap::TDeviceIndependentBitmap(TBitmap* bitmap, TDIBFormat format) {
    LoadBitmap(format, bitmap);
}

TDeviceIndependentBitmap::TDeviceIndependentBitmap(const QString& fileName) {
    LoadFromFile(fileName);
}

TDeviceIndependentBitmap::TDeviceIndependentBitmap(const TZVQExtGraphic* source)
    : TZVQExtGraphic(source) {
    const auto* dib = dynamic_cast<const TDeviceIndependentBitmap*>(source);
    if (!dib) throw EInvalidCast();
    ReAllocMem(dib->blockSize_);
    if (dib->blockSize_ > 0) std::memcpy(block_.get(), dib->block_.get(), std::size_t(dib->blockSize_));
    SetProperties();
}

TDeviceIndependentBitmap::~TDeviceIndependentBitmap() = default;

std::unique_ptr<TZVQExtGraphic> TDeviceIndependentBitmap::clone() const {
    return std::make_unique<TDeviceIndependentBitmap>(static_cast<const TZVQExtGraphic*>(this));
}

void TDeviceIndependentBitmap::ReAlloc(TDIBFormat format, int width, int height) {
    if (width < 0 || height < 0) throwInvalidHeader();
    const int infoSize = GetBitmapInfoSize(format);
    const int size = CalcDIBSize(format, width, height);
    if (size > std::numeric_limits<int>::max() - infoSize) throw EOutOfMemory();
    ReAllocMem(infoSize + size);
    CreateBitmapInfo(format, width, height, size);
    infoSize_ = infoSize;
    bits_ = block_.get() + infoSize_;
}

void TDeviceIndependentBitmap::ReAllocMem(int bytes) {
    FreeDIBMem();
    if (bytes < 0) throw EOutOfMemory();
    try {
        block_.reset(new std::uint8_t[std::size_t(bytes)]());
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
    blockSize_ = bytes;
}

void TDeviceIndependentBitmap::FreeDIBMem() {
    block_.reset();
    blockSize_ = 0;
    infoSize_ = 0;
    bits_ = nullptr;
}

void TDeviceIndependentBitmap::adoptBlock(std::unique_ptr<std::uint8_t[]> block, int size) {
    dibLayout(block.get(), size);
    FreeDIBMem();
    block_ = std::move(block);
    blockSize_ = size;
    SetProperties();
}

int TDeviceIndependentBitmap::GetBitmapInfoSize(TDIBFormat format) {
    switch (format) {
    case TDIBFormat::dtMonochrome: return kHeaderSize + 2 * 4;
    case TDIBFormat::dt4bit: return kHeaderSize + 16 * 4;
    case TDIBFormat::dt8bit: return kHeaderSize + 256 * 4;
    default: return kHeaderSize;
    }
}

int TDeviceIndependentBitmap::CalcDIBSize(TDIBFormat format, int width, int height) {
    const std::int64_t size = dibStride(bitsPerPixel(format), std::max(width, 0)) * std::max(height, 0);
    if (size > std::numeric_limits<int>::max()) throw EOutOfMemory();
    return int(size);
}

void TDeviceIndependentBitmap::CreateBitmapInfo(TDIBFormat format, int width, int height,
                                                int imageSize) {
    std::memset(block_.get(), 0, kHeaderSize);
    setHeaderWord(kSize, kHeaderSize);
    setHeaderWord(kWidth, std::uint32_t(width));
    setHeaderWord(kHeight, std::uint32_t(height));
    writeLe16(block_.get() + kPlanes, 1);
    writeLe16(block_.get() + kBitCount, std::uint16_t(bitsPerPixel(format)));
    setHeaderWord(kSizeImage, std::uint32_t(imageSize));
    const ScreenCapabilities screen = screenCapabilities();
    if (screen.heightMm > 0 && screen.widthMm > 0) {
        const auto perMetre = [](int pixels, int mm) {
            return std::uint32_t(std::lround(double(pixels) * 1000.0 / mm));
        };
        setHeaderWord(kYPelsPerMeter, perMetre(screen.heightPixels, screen.heightMm));
        setHeaderWord(kXPelsPerMeter, perMetre(screen.widthPixels, screen.widthMm));
    }
}

void TDeviceIndependentBitmap::SetProperties() {
    const DibLayout layout = dibLayout(block_.get(), blockSize_);
    infoSize_ = int(layout.infoSize);
    bits_ = block_.get() + infoSize_;
    // Saving and packing trust biSizeImage; files often leave it 0.
    setHeaderWord(kSizeImage, std::uint32_t(layout.imageSize));
}

void TDeviceIndependentBitmap::PackDIB() {
    const int oldInfoSize = infoSize_;
    const std::uint8_t* oldBits = bits_;
    SetProperties();
    if (infoSize_ != oldInfoSize) std::memmove(bits_, oldBits, std::size_t(GetSize()));
}

const TRGBQuad* TDeviceIndependentBitmap::GetColourTable() const {
    if (GetNumColours() <= 0) return nullptr;
    const int offset = kHeaderSize + (headerWord(kCompression) == kBitFields ? 12 : 0);
    return reinterpret_cast<const TRGBQuad*>(block_.get() + offset);
}

TRGBQuad* TDeviceIndependentBitmap::GetColourTable() {
    return const_cast<TRGBQuad*>(std::as_const(*this).GetColourTable());
}

int TDeviceIndependentBitmap::GetNumColours() const {
    if (!block_) return 0;
    const std::uint32_t used = headerWord(kClrUsed);
    if (used != 0) return int(std::min<std::uint32_t>(used, std::numeric_limits<int>::max()));
    const int bits = GetColourBits();
    return bits <= 8 ? 1 << bits : 0;
}

int TDeviceIndependentBitmap::GetColourBits() const {
    return block_ ? block_[kBitCount] : 0;
}

void TDeviceIndependentBitmap::SetColourTable(const TLogicalPalette* palette) {
    const int count = palette->GetCount();
    const int tableOffset = kHeaderSize + (headerWord(kCompression) == kBitFields ? 12 : 0);
    const int entries = count != 0 ? count : (GetColourBits() <= 8 ? 1 << GetColourBits() : 0);
    if (tableOffset + 4 * entries > infoSize_) {
        throw EDIBError(QStringLiteral("Unable to change DIB Colour Table"));
    }
    for (int i = 0; i < count; ++i) {
        std::uint8_t* entry = block_.get() + tableOffset + 4 * i;
        entry[0] = palette->GetBlue(i);
        entry[1] = palette->GetGreen(i);
        entry[2] = palette->GetRed(i);
    }
    setHeaderWord(kClrUsed, std::uint32_t(count));
    PackDIB();
}

int TDeviceIndependentBitmap::GetWidth() const { return int(headerWord(kWidth)); }

int TDeviceIndependentBitmap::GetHeight() const {
    return std::abs(std::int32_t(headerWord(kHeight)));
}

int TDeviceIndependentBitmap::GetSize() const { return int(headerWord(kSizeImage)); }

bool TDeviceIndependentBitmap::isTopDown() const { return std::int32_t(headerWord(kHeight)) < 0; }

const std::uint8_t* TDeviceIndependentBitmap::rowFromTop(int y) const {
    const std::int64_t stored = isTopDown() ? y : GetHeight() - 1 - y;
    return bits_ + stored * dibStride(GetColourBits(), GetWidth());
}

std::uint8_t* TDeviceIndependentBitmap::rowFromTop(int y) {
    return const_cast<std::uint8_t*>(std::as_const(*this).rowFromTop(y));
}

double TDeviceIndependentBitmap::GetAspectRatio() const {
    const auto y = std::int32_t(headerWord(kYPelsPerMeter));
    if (y == 0) return 1.0;
    return double(std::int32_t(headerWord(kXPelsPerMeter))) / y;
}

void TDeviceIndependentBitmap::SetAspectRatio(double ratio) {
    if (ratio == GetAspectRatio()) return;
    const double x = ratio * std::int32_t(headerWord(kYPelsPerMeter));
    const double limit = std::numeric_limits<std::int32_t>::max();
    setHeaderWord(kXPelsPerMeter, std::uint32_t(std::int32_t(std::lround(std::clamp(x, -limit, limit)))));
}

TDIBFormat TDeviceIndependentBitmap::GetDIBType() const {
    switch (GetColourBits()) {
    case 1: return TDIBFormat::dtMonochrome;
    case 4: return TDIBFormat::dt4bit;
    case 8: return TDIBFormat::dt8bit;
    case 16: return TDIBFormat::dt16bit;
    case 24: return TDIBFormat::dt24bit;
    default: return TDIBFormat::dt32bit;
    }
}

static std::uint32_t maskOf(const TDeviceIndependentBitmap& dib, int index, std::uint32_t mask16,
                            std::uint32_t mask32) {
    const std::uint32_t compression = dib.headerWord(kCompression);
    if (compression == kBitFields) return dib.headerWord(kMasks + 4 * index);
    if (compression != kRgb) return 0;
    if (dib.GetColourBits() == 16) return mask16;
    if (dib.GetColourBits() == 32) return mask32;
    return 0;
}

std::uint32_t TDeviceIndependentBitmap::GetRedMask() const { return maskOf(*this, 0, 0x7C00, 0xFF0000); }
std::uint32_t TDeviceIndependentBitmap::GetGreenMask() const { return maskOf(*this, 1, 0x03E0, 0x00FF00); }
std::uint32_t TDeviceIndependentBitmap::GetBlueMask() const { return maskOf(*this, 2, 0x001F, 0x0000FF); }

std::unique_ptr<TDIBReader> TDeviceIndependentBitmap::GetReader() {
    switch (GetDIBType()) {
    case TDIBFormat::dtMonochrome: return std::make_unique<TDIB1Reader>(this);
    case TDIBFormat::dt4bit: return std::make_unique<TDIB4Reader>(this);
    case TDIBFormat::dt8bit: return std::make_unique<TDIB8Reader>(this);
    case TDIBFormat::dt16bit: return std::make_unique<TDIB16Reader>(this);
    case TDIBFormat::dt24bit: return std::make_unique<TDIB24Reader>(this);
    case TDIBFormat::dt32bit: return std::make_unique<TDIB32Reader>(this);
    }
    throw EScanError(QStringLiteral("Cannot read this type of DIB"));
}

std::unique_ptr<TDIBReader> TDeviceIndependentBitmap::GetReader() const {
    // Readers take the bitmap they walk as a plain pointer, shared with the
    // writers, but never write through it.
    return const_cast<TDeviceIndependentBitmap*>(this)->GetReader();
}

namespace {

// A reader standing on the pixel at (x, y).
std::unique_ptr<TDIBReader> readerAt(const TDeviceIndependentBitmap* dib, int x, int y) {
    std::unique_ptr<TDIBReader> reader = dib->GetReader();
    reader->SetClipRect(QRect(x, y, 1, 1));
    return reader;
}

}  // namespace

int TDeviceIndependentBitmap::pixelIndex(int x, int y) const {
    if (!isMapped(GetDIBType())) throw EScanError(QStringLiteral("Not a paletted DIB"));
    const std::unique_ptr<TDIBReader> reader = readerAt(this, x, y);
    std::uint8_t index = 0;
    static_cast<TDIBMappedReader*>(reader.get())->GetNextColourIndex(index);
    return index;
}

TColor TDeviceIndependentBitmap::pixelColour(int x, int y) const {
    const std::unique_ptr<TDIBReader> reader = readerAt(this, x, y);
    std::uint8_t red = 0, green = 0, blue = 0;
    reader->GetNextPixel(red, green, blue);
    return RGB(red, green, blue);
}

std::unique_ptr<TDIBWriter> TDeviceIndependentBitmap::GetWriter() {
    switch (GetDIBType()) {
    case TDIBFormat::dtMonochrome: return std::make_unique<TDIB1Writer>(this);
    case TDIBFormat::dt4bit: return std::make_unique<TDIB4Writer>(this);
    case TDIBFormat::dt8bit: return std::make_unique<TDIB8Writer>(this);
    case TDIBFormat::dt16bit: return std::make_unique<TDIB16Writer>(this);
    case TDIBFormat::dt24bit: return std::make_unique<TDIB24Writer>(this);
    case TDIBFormat::dt32bit: return std::make_unique<TDIB32Writer>(this);
    }
    throw EScanError(QStringLiteral("Cannot write to this type of DIB"));
}

std::uint32_t TDeviceIndependentBitmap::headerWord(int offset) const {
    if (!block_ || offset < 0 || offset + 4 > blockSize_) return 0;
    return readLe32(block_.get() + offset);
}

void TDeviceIndependentBitmap::setHeaderWord(int offset, std::uint32_t value) {
    writeLe32(block_.get() + offset, value);
}
