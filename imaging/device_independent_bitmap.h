#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>

#include "imaging/dib_format.h"
#include "imaging/ditherer_class.h"
#include "imaging/ext_graphic.h"

class TBitmap;
class TDIBReader;
class TDIBWriter;
class TStream;

// Offsets of the fields of the bitmap info header at the start of a block.
namespace DibHeader {
constexpr int kSize = 0, kWidth = 4, kHeight = 8, kPlanes = 12, kBitCount = 14,
              kCompression = 16, kSizeImage = 20, kXPelsPerMeter = 24, kYPelsPerMeter = 28,
              kClrUsed = 32, kClrImportant = 36, kMasks = 40;
constexpr int kHeaderSize = 40;
constexpr std::uint32_t kRgb = 0, kBitFields = 3;
}  // namespace DibHeader

// An image held as one packed device-independent bitmap: the 40-byte info
// header, the bit-field masks (compression 3 only), the colour table and the
// pixel rows (each padded to 4 bytes; bottom-up unless the height is
// negative) in one block, ready to be written after a BMP file header.
class TDeviceIndependentBitmap : public TZVQExtGraphic {
public:
    // An all-zero bitmap (pixels and colour table).
    TDeviceIndependentBitmap(TDIBFormat format, int width, int height);
    TDeviceIndependentBitmap(TBitmap* bitmap, TDIBFormat format);
    explicit TDeviceIndependentBitmap(const QString& fileName);
    // The source must be a TDeviceIndependentBitmap (else EInvalidCast).
    explicit TDeviceIndependentBitmap(const TZVQExtGraphic* source);
    // A copy of `source` in `format`; see conversion.cpp.
    TDeviceIndependentBitmap(TDeviceIndependentBitmap* source, TDIBFormat format,
                             TLogicalPalette* palette, TDithererClass ditherer,
                             const TNotifyEvent& progress = {});
    TDeviceIndependentBitmap(const TDeviceIndependentBitmap* source, TDIBFormat format,
                             TLogicalPalette* palette, TDithererClass ditherer,
                             const TNotifyEvent& progress = {});
    ~TDeviceIndependentBitmap() override;

    void ReAlloc(TDIBFormat format, int width, int height);
    void ReAllocMem(int bytes);
    void FreeDIBMem();
    static int GetBitmapInfoSize(TDIBFormat format);
    static int CalcDIBSize(TDIBFormat format, int width, int height);
    void CreateBitmapInfo(TDIBFormat format, int width, int height, int imageSize);
    // Recomputes InfoSize from the header and checks that the block holds
    // everything the header describes (EDIBError "Invalid DIB Header").
    void SetProperties();
    void PackDIB();

    // Null when the bitmap has no colour table.
    TRGBQuad* GetColourTable();
    const TRGBQuad* GetColourTable() const;
    // Entries of the colour table: biClrUsed, else 2^bits up to 8 bits, else 0.
    int GetNumColours() const;
    int GetColourBits() const;
    void SetColourTable(const TLogicalPalette* palette);
    int GetWidth() const override;
    int GetHeight() const override;
    int GetSize() const;
    double GetAspectRatio() const;
    void SetAspectRatio(double ratio);
    TDIBFormat GetDIBType() const;
    std::uint32_t GetRedMask() const;
    std::uint32_t GetGreenMask() const;
    std::uint32_t GetBlueMask() const;
    std::unique_ptr<TDIBReader> GetReader();
    // A reader only reads: a const bitmap hands one out too.
    std::unique_ptr<TDIBReader> GetReader() const;
    std::unique_ptr<TDIBWriter> GetWriter();

    const std::uint8_t* GetHeader() const { return block_.get(); }
    std::uint8_t* GetBits() { return bits_; }
    const std::uint8_t* GetBits() const { return bits_; }
    int GetInfoSize() const { return infoSize_; }
    int GetBlockSize() const { return blockSize_; }
    std::uint32_t headerWord(int offset) const;
    bool isTopDown() const;

    void LoadFromStream(TStream* stream);
    void SaveToStream(TStream* stream) const;
    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName) const;

    static void GetBitmapDimensions(const TBitmap* bitmap, int& width, int& height);
    void LoadBitmap(TDIBFormat format, TBitmap* bitmap);
    virtual void Bitmap2DIB(TBitmap* bitmap);
    std::unique_ptr<TBitmap> AsBitmap() override;
    // Draws into the rectangle's top-left corner, keeping the aspect ratio
    // unless the rectangle has the bitmap's own size.
    void Draw(TCanvas* canvas, const QRect& rect) override;
    void CopyToClipboard() override;
    void PasteFromClipboard();
    void Assign(TPersistent* source) override;
    // The pixels as a 32-bit image, as the readers deliver them.
    QImage toImage() const;
    // One pixel, row 0 at the top: its colour-table index (paletted formats;
    // EScanError "Not a paletted DIB" for the others) and its colour. Outside
    // the bitmap: EScanError "Invalid Clipping rectangle". For whole images a
    // reader (GetReader) or toImage is much faster.
    int pixelIndex(int x, int y) const;
    TColor pixelColour(int x, int y) const;

protected:
    void AssignTo(TPersistent* dest) override;
    std::unique_ptr<TZVQExtGraphic> clone() const override;

private:
    void setHeaderWord(int offset, std::uint32_t value);
    void adoptBlock(std::unique_ptr<std::uint8_t[]> block, int size);
    void writeImage(const QImage& image);

    std::unique_ptr<std::uint8_t[]> block_;
    int blockSize_ = 0;
    int infoSize_ = 0;
    std::uint8_t* bits_ = nullptr;
};
