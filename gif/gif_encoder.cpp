#include "gif/gif_encoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "gif/gif_errors.h"
#include "gif/plain_text.h"
#include "imaging/device_independent_bitmap.h"
#include "imaging/logical_palette.h"
#include "toolkit/streams.h"

namespace {

TZVQ_CustomGifCompressor* defaultEncoder = nullptr;

// The table size code s: 2^(s + 1) entries hold `count` colours (at least 2).
int tableSizeCode(int count) { return count < 2 ? 0 : std::bit_width(unsigned(count - 1)) - 1; }

QByteArray fixedField(const QByteArray& text, int length) {
    return text.left(length).leftJustified(length, ' ');
}

}  // namespace

TZVQ_CustomGifCompressor* defaultGifCompressor() { return defaultEncoder; }

void TGlobalFrame::Assign(TPersistent* source) {
    const auto* frame = dynamic_cast<const TGlobalFrame*>(source);
    if (!frame) {
        TPersistent::Assign(source);
        return;
    }
    UseGlobalFrame = frame->UseGlobalFrame;
    Width = frame->Width;
    Height = frame->Height;
}

TZVQ_CustomGifCompressor::TZVQ_CustomGifCompressor(QObject* owner)
    : TZVQGraphicsCompressor(owner),
      globalPalette_(std::make_unique<TLogicalPalette>()),
      globalFrame_(std::make_unique<TGlobalFrame>()) {
    if (ownerIsForm() && !defaultEncoder) defaultEncoder = this;
}

TZVQ_CustomGifCompressor::~TZVQ_CustomGifCompressor() {
    if (defaultEncoder == this) defaultEncoder = nullptr;
    try {
        CloseImageStream();
    } catch (...) {
        // A stream that cannot take the trailer any more has failed before.
    }
}

int TZVQ_CustomGifCompressor::GetPercentDone() {
    return rowsToWrite_ > 0 ? int(std::lround(100.0 * rowsWritten_ / rowsToWrite_)) : 0;
}

void TZVQ_CustomGifCompressor::SetGIFType(TGIFType type) {
    if (GetImageStream()) throw EGIFError(QStringLiteral("Cannot change the GIF type while writing a GIF Stream"));
    gifType_ = type;
}

void TZVQ_CustomGifCompressor::SetGlobalPalette(TLogicalPalette* palette) { globalPalette_->Assign(palette); }

// --- Stream ----------------------------------------------------------------

void TZVQ_CustomGifCompressor::OpenImageStream(TStream* stream) {
    const bool fresh = stream && stream != GetImageStream();
    TZVQGraphicsCompressor::OpenImageStream(stream);
    if (!fresh) return;
    writeHeader();
    screenDescriptorWritten_ = false;
    controlCarriesOver_ = false;
    heldBlocks_.clear();
}

void TZVQ_CustomGifCompressor::CloseImageStream() {
    if (GetImageStream()) {
        // A stream without graphics still gets a screen to be valid.
        if (!screenDescriptorWritten_) WriteLogicalScreenDescriptor(0, 0, 8, 0);
        WriteByte(0x3B);
        if (!retainGlobalPalette_) globalPalette_->Clear();
    }
    TZVQGraphicsCompressor::CloseImageStream();
}

void TZVQ_CustomGifCompressor::writeHeader() {
    switch (gifType_) {
    case TGIFType::gt89a: GetImageStream()->WriteBuffer("GIF89a", 6); return;
    case TGIFType::gt87a: GetImageStream()->WriteBuffer("GIF87a", 6); return;
    }
    throw EGIFError(QStringLiteral("Cannot create a GIF Stream of unknown type"));
}

void TZVQ_CustomGifCompressor::WriteByte(std::uint8_t value) { GetImageStream()->WriteBuffer(&value, 1); }

void TZVQ_CustomGifCompressor::WriteWord(std::uint16_t value) {
    const std::uint8_t bytes[2] = {std::uint8_t(value), std::uint8_t(value >> 8)};
    GetImageStream()->WriteBuffer(bytes, 2);
}

void TZVQ_CustomGifCompressor::WriteDataBlock(const void* data, int length) {
    const QByteArray blocks = dataBlocks(data, length);
    GetImageStream()->WriteBuffer(blocks.constData(), blocks.size());
}

QByteArray TZVQ_CustomGifCompressor::dataBlocks(const void* data, int length) {
    QByteArray blocks;
    blocks.reserve(length + length / 255 + 2);
    const auto* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const int n = std::min(length, 255);
        blocks.append(char(n));
        blocks.append(bytes, n);
        bytes += n;
        length -= n;
    }
    blocks.append(char(0));
    return blocks;
}

