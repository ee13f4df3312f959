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

/// @file
/// Device-independent bitmaps: one packed block in memory, read from and
/// written to BMP files.

/// The bitmap info header at the start of a block.
namespace DibHeader {
///@{
/// Offsets of the fields of the bitmap info header at the start of a block.
constexpr int kSize = 0, kWidth = 4, kHeight = 8, kPlanes = 12, kBitCount = 14,
              kCompression = 16, kSizeImage = 20, kXPelsPerMeter = 24, kYPelsPerMeter = 28,
              kClrUsed = 32, kClrImportant = 36, kMasks = 40;
///@}
/// The bytes of the info header; kMasks and the colour table follow it.
constexpr int kHeaderSize = 40;
///@{
/// The two compressions a block may have: plain RGB and bit-field masks.
constexpr std::uint32_t kRgb = 0, kBitFields = 3;
///@}
}  // namespace DibHeader

/// An image held as one packed device-independent bitmap: the 40-byte info
/// header, the bit-field masks (compression 3 only), the colour table and the
/// pixel rows (each padded to 4 bytes; bottom-up unless the height is
/// negative) in one block, ready to be written after a BMP file header.
///
/// The block is at most 2^31 - 1 bytes: a size past that raises
/// EOutOfMemory, as does an allocation the system refuses.
class TDeviceIndependentBitmap : public TZVQExtGraphic {
public:
    /// An all-zero bitmap (pixels and colour table). A negative side raises
    /// EDIBError "Invalid DIB Header".
    TDeviceIndependentBitmap(TDIBFormat format, int width, int height);
    /// The toolkit bitmap's pixels in @p format, as LoadBitmap makes them.
    TDeviceIndependentBitmap(TBitmap* bitmap, TDIBFormat format);
    /// The BMP file @p fileName, as LoadFromFile reads it.
    explicit TDeviceIndependentBitmap(const QString& fileName);
    /// A copy of @p source, which must be a TDeviceIndependentBitmap (else
    /// EInvalidCast "Invalid class typecast").
    explicit TDeviceIndependentBitmap(const TZVQExtGraphic* source);
    /// A copy of `source` in `format`, of the same size and resolution. A
    /// true-colour format takes the colours as they are. A paletted one maps
    /// them to @p palette (borrowed) through a ditherer of class @p ditherer
    /// (null: none); with no palette, the source's own colour table when it
    /// fits, else a median-cut palette (TQuantizedPalette) of as many colours
    /// as the format holds. A palette of more entries than the format holds
    /// raises EDIBError "Unable to change DIB Colour Table". @p progress is
    /// called after each row, the writer as its sender.
    TDeviceIndependentBitmap(TDeviceIndependentBitmap* source, TDIBFormat format,
                             TLogicalPalette* palette, TDithererClass ditherer,
                             const TNotifyEvent& progress = {});
    /// The same from a const source, which is only read.
    TDeviceIndependentBitmap(const TDeviceIndependentBitmap* source, TDIBFormat format,
                             TLogicalPalette* palette, TDithererClass ditherer,
                             const TNotifyEvent& progress = {});
    ~TDeviceIndependentBitmap() override;

    /// A new all-zero block for @p format and that size, with its header
    /// written (as CreateBitmapInfo writes it); readers, writers and colour
    /// table pointers of the old block become invalid. A negative side
    /// raises EDIBError "Invalid DIB Header".
    void ReAlloc(TDIBFormat format, int width, int height);
    /// A new all-zero block of @p bytes, header not written: SetProperties
    /// once the caller has filled it. A negative size raises EOutOfMemory.
    void ReAllocMem(int bytes);
    /// Lets the block go: the bitmap is then 0 x 0 with no format.
    void FreeDIBMem();
    /// The bytes of the header and a full colour table for @p format
    /// (2, 16 or 256 entries; none for true colour).
    static int GetBitmapInfoSize(TDIBFormat format);
    /// The bytes of the pixel rows of such a bitmap (negative sides count as
    /// 0); EOutOfMemory past 2^31 - 1.
    static int CalcDIBSize(TDIBFormat format, int width, int height);
    /// Writes a fresh info header at the start of the block: the size, the
    /// format's bits, plain RGB, @p imageSize bytes of pixels, and the
    /// screen's resolution (screenCapabilities()) in pixels per metre.
    void CreateBitmapInfo(TDIBFormat format, int width, int height, int imageSize);
    /// Recomputes InfoSize from the header and checks that the block holds
    /// everything the header describes (EDIBError "Invalid DIB Header").
    /// The header's image size is set to that of the rows.
    void SetProperties();
    /// SetProperties, moving the pixel rows up behind a colour table that
    /// has shrunk.
    void PackDIB();

