#pragma once

#include <memory>

#include "gif/gif_types.h"
#include "gif/pixel_limit.h"
#include "imaging/graphics_engine.h"
#include "toolkit/colors.h"

class TDIBMappedWriter;
class TLogicalPalette;
class TMemoryStream;
class TPlainText;
class TZVQExtGraphic;
class TZVQ_LZWDecompressor;

// Reads a GIF stream (87a or 89a) block by block and hands out its graphics
// one at a time: images as bitmaps in the format their colour count calls
// for, plain text blocks as TPlainText, each with the graphic control data
// that came before it. Comments and application extensions go to events as
// they are met; the looping extension is taken in here.
class TZVQ_CustomGifDecompressor : public TZVQGraphicsDecompressor {
public:
    static constexpr int kWarningUnknownType = 4096;
    static constexpr int kWarningUnknownBlock = 4097;
    static constexpr int kWarningPlainTextLength = 4098;
    // A GIF 89a block in a stream that says GIF87a, read as GIF 89a (only
    // with setReadsExtensionsIn87a): "Illegal block (%s) found in a GIF 87a
    // data stream, read as GIF 89a".
    static constexpr int kWarningExtensionIn87a = 4099;

    // A decoder owned by a top-level window becomes the process-wide default
    // when there is none yet.
    explicit TZVQ_CustomGifDecompressor(QObject* owner = nullptr);
    ~TZVQ_CustomGifDecompressor() override;

    int GetPercentDone() override { return percentDone_; }
    // Reads the header and the screen descriptor the first time only, so
    // that several graphics can be read from one stream.
    void OpenImageStream(TStream* stream) override;
    void CloseImageStream() override;
    bool GetEOF() override;
    QString GetResourceType() override { return QStringLiteral("GIF"); }
    // A plain text block comes back rendered; null at the trailer.
    std::unique_ptr<TDeviceIndependentBitmap> ReadDIBitmap(TDIBFormat format) override;
    // The next image or plain text of the stream, null at the trailer.
    // An image or text grid over the pixel limit, and an image whose data
    // cannot hold its rows, are refused with EGIFError before anything is
    // allocated for them.
    std::unique_ptr<TZVQExtGraphic> ReadGIFGraphicFromStream(TStream* stream, TGIFGraphicControlInfo& info);
    // Where the blocks that lead to the next graphic begin in the stream:
    // after the screen descriptor, then after each graphic read or skipped.
    std::int64_t nextGraphicAt() const { return blocksAt_; }
    // Goes on reading at a place nextGraphicAt() gave for this stream, as
    // though everything after it had not been read yet (a player that
    // steps back resumes at a frame it composed before). The header, the
    // screen and the loop count stay as they were read.
    void resumeAt(std::int64_t position);
    // Passes over the next graphic without decoding its pixels, as
    // ReadGIFGraphicFromStream would read everything else about it (control
    // data, comments, warnings); false at the trailer. Nothing is allocated
    // for its sizes, so no limit applies.
    bool skipGIFGraphic(TStream* stream, TGIFGraphicOutline& outline, TGIFGraphicControlInfo& info);

    std::uint8_t ReadByte();
    std::uint16_t ReadWord();
    // The data sub-blocks that follow, joined in the data block buffer.
    void GetDataBlock();
    // Passes over the data sub-blocks that follow; the bytes they hold.
    std::int64_t SkipBlocks();

