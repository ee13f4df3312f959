// The graphics of a GIF stream: images row by row into bitmaps, and plain
// text blocks.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "gif/gif_decoder.h"
#include "gif/gif_errors.h"
#include "gif/interlace_passes.h"
#include "gif/gif_palette.h"
#include "gif/lzw_decompressor.h"
#include "gif/pixel_limit.h"
#include "gif/plain_text.h"
#include "imaging/device_independent_bitmap.h"
#include "imaging/pixel_writers.h"
#include "toolkit/streams.h"

namespace {

TDIBFormat formatForColours(int count) {
    if (count > 16) return TDIBFormat::dt8bit;
    if (count >= 2) return TDIBFormat::dt4bit;
    return TDIBFormat::dtMonochrome;
}

// An image with no colour table at all shows index 0 black and every other
// index white.
void useBlackAndWhite(TLogicalPalette& palette) {
    palette.ReAlloc(2);
    palette.addColour(0, 0, 0);
    palette.addColour(255, 255, 255);
}

// Every pixel of a 1, 4 or 8-bit bitmap set to `index`, a row at a time;
// the padding at the end of each row is left as it was.
void fillIndex(TDeviceIndependentBitmap& dib, std::uint8_t index) {
    const int bits = dib.GetColourBits();
    const int width = dib.GetWidth();
    const int rows = std::abs(dib.GetHeight());
    const int stride = ((width * bits + 31) / 32) * 4;
    const auto pattern = std::uint8_t(bits == 8 ? index : bits == 4 ? (index & 0x0F) * 0x11 : (index & 1) * 0xFF);
    const int wholeBytes = width * bits / 8;
    const int restBits = width * bits % 8;
    const auto restMask = std::uint8_t(0xFF00 >> restBits);
    for (int y = 0; y < rows; ++y) {
        std::uint8_t* row = dib.GetBits() + std::ptrdiff_t(y) * stride;
        std::memset(row, pattern, std::size_t(wholeBytes));
        if (restBits) row[wholeBytes] = std::uint8_t((row[wholeBytes] & ~restMask) | (pattern & restMask));
    }
}

// The bytes of image data after the code-size byte at the stream's
// position: counted over the sub-blocks of a memory stream, all that is
// left of any other stream; -1 when even that is unknown.
std::int64_t imageDataBytes(TStream* stream) {
    const std::int64_t size = stream->Size();
    const std::int64_t position = stream->Position();
    auto* memory = dynamic_cast<TMemoryStream*>(stream);
    if (!memory) return size > position ? size - position : -1;
    const auto* bytes = static_cast<const std::uint8_t*>(memory->Memory());
    std::int64_t total = 0;
    for (std::int64_t at = position + 1; at < size && bytes[at] != 0; at += bytes[at] + 1) {
        total += std::min<std::int64_t>(bytes[at], size - at - 1);
    }
    return total;
}

// 100 * rows / total rounded half up, in integers.
int percentOf(int rows, int total) {
    return int((200 * std::int64_t(rows) + total) / (2 * std::int64_t(total)));
}

}  // namespace

// A graphic control extension speaks for the one graphic that follows it,
// its transparency included: a later graphic without one of its own has
// none, as every GIF89a reader takes it.
void TZVQ_CustomGifDecompressor::takePendingInfo() {
    currentInfo_ = pendingInfo_;
    pendingInfo_ = TGIFGraphicControlInfo{};
    currentTransparentIndex_ = pendingTransparent_ ? pendingTransparentIndex_ : -1;
    pendingTransparent_ = false;
}

// Stands at the next image or plain text; false at the trailer.
bool TZVQ_CustomGifDecompressor::atGraphic() {
    switch (blockType_) {
    case TGIFBlockTypes::gbTrailer: return false;
    case TGIFBlockTypes::gbImage:
    case TGIFBlockTypes::gbPlainText: return true;
    default: throw EGIFError(QStringLiteral("An image block was expected in the GIF stream, but not found"));
    }
}