    ///@{
    /// Null when the bitmap has no colour table. The table lies in the
    /// block, owned by the bitmap, until it is reallocated.
    TRGBQuad* GetColourTable();
    const TRGBQuad* GetColourTable() const;
    ///@}
    /// Entries of the colour table: biClrUsed, else 2^bits up to 8 bits, else 0.
    int GetNumColours() const;
    /// Bits per pixel; 0 without a block.
    int GetColourBits() const;
    /// Copies the palette's entries into the colour table, which then has as
    /// many entries (0: the full table for the format), and packs the block.
    /// EDIBError "Unable to change DIB Colour Table" when the block has no
    /// room for them.
    void SetColourTable(const TLogicalPalette* palette);
    ///@{
    /// The size in pixels; the height is positive whatever the row order.
    int GetWidth() const override;
    int GetHeight() const override;
    ///@}
    /// The bytes of the pixel rows.
    int GetSize() const;
    ///@{
    /// Horizontal over vertical resolution (1 when the vertical one is not
    /// set); setting it changes the horizontal one.
    double GetAspectRatio() const;
    void SetAspectRatio(double ratio);
    ///@}
    /// The pixel format, by the bits per pixel (dt32bit without a block).
    TDIBFormat GetDIBType() const;
    ///@{
    /// The bit-field masks of a 16- or 32-bit bitmap: the block's own, or
    /// 5-5-5 and 8-8-8 for plain RGB; 0 for the other formats.
    std::uint32_t GetRedMask() const;
    std::uint32_t GetGreenMask() const;
    std::uint32_t GetBlueMask() const;
    ///@}
    /// A new reader for the bitmap's format, owned by the caller; it borrows
    /// the bitmap and must not outlive it or a reallocation of its block.
    std::unique_ptr<TDIBReader> GetReader();
    /// A reader only reads: a const bitmap hands one out too.
    std::unique_ptr<TDIBReader> GetReader() const;
    /// A new writer for the bitmap's format, owned by the caller, on the
    /// same terms as GetReader; paletted formats give a TDIBMappedWriter.
    std::unique_ptr<TDIBWriter> GetWriter();

    /// The start of the block, owned by the bitmap: the info header.
    const std::uint8_t* GetHeader() const { return block_.get(); }
    ///@{
    /// The first pixel row in the block (the bottom one unless top-down).
    std::uint8_t* GetBits() { return bits_; }
    const std::uint8_t* GetBits() const { return bits_; }
    ///@}
    /// The bytes before the pixel rows: header, masks and colour table.
    int GetInfoSize() const { return infoSize_; }
    /// The bytes of the whole block.
    int GetBlockSize() const { return blockSize_; }
    /// The 32-bit header field at @p offset (DibHeader); 0 outside the block.
    std::uint32_t headerWord(int offset) const;
    /// The rows are stored top row first (a negative height).
    bool isTopDown() const;
    ///@{
    /// Pixel row @p y, counted from the top whatever the order the rows are
    /// stored in; @p y from 0 to GetHeight() - 1.
    std::uint8_t* rowFromTop(int y);
    const std::uint8_t* rowFromTop(int y) const;
    ///@}

    /// Reads a BMP file from the stream's position and leaves the stream
    /// after it. The header is checked before anything is allocated, so that
    /// a file that claims gigabytes fails at once, and the bitmap keeps its
    /// old block on any failure: EDIBError "Invalid DIB Header" for anything
    /// that is not a whole BMP of 1, 4, 8, 16, 24 or 32 bits (uncompressed or
    /// bit fields), EOutOfMemory when the block cannot be had.
    void LoadFromStream(TStream* stream);
    /// Writes a BMP file: a file header and the block. EDIBError "Error
    /// writing to output stream" when the stream takes less.
    void SaveToStream(TStream* stream) const;
    /// LoadFromStream over the file (EFOpenError when it cannot be opened).
    void LoadFromFile(const QString& fileName);
    /// SaveToStream into a new file (EFCreateError when it cannot be made).
    void SaveToFile(const QString& fileName) const;

    /// The toolkit bitmap's size.
    static void GetBitmapDimensions(const TBitmap* bitmap, int& width, int& height);
    /// Reallocates in @p format at the toolkit bitmap's size and converts it
    /// (Bitmap2DIB).
    void LoadBitmap(TDIBFormat format, TBitmap* bitmap);
    /// The toolkit bitmap's pixels in this bitmap's format. Indexed images
    /// keep their indices when the format holds their colours; other images
    /// get black and white, the sixteen basic colours or a 256-colour median
    /// cut. A fixed transparent colour comes along. An empty bitmap raises
    /// EDIBError "Cannot obtain a Device Independent Bitmap".
    virtual void Bitmap2DIB(TBitmap* bitmap);
    /// A new toolkit bitmap with the same pixels, owned by the caller
    /// (through a BMP: EInvalidGraphic "Bitmap image is not valid" for one
    /// Qt cannot read).
    std::unique_ptr<TBitmap> AsBitmap() override;
    /// Draws into the rectangle's top-left corner, keeping the aspect ratio
    /// unless the rectangle has the bitmap's own size.
    void Draw(TCanvas* canvas, const QRect& rect) override;
    /// Puts the bitmap on the clipboard as a BMP (Exception "Cannot open
    /// clipboard" without a GUI application).
    void CopyToClipboard() override;
    /// Takes the clipboard's bitmap, as LoadFromStream; EDIBError "Clipboard
    /// does not contain a DIB!" when it holds none.
    void PasteFromClipboard();
    /// Takes a toolkit bitmap (LoadBitmap in this bitmap's format), a
    /// picture's bitmap, or the clipboard (PasteFromClipboard). Anything
    /// else, another TDeviceIndependentBitmap included (Copy makes copies),
    /// raises EConvertError.
    void Assign(TPersistent* source) override;
    /// The pixels as a 32-bit image, as the readers deliver them.
    QImage toImage() const;
    ///@{
    /// One pixel, row 0 at the top: its colour-table index (paletted formats;
    /// EScanError "Not a paletted DIB" for the others) and its colour. Outside
    /// the bitmap: EScanError "Invalid Clipping rectangle". For whole images a
    /// reader (GetReader) or toImage is much faster.
    int pixelIndex(int x, int y) const;
    TColor pixelColour(int x, int y) const;
    ///@}

protected:
    /// Puts the bitmap on a TClipboard; other destinations as TZVQExtGraphic.
    void AssignTo(TPersistent* dest) override;
    /// A copy (the TZVQExtGraphic constructor).
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
