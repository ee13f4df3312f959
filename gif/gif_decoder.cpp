#include "gif/gif_decoder.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "gif/gif_errors.h"
#include "gif/gif_palette.h"
#include "gif/plain_text.h"
#include "imaging/device_independent_bitmap.h"
#include "toolkit/streams.h"

namespace {

TZVQ_CustomGifDecompressor* defaultDecoder = nullptr;

[[noreturn]] void throwEndOfInput() {
    throw EGIFError(QStringLiteral("Unexpected end of input stream"));
}

}  // namespace

TZVQ_CustomGifDecompressor* defaultGifDecompressor() { return defaultDecoder; }

TZVQ_CustomGifDecompressor::TZVQ_CustomGifDecompressor(QObject* owner)
    : TZVQGraphicsDecompressor(owner),
      globalPalette_(std::make_unique<TLogicalPalette>()),
      dataBlock_(std::make_unique<TMemoryStream>()) {
    if (ownerIsForm() && !defaultDecoder) defaultDecoder = this;
}

TZVQ_CustomGifDecompressor::~TZVQ_CustomGifDecompressor() {
    if (defaultDecoder == this) defaultDecoder = nullptr;
    CloseImageStream();
}

// --- Stream ----------------------------------------------------------------

void TZVQ_CustomGifDecompressor::OpenImageStream(TStream* stream) {
    TZVQGraphicsDecompressor::OpenImageStream(stream);
    if (opened_) return;
    loopCount_ = 0;
    hasLoopExtension_ = false;
    screenFramePixels_ = 0;
    faultAfterGraphic_ = nullptr;
    ReadGIFHeader();
    readScreenDescriptor();
    IdentifyNextBlock();
    growScreenToHoldFirstImage();
    opened_ = true;
}

void TZVQ_CustomGifDecompressor::CloseImageStream() {
    TZVQGraphicsDecompressor::CloseImageStream();
    opened_ = false;
}

void TZVQ_CustomGifDecompressor::resumeAt(std::int64_t position) {
    faultAfterGraphic_ = nullptr;
    GetImageStream()->SetPosition(position);
    pendingInfo_ = TGIFGraphicControlInfo{};
    pendingTransparent_ = false;
    identifyBlocksAfterGraphic();
}

bool TZVQ_CustomGifDecompressor::GetEOF() {
    return GetImageStream() && !faultAfterGraphic_ && blockType_ == TGIFBlockTypes::gbTrailer;
}

std::uint8_t TZVQ_CustomGifDecompressor::ReadByte() {
    std::uint8_t value;
    if (GetImageStream()->Read(&value, 1) != 1) throwEndOfInput();
    return value;
}

std::uint16_t TZVQ_CustomGifDecompressor::ReadWord() {
    std::uint8_t bytes[2];
    if (GetImageStream()->Read(bytes, 2) != 2) throwEndOfInput();
    return std::uint16_t(bytes[0] | bytes[1] << 8);
}

void TZVQ_CustomGifDecompressor::GetDataBlock() {
    // Emptied, its room kept: most frames bring a block or two.
    dataBlock_->SetSize(0);
    dataBlock_->SetPosition(0);
    std::uint8_t chunk[255];
    for (;;) {
        const std::uint8_t count = ReadByte();
        if (count == 0) return;
        GetImageStream()->ReadBuffer(chunk, count);
        dataBlock_->WriteBuffer(chunk, count);
    }
}

std::int64_t TZVQ_CustomGifDecompressor::SkipBlocks() {
    std::int64_t skipped = 0;
    if (!skipSubBlocks(skipped)) throwEndOfInput();
    return skipped;
}

// Passes over data sub-blocks, adding the bytes they hold to `skipped`;
// false when the stream ends inside them.
bool TZVQ_CustomGifDecompressor::skipSubBlocks(std::int64_t& skipped) {
    TStream* stream = GetImageStream();
    for (;;) {
        std::uint8_t count;
        if (stream->Read(&count, 1) != 1) return false;
        if (count == 0) return true;
        stream->Seek(count, TSeekOrigin::Current);
        skipped += count;
    }
}

// --- Header and blocks -------------------------------------------------------

void TZVQ_CustomGifDecompressor::ReadGIFHeader() {
    char signature[6];
    if (GetImageStream()->Read(signature, 6) != 6 || std::memcmp(signature, "GIF", 3) != 0) {
        throw EGIFError(QStringLiteral("Not a GIF Image stream"));
    }
    if (std::memcmp(signature + 3, "87a", 3) == 0) {
        gifType_ = TGIFType::gt87a;
    } else {
        gifType_ = TGIFType::gt89a;
        if (std::memcmp(signature + 3, "89a", 3) != 0) {
            Warning(kWarningUnknownType, QStringLiteral("Unknown GIF type"));
        }
    }
}

void TZVQ_CustomGifDecompressor::readScreenDescriptor() {
    screenWidth_ = ReadWord();
    screenHeight_ = ReadWord();
    const std::uint8_t packed = ReadByte();
    const std::uint8_t backgroundIndex = ReadByte();
    const std::uint8_t aspect = ReadByte();
    aspectRatio_ = aspect == 0 ? 1.0 : (aspect + 15) / 64.0;
    colourResolution_ = (packed >> 4) & 7;
    if (packed & 0x80) {
        TGIFPalette table(GetImageStream(), 1 << ((packed & 7) + 1));
        globalPalette_->Assign(&table);
        backgroundColour_ = backgroundIndex < globalPalette_->GetCount()
                                ? globalPalette_->GetColour(backgroundIndex)
                                : clWhite;
    }
}