// Looks at the first image's descriptor and counts its data, the stream
// put back where it was. An image without pixels, or of a size its data
// cannot hold, grows nothing; no side grows past what a GIF can declare. A
// screen of some size keeps it: images reaching past it are cut to it.
void TZVQ_CustomGifDecompressor::growScreenToHoldFirstImage() {
    constexpr int kLargestSide = 0xFFFF;
    declaredScreen_ = QSize(screenWidth_, screenHeight_);
    if (blockType_ != TGIFBlockTypes::gbImage || !declaredScreen_.isEmpty()) return;
    TStream* stream = GetImageStream();
    const std::int64_t at = stream->Position();
    std::uint8_t descriptor[9];
    if (stream->Read(descriptor, 9) == 9) {
        const auto word = [&](int i) { return int(descriptor[i]) | int(descriptor[i + 1]) << 8; };
        const int width = word(4), height = word(6);
        if (descriptor[8] & 0x80) stream->Seek(3 << ((descriptor[8] & 7) + 1), TSeekOrigin::Current);
        if (width > 0 && height > 0 && codedSizeCanHold(width, height, imageDataBytes(stream))) {
            screenWidth_ = std::min(kLargestSide, std::max(screenWidth_, word(0) + width));
            screenHeight_ = std::min(kLargestSide, std::max(screenHeight_, word(2) + height));
        }
    }
    stream->SetPosition(at);
}

std::unique_ptr<TZVQExtGraphic> TZVQ_CustomGifDecompressor::ReadGIFGraphicFromStream(
    TStream* stream, TGIFGraphicControlInfo& info) {
    OpenImageStream(stream);
    raiseFaultAfterGraphic();
    while (atGraphic()) {
        std::unique_ptr<TZVQExtGraphic> graphic;
        if (blockType_ == TGIFBlockTypes::gbImage) {
            graphic = ReadDIB();
        } else {
            graphic = ReadPlainText();
        }
        // A plain text block of the wrong size was skipped: go on with the
        // graphic after it.
        if (!graphic) continue;
        info = currentInfo_;
        return graphic;
    }
    return nullptr;
}

bool TZVQ_CustomGifDecompressor::skipGIFGraphic(TStream* stream, TGIFGraphicOutline& outline,
                                                TGIFGraphicControlInfo& info) {
    OpenImageStream(stream);
    raiseFaultAfterGraphic();
    while (atGraphic()) {
        if (blockType_ == TGIFBlockTypes::gbImage) {
            outline = skipImage();
        } else if (std::unique_ptr<TPlainText> text = ReadPlainText()) {
            outline = TGIFGraphicOutline{};
            outline.isText = true;
            outline.rect = QRect(currentInfo_.Origin, QSize(text->GetWidth(), text->GetHeight()));
        } else {
            continue;
        }
        info = currentInfo_;
        return true;
    }
    return false;
}

std::unique_ptr<TDeviceIndependentBitmap> TZVQ_CustomGifDecompressor::ReadDIBitmap(TDIBFormat) {
    TGIFGraphicControlInfo info;
    std::unique_ptr<TZVQExtGraphic> graphic = ReadGIFGraphicFromStream(GetImageStream(), info);
    if (auto* text = dynamic_cast<TPlainText*>(graphic.get())) return renderText(text);
    return std::unique_ptr<TDeviceIndependentBitmap>(
        static_cast<TDeviceIndependentBitmap*>(graphic.release()));
}

// The frames handed out on the screen's frame cost the screen's size each,
// whatever the file holds: together they are held to the frames' limit.
void TZVQ_CustomGifDecompressor::takeScreenFrame() {
    screenFramePixels_ += std::int64_t(screenWidth_) * screenHeight_;
    checkFramesLimit(screenFramePixels_, pixelLimit_);
}