void TZVQ_CustomGifCompressor::writeExtension(const QByteArray& block) {
    if (screenDescriptorWritten_) {
        GetImageStream()->WriteBuffer(block.constData(), block.size());
    } else {
        heldBlocks_ += block;
    }
}

// --- Blocks ------------------------------------------------------------------

void TZVQ_CustomGifCompressor::refuseIn87a(const char* blockName) const {
    if (gifType_ == TGIFType::gt87a) {
        throw EGIFError(
            QStringLiteral("A %1 block cannot be encoded under GIF 87a").arg(QLatin1String(blockName)));
    }
}

void TZVQ_CustomGifCompressor::WriteColourTable(const TLogicalPalette* palette, int entries) {
    QByteArray table(entries * 3, '\0');
    for (int i = 0; i < std::min(entries, palette->GetCount()); ++i) {
        table[3 * i] = char(palette->GetRed(i));
        table[3 * i + 1] = char(palette->GetGreen(i));
        table[3 * i + 2] = char(palette->GetBlue(i));
    }
    GetImageStream()->WriteBuffer(table.constData(), table.size());
}

// Sizes and positions are 16-bit fields: a graphic (or the screen it would
// make) that they cannot hold is refused before any of its blocks is written.
void TZVQ_CustomGifCompressor::checkFieldsHold(QPoint origin, int width, int height) const {
    const auto word = [](int value) { return value >= 0 && value <= 0xFFFF; };
    const bool frame = globalFrame_->UseGlobalFrame;
    const bool screenFits = screenDescriptorWritten_ || !frame || (word(globalFrame_->Width) && word(globalFrame_->Height));
    if (screenFits && word(origin.x()) && word(origin.y()) && word(width) && word(height)) return;
    throw EGIFError(QStringLiteral("A GIF cannot hold an image of %1 x %2 pixels at (%3, %4)")
                        .arg(width).arg(height).arg(origin.x()).arg(origin.y()));
}

void TZVQ_CustomGifCompressor::WriteLogicalScreenDescriptor(int width, int height, int resolution,
                                                            std::uint8_t aspect) {
    const int count = globalPalette_->GetCount();
    const int size = tableSizeCode(count);
    WriteWord(std::uint16_t(width));
    WriteWord(std::uint16_t(height));
    WriteByte(count < 1 ? 0 : std::uint8_t(0x80 | ((resolution * 16) & 0x70) | 0x08 | size));
    WriteByte(std::uint8_t(globalPalette_->indexOfColour(backgroundColor_)));
    WriteByte(aspect);
    if (count > 0) WriteColourTable(globalPalette_.get(), 1 << (size + 1));
    screenDescriptorWritten_ = true;
    if (!heldBlocks_.isEmpty()) GetImageStream()->WriteBuffer(heldBlocks_.constData(), heldBlocks_.size());
    heldBlocks_.clear();
}

void TZVQ_CustomGifCompressor::WriteGraphicControlExtension(const TGIFGraphicControlInfo& info, bool transparent,
                                                            int index) {
    refuseIn87a("Graphic Control");
    const std::uint8_t packed = std::uint8_t((transparent ? 1 : 0) | ((int(info.DisposalMethod) * 4) & 0x1C) |
                                             (info.UserInput ? 2 : 0));
    // A delay longer than the field holds is kept as the longest it can say.
    const int hundredths = std::clamp(info.DelayTime / 10, 0, 0xFFFF);
    const std::uint8_t block[8] = {0x21, 0xF9, 4, packed, std::uint8_t(hundredths & 0xFF),
                                   std::uint8_t(hundredths >> 8), std::uint8_t(index), 0};
    GetImageStream()->WriteBuffer(block, sizeof block);
    controlCarriesOver_ = transparent || hundredths != 0 ||
                          info.DisposalMethod == TDisposalMethods::dmRestoreBackground ||
                          info.DisposalMethod == TDisposalMethods::dmRestorePrevious;
}

void TZVQ_CustomGifCompressor::WriteImageDescriptor(QPoint origin, int width, int height,
                                                    const TLogicalPalette* local) {
    WriteByte(0x2C);
    WriteWord(std::uint16_t(origin.x()));
    WriteWord(std::uint16_t(origin.y()));
    WriteWord(std::uint16_t(width));
    WriteWord(std::uint16_t(height));
    const int size = local ? tableSizeCode(local->GetCount()) : 0;
    WriteByte(std::uint8_t((local ? 0x88 | size : 0) | (interlace_ ? 0x40 : 0)));
    if (local) WriteColourTable(local, 1 << (size + 1));
}