    TGIFType GetGIFType() const { return gifType_; }
    TLogicalPalette* GetGlobalPalette() const { return globalPalette_.get(); }
    TColor GetBackgroundColour() const { return backgroundColour_; }
    int GetScreenWidth() const { return screenWidth_; }
    int GetScreenHeight() const { return screenHeight_; }
    double GetAspectRatio() const { return aspectRatio_; }
    int GetColourResolution() const { return colourResolution_; }
    TGIFBlockTypes GetCurrentBlockType() const { return blockType_; }
    TMemoryStream* GetDataBlockBuffer() const { return dataBlock_.get(); }
    const TGIFGraphicControlInfo& GetGraphicControlInfo() const { return currentInfo_; }
    int GetLoopCount() const { return loopCount_; }
    // The stream has a looping extension (a loop count of 0 then means for
    // ever, not "play once").
    bool hasLoopExtension() const { return hasLoopExtension_; }
    // Of the image read last: whether it was interlaced, the entries of its
    // own colour table (0 without one), and the transparent index in force
    // for it (-1 for none).
    bool lastImageInterlaced() const { return lastInterlaced_; }
    int lastLocalColours() const { return lastLocalColours_; }
    int lastTransparentIndex() const { return lastTransparentIndex_; }
    // Off (the default), a graphic control, comment, application extension
    // or plain text block in a GIF87a stream is refused with EGIFError
    // "Illegal block (%s) found in a GIF 87a data stream". On, it is read
    // as GIF 89a with warning kWarningExtensionIn87a: some writers put
    // "GIF87a" on any stream whose first frame needs nothing of 89a.
    bool readsExtensionsIn87a() const { return readsExtensionsIn87a_; }
    void setReadsExtensionsIn87a(bool value) { readsExtensionsIn87a_ = value; }
    // The most pixels one image, text grid or global frame may have.
    std::int64_t pixelLimit() const { return pixelLimit_; }
    void setPixelLimit(std::int64_t pixels) { pixelLimit_ = pixels; }
    bool GetUseGlobalFrame() const { return useGlobalFrame_; }
    // Every image is delivered on a bitmap of the logical screen's size.
    // Each costs the screen's size, so that the frames of one stream
    // together are held to kFramesPerPixelLimit times the pixel limit.
    void SetUseGlobalFrame(bool value) { useGlobalFrame_ = value; }
    // Every image is delivered cut to the logical screen (when the screen
    // has a size): what lies outside it is read and dropped, never stored.
    bool clipToScreen() const { return clipToScreen_; }
    void setClipToScreen(bool value) { clipToScreen_ = value; }

    TCommentEvent OnComment;
    TAppExtensionEvent OnAppExtension;

protected:
    // The looping extension is handled here; other extensions go to
    // OnAppExtension.
    virtual void HandleAppExtension(const TAppID& appId, const TAuthCode& authCode,
                                    const std::uint8_t* data, int count);
    // True when the handler consumed the block; otherwise it is skipped.
    virtual bool UnknownBlockHandler(std::uint8_t introducer, std::uint8_t label);

private:
    void ReadGIFHeader();
    void readScreenDescriptor();
    void IdentifyNextBlock();
    void refuseIn87a(const char* blockName);
    void ReadGraphicControl();
    void ReadComment();
    void ReadApplicationExtension();
    void takePendingInfo();
    bool atGraphic();
    QRect readImageDescriptor(std::unique_ptr<TLogicalPalette>& local);
    std::unique_ptr<TDeviceIndependentBitmap> ReadDIB();
    TGIFGraphicOutline skipImage();
    std::unique_ptr<TPlainText> ReadPlainText();
    std::unique_ptr<TDeviceIndependentBitmap> renderText(TPlainText* text);
    void takeScreenFrame();
    void readImageRows(TDeviceIndependentBitmap* dib, const QRect& image, bool interlaced);
    void setTransparency(TDeviceIndependentBitmap* dib, const TLogicalPalette* palette) const;

    TGIFType gifType_ = TGIFType::gt87a;
    int percentDone_ = 0;
    std::unique_ptr<TLogicalPalette> globalPalette_;
    TColor backgroundColour_ = clBlack;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    double aspectRatio_ = 1.0;
    int colourResolution_ = 0;
    TGIFBlockTypes blockType_ = TGIFBlockTypes::gbTrailer;
    std::unique_ptr<TMemoryStream> dataBlock_;
    TGIFGraphicControlInfo currentInfo_;
    TGIFGraphicControlInfo pendingInfo_;
    std::uint8_t pendingTransparentIndex_ = 0;
    bool pendingTransparent_ = false;
    int currentTransparentIndex_ = -1;  // of the graphic last read
    int loopCount_ = 0;
    bool hasLoopExtension_ = false;
    int rowsRead_ = 0;
    int rowsInImage_ = 0;
    bool lastInterlaced_ = false;
    int lastLocalColours_ = 0;
    int lastTransparentIndex_ = -1;
    bool opened_ = false;
    bool useGlobalFrame_ = false;
    bool clipToScreen_ = false;
    bool readsExtensionsIn87a_ = false;
    std::int64_t pixelLimit_ = kDefaultPixelLimit;
    std::int64_t screenFramePixels_ = 0;
    std::int64_t blocksAt_ = 0;  // handed out on the screen's frame since the stream opened
};

// The same decoder as it is offered to form designers.
class TZVQ_GIFDecompressor : public TZVQ_CustomGifDecompressor {
public:
    using TZVQ_CustomGifDecompressor::TZVQ_CustomGifDecompressor;
};

// The decoder a window made the default, or null.
TZVQ_CustomGifDecompressor* defaultGifDecompressor();