std::unique_ptr<TDeviceIndependentBitmap> TZVQ_CustomGifDecompressor::renderText(TPlainText* text) {
    if (useGlobalFrame_) {
        checkPixelLimit(screenWidth_, screenHeight_, pixelLimit_);
        takeScreenFrame();
        return text->AsDIB(TDIBFormat::dt8bit, currentInfo_.Origin, screenWidth_, screenHeight_,
                           text->GetBackgroundColour());
    }
    return text->AsDIB(TDIBFormat::dt8bit, QPoint(0, 0), text->GetWidth(), text->GetHeight(),
                       text->GetBackgroundColour());
}

// The descriptor and local colour table of the image at hand, with the
// control data that came before it taken over; the image's rectangle.
QRect TZVQ_CustomGifDecompressor::readImageDescriptor(std::unique_ptr<TLogicalPalette>& local) {
    takePendingInfo();
    const int left = ReadWord();
    const int top = ReadWord();
    currentInfo_.Origin = QPoint(left, top);
    const int width = ReadWord();
    const int height = ReadWord();
    const std::uint8_t packed = ReadByte();
    if (packed & 0x80) local = std::make_unique<TGIFPalette>(GetImageStream(), 1 << ((packed & 7) + 1));
    lastInterlaced_ = (packed & 0x40) != 0;
    lastLocalColours_ = local ? local->GetCount() : 0;
    lastTransparentIndex_ = currentTransparentIndex_;
    return QRect(left, top, width, height);
}

std::unique_ptr<TDeviceIndependentBitmap> TZVQ_CustomGifDecompressor::ReadDIB() {
    std::unique_ptr<TLogicalPalette> local;
    const QRect image = readImageDescriptor(local);
    TLogicalPalette* palette = local ? local.get() : globalPalette_.get();
    TLogicalPalette blackAndWhite;
    if (palette->GetCount() == 0) {
        useBlackAndWhite(blackAndWhite);
        palette = &blackAndWhite;
    }
    SetOutputType(formatForColours(local ? local->GetCount() : globalPalette_->GetCount()));

    const QRect screen(0, 0, screenWidth_, screenHeight_);
    const bool clipped = clipToScreen_ && !screen.isEmpty();
    const QSize size = useGlobalFrame_ ? screen.size() : clipped ? image.intersected(screen).size() : image.size();
    checkPixelLimit(size.width(), size.height(), pixelLimit_);
    if (useGlobalFrame_) takeScreenFrame();
    // Every row down to the last one shown must come from the data.
    const int rowsShown = useGlobalFrame_ || clipped ? image.intersected(screen).height() : image.height();
    checkCodedSize(image.width(), rowsShown, imageDataBytes(GetImageStream()));
    auto dib = std::make_unique<TDeviceIndependentBitmap>(GetOutputType(), size.width(), size.height());
    dib->SetColourTable(palette);
    dib->SetAspectRatio(aspectRatio_);
    percentDone_ = 0;
    rowsInImage_ = std::abs(dib->GetHeight());
    rowsRead_ = 0;
    readImageRows(dib.get(), image, lastInterlaced_);
    setTransparency(dib.get(), palette);
    identifyBlocksAfterGraphic();
    return dib;
}

TGIFGraphicOutline TZVQ_CustomGifDecompressor::skipImage() {
    std::unique_ptr<TLogicalPalette> local;
    TGIFGraphicOutline outline;
    outline.rect = readImageDescriptor(local);
    outline.interlaced = lastInterlaced_;
    outline.localColours = lastLocalColours_;
    outline.transparentIndex = lastTransparentIndex_;
    ReadByte();  // the minimum code size
    outline.dataBytes = SkipBlocks();
    identifyBlocksAfterGraphic();
    return outline;
}