void TZVQ_CustomGifCompressor::WriteComment(const QByteArray& text) {
    refuseIn87a("Comment");
    // A comment block without data holds nothing, and some readers refuse
    // the file for it.
    if (text.isEmpty()) return;
    writeExtension(QByteArray("\x21\xFE", 2) + dataBlocks(text.constData(), int(text.size())));
}

void TZVQ_CustomGifCompressor::WriteApplicationExtension(const TAppID& appId, const TAuthCode& authCode,
                                                         const void* data, int count) {
    refuseIn87a("Application Extension");
    writeExtension(QByteArray("\x21\xFF\x0B", 3) + fixedField(appId, 8) + fixedField(authCode, 3) +
                   dataBlocks(data, count));
}

void TZVQ_CustomGifCompressor::WriteLoopControl(int count) {
    count = std::clamp(count, 0, 0xFFFF);
    const std::uint8_t data[3] = {1, std::uint8_t(count & 0xFF), std::uint8_t(count >> 8)};
    WriteApplicationExtension("NETSCAPE", "2.0", data, 3);
}

// --- Graphics ------------------------------------------------------------------

void TZVQ_CustomGifCompressor::WriteDIBitmap(TDeviceIndependentBitmap* dib) {
    TGIFGraphicControlInfo info;
    info.Origin = QPoint(imageXOrigin_, imageYOrigin_);
    WriteDIB(dib, info);
}

void TZVQ_CustomGifCompressor::WriteGIFGraphicToStream(TStream* stream, TZVQExtGraphic* graphic,
                                                       const TGIFGraphicControlInfo& info) {
    OpenImageStream(stream);
    WriteGIFGraphic(graphic, info);
}

void TZVQ_CustomGifCompressor::WriteGIFGraphic(TZVQExtGraphic* graphic, const TGIFGraphicControlInfo& info) {
    if (auto* dib = dynamic_cast<TDeviceIndependentBitmap*>(graphic)) {
        WriteDIB(dib, info);
    } else if (auto* text = dynamic_cast<TPlainText*>(graphic)) {
        WritePlainText(text, info);
    } else {
        throw EGIFError(QStringLiteral("Unrecognised graphic type"));
    }
}

// The comment and the graphic control extension, both 89a only.
void TZVQ_CustomGifCompressor::writeLeadingBlocks(const TGIFGraphicControlInfo& info, bool transparent,
                                                  int transparentIndex, Control control) {
    if (gifType_ != TGIFType::gt89a) return;
    if (!comment_.isEmpty()) WriteComment(comment_);
    const bool saysSomething = transparent || info.UserInput || info.DisposalMethod != TDisposalMethods::dmNone ||
                               info.DelayTime / 10 != 0;
    if (control == Control::Always || saysSomething || controlCarriesOver_) {
        WriteGraphicControlExtension(info, transparent, transparentIndex);
    }
}

void TZVQ_CustomGifCompressor::WritePlainText(TPlainText* text, const TGIFGraphicControlInfo& info) {
    refuseIn87a("Plain Text");
    checkFieldsHold(info.Origin, text->GetWidth(), text->GetHeight());
    if (globalPalette_->GetCount() == 0) throw EGIFError(QStringLiteral("A Global Palette has not been defined"));
    if (!screenDescriptorWritten_) {
        const bool frame = globalFrame_->UseGlobalFrame;
        WriteLogicalScreenDescriptor(frame ? globalFrame_->Width : text->GetWidth(),
                                     frame ? globalFrame_->Height : text->GetHeight(), 8, 0);
    }
    writeLeadingBlocks(info, text->GetTransparent(),
                       globalPalette_->indexOfColour(text->GetTransparentColour()));
    const std::uint8_t head[3] = {0x21, 0x01, 12};
    GetImageStream()->WriteBuffer(head, 3);
    WriteWord(std::uint16_t(info.Origin.x()));
    WriteWord(std::uint16_t(info.Origin.y()));
    WriteWord(std::uint16_t(text->GetWidth()));
    WriteWord(std::uint16_t(text->GetHeight()));
    WriteByte(std::uint8_t(text->GetCellWidth()));
    WriteByte(std::uint8_t(text->GetCellHeight()));
    WriteByte(std::uint8_t(globalPalette_->indexOfColour(text->GetForegroundColour())));
    WriteByte(std::uint8_t(globalPalette_->indexOfColour(text->GetBackgroundColour())));
    const char* characters = text->GetText() ? text->GetText() : "";
    WriteDataBlock(characters, int(std::strlen(characters)));
}