void TZVQ_CustomGifDecompressor::refuseIn87a(const char* blockName) {
    if (gifType_ != TGIFType::gt87a) return;
    const QString message =
        QStringLiteral("Illegal block (%1) found in a GIF 87a data stream").arg(QLatin1String(blockName));
    if (!readsExtensionsIn87a_) throw EGIFError(message);
    Warning(kWarningExtensionIn87a, message + QStringLiteral(", read as GIF 89a"));
}

// Blocks read ahead after a whole graphic: their fault waits for the next
// read, which raises it before reading anything.
void TZVQ_CustomGifDecompressor::identifyBlocksAfterGraphic() {
    try {
        IdentifyNextBlock();
    } catch (const Exception&) {
        faultAfterGraphic_ = std::current_exception();
    }
}

void TZVQ_CustomGifDecompressor::raiseFaultAfterGraphic() {
    if (faultAfterGraphic_) std::rethrow_exception(std::exchange(faultAfterGraphic_, nullptr));
}

// Reads blocks up to the next image, plain text or trailer, consuming its
// introducer. A stream that simply ends where a block should begin is taken
// as ended: everything before it was whole. So is one whose bytes after the
// last graphic are no blocks and run to its end (padding, rubbish), as
// browsers take it.
void TZVQ_CustomGifDecompressor::IdentifyNextBlock() {
    blocksAt_ = GetImageStream()->Position();
    for (;;) {
        std::uint8_t introducer;
        if (GetImageStream()->Read(&introducer, 1) != 1) {
            blockType_ = TGIFBlockTypes::gbTrailer;
            return;
        }
        std::uint8_t label = 0;
        switch (introducer) {
        case 0x2C: blockType_ = TGIFBlockTypes::gbImage; return;
        case 0x3B: blockType_ = TGIFBlockTypes::gbTrailer; return;
        case 0x21:
            label = ReadByte();
            switch (label) {
            case 0x01:
                refuseIn87a("Plain Text");
                blockType_ = TGIFBlockTypes::gbPlainText;
                return;
            case 0xF9:
                blockType_ = TGIFBlockTypes::gbGraphicControl;
                ReadGraphicControl();
                continue;
            case 0xFE:
                blockType_ = TGIFBlockTypes::gbComment;
                ReadComment();
                continue;
            case 0xFF:
                blockType_ = TGIFBlockTypes::gbAppExtension;
                ReadApplicationExtension();
                continue;
            }
            break;
        }
        blockType_ = TGIFBlockTypes::gbUnknown;
        Warning(kWarningUnknownBlock, QStringLiteral("Unknown Block (%1) found in GIF stream")
                                          .arg(QString::number(introducer, 16).toUpper(), 2));
        std::int64_t skipped = 0;
        if (!UnknownBlockHandler(introducer, label) && !skipSubBlocks(skipped)) {
            blockType_ = TGIFBlockTypes::gbTrailer;
            return;
        }
    }
}

bool TZVQ_CustomGifDecompressor::UnknownBlockHandler(std::uint8_t, std::uint8_t) { return false; }

void TZVQ_CustomGifDecompressor::ReadGraphicControl() {
    refuseIn87a("Graphic Control");
    if (ReadByte() != 4) throw EGIFError(QStringLiteral("Illegal Graphic control block size"));
    const std::uint8_t packed = ReadByte();
    pendingInfo_.DisposalMethod = TDisposalMethods((packed >> 2) & 7);
    pendingInfo_.UserInput = (packed & 0x02) != 0;
    pendingTransparent_ = (packed & 0x01) != 0;
    pendingInfo_.DelayTime = ReadWord() * 10;
    pendingTransparentIndex_ = ReadByte();
    pendingInfo_.Origin = QPoint(0, 0);
    if (ReadByte() != 0) throw EGIFError(QStringLiteral("Block Terminator Expected but none found"));
}

void TZVQ_CustomGifDecompressor::ReadComment() {
    refuseIn87a("Comment");
    GetDataBlock();
    lastComment_ = dataBlock_->bytes();
    const char zero = 0;
    dataBlock_->WriteBuffer(&zero, 1);
    if (OnComment) OnComment(this, static_cast<const char*>(dataBlock_->Memory()));
}

void TZVQ_CustomGifDecompressor::ReadApplicationExtension() {
    refuseIn87a("Application Extension");
    GetDataBlock();
    const auto* bytes = static_cast<const std::uint8_t*>(dataBlock_->Memory());
    const int size = int(dataBlock_->Size());
    const auto field = [&](int from, int length) {
        const int available = std::clamp(size - from, 0, length);
        return QByteArray(reinterpret_cast<const char*>(bytes) + std::min(from, size), available);
    };
    const int dataStart = std::min(size, 11);
    HandleAppExtension(field(0, 8), field(8, 3), bytes + dataStart, size - dataStart);
}

void TZVQ_CustomGifDecompressor::HandleAppExtension(const TAppID& appId, const TAuthCode& authCode,
                                                    const std::uint8_t* data, int count) {
    if (appId == "NETSCAPE" && authCode == "2.0" && count == 3) {
        if (data[0] == 1) {
            loopCount_ = data[1] + 256 * data[2];
            hasLoopExtension_ = true;
        }
        return;
    }
    if (OnAppExtension) OnAppExtension(this, appId, authCode, data, count);
}