// Rows go straight from the code stream into the bitmap. On the screen's
// frame the image is clipped to the screen: rows and columns outside it are
// read and dropped, so that every row stays in step with the code stream.
void TZVQ_CustomGifDecompressor::readImageRows(TDeviceIndependentBitmap* dib, const QRect& image,
                                               bool interlaced) {
    const QRect frame(0, 0, dib->GetWidth(), std::abs(dib->GetHeight()));
    std::unique_ptr<TDIBWriter> owned = frame.isEmpty() ? nullptr : dib->GetWriter();
    auto* writer = static_cast<TDIBMappedWriter*>(owned.get());
    if (useGlobalFrame_ && writer) {
        fillIndex(*dib, std::uint8_t(writer->GetPalette()->indexOfColour(backgroundColour_)));
    }
    const QRect visible = useGlobalFrame_ ? image.intersected(frame) : frame;
    TZVQ_LZWDecompressor decoder(GetImageStream());
    if (visible.isEmpty()) return;  // nothing of it to show; the data is skipped
    writer->SetClipRect(visible);
    decoder.setRowWidth(image.width());
    decoder.setPixelsExpected(std::int64_t(image.width()) * image.height());
    std::vector<std::uint8_t> dropped;  // rows below the screen, read and let go
    const int visibleRows = visible.height();
    // A row that leaves the percentage where the last report left it cannot
    // make the engine report: only the first row and changes are reported.
    bool reported = false;
    for (const TInterlacePass& pass : imagePasses(interlaced)) {
        writer->Reset(pass.first, pass.step);
        for (int row = pass.first; row < image.height(); row += pass.step) {
            if (row >= visibleRows) {
                dropped.resize(std::size_t(image.width()));
                if (decoder.readIndices(dropped.data(), image.width()) < image.width()) break;
                continue;
            }
            if (!decoder.ReadRow(writer)) break;
            writer->NextRow();
            const int percent = percentOf(++rowsRead_, rowsInImage_);
            if (reported && percent == percentDone_) continue;
            percentDone_ = percent;
            reported = true;
            DoProgress();
        }
    }
    if (rowsRead_ != visibleRows) throw EGIFError(QStringLiteral("Unexpected end of image"));
}

void TZVQ_CustomGifDecompressor::setTransparency(TDeviceIndependentBitmap* dib,
                                                 const TLogicalPalette* palette) const {
    if (currentTransparentIndex_ < 0) return;
    dib->SetTransparent(true);
    dib->SetTransparentColour(currentTransparentIndex_ < palette->GetCount()
                                  ? palette->GetColour(currentTransparentIndex_)
                                  : clWhite);
}

std::unique_ptr<TPlainText> TZVQ_CustomGifDecompressor::ReadPlainText() {
    const std::uint8_t size = ReadByte();
    if (size != 12) {
        Warning(kWarningPlainTextLength,
                QStringLiteral("Invalid Length (%1) for Plain Text Block").arg(size));
        GetImageStream()->Seek(-1, TSeekOrigin::Current);
        SkipBlocks();
        IdentifyNextBlock();
        return nullptr;
    }
    takePendingInfo();
    currentInfo_.Origin.setX(ReadWord());
    currentInfo_.Origin.setY(ReadWord());
    auto text = std::make_unique<TPlainText>();
    const int gridWidth = ReadWord();
    const int gridHeight = ReadWord();
    // Whoever shows the text draws it at its grid's size.
    checkPixelLimit(gridWidth, gridHeight, pixelLimit_);
    text->SetGridSize(gridWidth, gridHeight);
    const int cellWidth = ReadByte();
    const int cellHeight = ReadByte();
    text->SetCellSize(cellWidth, cellHeight);
    const std::uint8_t foreground = ReadByte();
    const std::uint8_t background = ReadByte();
    const auto colourAt = [this](std::uint8_t index) {
        return index < globalPalette_->GetCount() ? globalPalette_->GetColour(index) : clBlack;
    };
    text->SetForegroundColour(colourAt(foreground));
    text->SetBackgroundColour(colourAt(background));
    GetDataBlock();
    const char zero = 0;
    GetDataBlockBuffer()->WriteBuffer(&zero, 1);
    text->SetText(static_cast<const char*>(GetDataBlockBuffer()->Memory()));
    identifyBlocksAfterGraphic();
    return text;
}
