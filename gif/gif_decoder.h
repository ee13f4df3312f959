#pragma once

#include <QSize>
#include <exception>
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

/// @file
/// The GIF decoder.

/// Reads a GIF stream (87a or 89a) block by block and hands out its graphics
/// one at a time: images as bitmaps in the format their colour count calls
/// for, plain text blocks as TPlainText, each with the graphic control data
/// that came before it. Comments and application extensions go to events as
/// they are met; the looping extension is taken in here.
///
/// The decoder reads one block ahead: the blocks between a graphic and the
/// next one (their comments, extensions and warnings) are read before the
/// call that hands out the graphic returns. A stream that simply ends where
/// a block should begin is taken as ended: every complete graphic before it
/// is handed out.
///
/// Warnings go to OnWarning (TZVQGraphicsEngine), the decoder as sender; they
/// do not stop the read:
/// - kWarningUnknownType (4096) "Unknown GIF type": a signature "GIF" with
///   neither "87a" nor "89a" after it, read as GIF 89a;
/// - kWarningUnknownBlock (4097) "Unknown Block (%1) found in GIF stream",
///   %1 the block's first byte in hexadecimal ("21" for an extension of an
///   unknown label): passed over unless UnknownBlockHandler takes it;
/// - kWarningPlainTextLength (4098) "Invalid Length (%1) for Plain Text
///   Block", %1 the block's size byte (not 12): the block is passed over and
///   the read goes on with the graphic after it;
/// - kWarningExtensionIn87a (4099), with setReadsExtensionsIn87a only.
///
/// Faults raise EGIFError, ELZWError or a stream error, and leave the
/// decoder inside the stream: close the stream (CloseImageStream) before
/// reading another.
class TZVQ_CustomGifDecompressor : public TZVQGraphicsDecompressor {
public:
    /// Warning "Unknown GIF type".
    static constexpr int kWarningUnknownType = 4096;
    /// Warning "Unknown Block (%1) found in GIF stream".
    static constexpr int kWarningUnknownBlock = 4097;
    /// Warning "Invalid Length (%1) for Plain Text Block".
    static constexpr int kWarningPlainTextLength = 4098;
    /// A GIF 89a block in a stream that says GIF87a, read as GIF 89a (only
    /// with setReadsExtensionsIn87a): "Illegal block (%1) found in a GIF 87a
    /// data stream, read as GIF 89a", %1 "Graphic Control", "Comment",
    /// "Application Extension" or "Plain Text".
    static constexpr int kWarningExtensionIn87a = 4099;

    /// A decoder owned by a top-level window becomes the process-wide default
    /// when there is none yet.
    explicit TZVQ_CustomGifDecompressor(QObject* owner = nullptr);
    /// Closes the image stream; a default decoder stops being the default.
    ~TZVQ_CustomGifDecompressor() override;

    /// How far the image being read has got: its rows read, in percent.
    int GetPercentDone() override { return percentDone_; }
    /// Reads the header and the screen descriptor the first time only, so
    /// that several graphics can be read from one stream, and the blocks up
    /// to the first graphic. EGIFError "Not a GIF Image stream" (no "GIF"
    /// signature) and "Unexpected end of input stream" (a stream that ends
    /// inside them), or a fault of those blocks.
    void OpenImageStream(TStream* stream) override;
    /// Forgets the stream: the next OpenImageStream reads a header again.
    void CloseImageStream() override;
    /// The stream is open and its graphics have all been read.
    bool GetEOF() override;
    /// "GIF": program resources at `:/GIF/<name>`.
    QString GetResourceType() override { return QStringLiteral("GIF"); }
    /// ReadGIFGraphicFromStream on the image stream, @p format aside: an
    /// image comes in the format its colour count calls for.
    /// A plain text block comes back rendered; null at the trailer.
    std::unique_ptr<TDeviceIndependentBitmap> ReadDIBitmap(TDIBFormat format) override;
    /// The next image or plain text of the stream, null at the trailer; a
    /// new TDeviceIndependentBitmap or TPlainText, owned by the caller, and
    /// its control data in @p info. An image is 1, 4 or 8 bits deep for the
    /// colours of its table (one without any table shows index 0 black and
    /// the others white), transparent with its transparent index's colour.
    ///
    /// An image or text grid over the pixel limit, and an image whose data
    /// cannot hold its rows, are refused with EGIFError before anything is
    /// allocated for them: "Image of %1 x %2 pixels is over the limit of %3
    /// pixels" (for an image its own size, cut to the screen with
    /// setClipToScreen, the screen's with SetUseGlobalFrame), "Frames of %1
    /// pixels in all are over the limit of %2 pixels" (SetUseGlobalFrame),
    /// "Image data too short for an image of %1 x %2 pixels". The data
    /// itself can raise EGIFError "Unexpected end of image" (its end code
    /// before the last row shown) and "Undefined symbol in LZW stream", and
    /// ELZWError "Unexpected end of input stream" (a file cut inside it).
    /// The blocks around it can raise EGIFError "Unexpected end of input
    /// stream", "Illegal block (%1) found in a GIF 87a data stream",
    /// "Illegal Graphic control block size", "Block Terminator Expected but
    /// none found", EReadError "Stream read error" (a sub-block cut short),
    /// and, when an earlier fault left the decoder inside a block, "An image
    /// block was expected in the GIF stream, but not found". Abort raises
    /// Exception "User Abort" at the next progress report.
    ///
    /// The blocks after a graphic are read with it; a fault among them is
    /// raised by the next call (or skipGIFGraphic), so that a whole graphic
    /// is never lost to what follows it, and GetEOF stays false until then.
    /// Bytes after a graphic that are no blocks and run to the end of the
    /// stream (padding, rubbish) end it as the trailer does, with a warning.
    std::unique_ptr<TZVQExtGraphic> ReadGIFGraphicFromStream(TStream* stream, TGIFGraphicControlInfo& info);
    /// Where the blocks that lead to the next graphic begin in the stream:
    /// after the screen descriptor, then after each graphic read or skipped.
    std::int64_t nextGraphicAt() const { return blocksAt_; }
    /// Goes on reading at a place nextGraphicAt() gave for this stream, as
    /// though everything after it had not been read yet (a player that
    /// steps back resumes at a frame it composed before). The header, the
    /// screen and the loop count stay as they were read. A fault of the
    /// blocks there is raised by the next read, as after a graphic.
    void resumeAt(std::int64_t position);
    /// Passes over the next graphic without decoding its pixels, as
    /// ReadGIFGraphicFromStream would read everything else about it (control
    /// data, comments, warnings); false at the trailer. Nothing is allocated
    /// for an image's sizes, so no limit applies to it; a plain text block is
    /// read whole, its grid held to the limit. Faults of the blocks raise as
    /// they do for ReadGIFGraphicFromStream.
    bool skipGIFGraphic(TStream* stream, TGIFGraphicOutline& outline, TGIFGraphicControlInfo& info);

    ///@{
    /// The next byte or little-endian word of the image stream; EGIFError
    /// "Unexpected end of input stream" when the stream has no more.
    std::uint8_t ReadByte();
    std::uint16_t ReadWord();
    ///@}
    /// The data sub-blocks that follow, joined in the data block buffer
    /// (EGIFError or EReadError as ReadByte and TStream::ReadBuffer).
    void GetDataBlock();
    /// Passes over the data sub-blocks that follow; the bytes they hold.
    std::int64_t SkipBlocks();

    /// The stream's version (87a, or 89a for any other signature).
    TGIFType GetGIFType() const { return gifType_; }
    /// The global colour table, owned by the decoder; empty without one.
    TLogicalPalette* GetGlobalPalette() const { return globalPalette_.get(); }
    /// The global table's entry for the background index (white when the
    /// index lies past it; black without a table).
    TColor GetBackgroundColour() const { return backgroundColour_; }
    ///@{
    /// The logical screen's size: as declared, but for a screen declared
    /// empty (0 wide or high, as some writers leave it), which grows to
    /// hold the first graphic when that is an image whose data can hold its
    /// rows, as browsers show such files.
    int GetScreenWidth() const { return screenWidth_; }
    int GetScreenHeight() const { return screenHeight_; }
    ///@}
    /// The logical screen's size as the file declares it.
    QSize declaredScreenSize() const { return declaredScreen_; }
    /// The pixel aspect ratio, (n + 15) / 64 for the stored n; 1 when n is 0.
    double GetAspectRatio() const { return aspectRatio_; }
    /// The colour resolution field: bits per primary colour less one (0 ... 7).
    int GetColourResolution() const { return colourResolution_; }
    /// The block the decoder stands at: the next graphic or the trailer.
    TGIFBlockTypes GetCurrentBlockType() const { return blockType_; }
    /// The data of the last comment, extension or plain text read, owned by
    /// the decoder.
    TMemoryStream* GetDataBlockBuffer() const { return dataBlock_.get(); }
    /// The control data of the graphic read last.
    const TGIFGraphicControlInfo& GetGraphicControlInfo() const { return currentInfo_; }
    /// The looping extension's count; 0 without one.
    int GetLoopCount() const { return loopCount_; }
    /// The stream has a looping extension (a loop count of 0 then means for
    /// ever, not "play once").
    bool hasLoopExtension() const { return hasLoopExtension_; }
    ///@{
    /// Of the image read last: whether it was interlaced, the entries of its
    /// own colour table (0 without one), and the transparent index in force
    /// for it (-1 for none).
    bool lastImageInterlaced() const { return lastInterlaced_; }
    int lastLocalColours() const { return lastLocalColours_; }
    int lastTransparentIndex() const { return lastTransparentIndex_; }
    ///@}
    ///@{
    /// Off (the default), a graphic control, comment, application extension
    /// or plain text block in a GIF87a stream is refused with EGIFError
    /// "Illegal block (%1) found in a GIF 87a data stream". On, it is read
    /// as GIF 89a with warning kWarningExtensionIn87a: some writers put
    /// "GIF87a" on any stream whose first frame needs nothing of 89a.
    bool readsExtensionsIn87a() const { return readsExtensionsIn87a_; }
    void setReadsExtensionsIn87a(bool value) { readsExtensionsIn87a_ = value; }
    ///@}
    ///@{
    /// The most pixels one image, text grid or global frame may have;
    /// kDefaultPixelLimit (2^26) unless set. An animated image list's
    /// decoder() holds the list, and a control playing it, to its limit.
    std::int64_t pixelLimit() const { return pixelLimit_; }
    void setPixelLimit(std::int64_t pixels) { pixelLimit_ = pixels; }
    ///@}
    /// Images come on the logical screen's frame (SetUseGlobalFrame).
    bool GetUseGlobalFrame() const { return useGlobalFrame_; }
    /// Every image is delivered on a bitmap of the logical screen's size.
    /// Each costs the screen's size, so that the frames of one stream
    /// together are held to kFramesPerPixelLimit times the pixel limit.
    /// The screen is filled with the background colour and the image drawn
    /// at its origin, cut to the screen; off by default.
    void SetUseGlobalFrame(bool value) { useGlobalFrame_ = value; }
    ///@{
    /// Every image is delivered cut to the logical screen (when the screen
    /// has a size): what lies outside it is read and dropped, never stored.
    /// Off by default.
    bool clipToScreen() const { return clipToScreen_; }
    void setClipToScreen(bool value) { clipToScreen_ = value; }
    ///@}

    /// Each comment block as it is met.
    TCommentEvent OnComment;
    /// The last comment block read, every byte of it: OnComment's text ends
    /// at the first zero byte, this does not.
    const QByteArray& lastComment() const { return lastComment_; }
    /// Each application extension other than the looping one.
    TAppExtensionEvent OnAppExtension;

protected:
    /// The looping extension is handled here; other extensions go to
    /// OnAppExtension. @p data holds the @p count bytes after the
    /// identifier and code; both fields may be short in a damaged block.
    virtual void HandleAppExtension(const TAppID& appId, const TAuthCode& authCode,
                                    const std::uint8_t* data, int count);
    /// Called for a block of unknown kind (@p label 0 when it is no
    /// extension), the stream after its first byte (and label), after the
    /// warning.
    /// True when the handler consumed the block; otherwise it is skipped.
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
    void identifyBlocksAfterGraphic();
    void raiseFaultAfterGraphic();
    void growScreenToHoldFirstImage();
    bool skipSubBlocks(std::int64_t& skipped);
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
    QSize declaredScreen_;
    double aspectRatio_ = 1.0;
    int colourResolution_ = 0;
    TGIFBlockTypes blockType_ = TGIFBlockTypes::gbTrailer;
    std::unique_ptr<TMemoryStream> dataBlock_;
    QByteArray lastComment_;
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
    std::int64_t screenFramePixels_ = 0;  // handed out on the screen's frame since the stream opened
    std::int64_t blocksAt_ = 0;
    // A fault of the blocks after the graphic read last, raised by the next
    // read, so that the whole graphic before it is not lost with it.
    std::exception_ptr faultAfterGraphic_;
};

/// The same decoder as it is offered to form designers.
class TZVQ_GIFDecompressor : public TZVQ_CustomGifDecompressor {
public:
    /// A decoder that @p owner (when not null) destroys with itself.
    using TZVQ_CustomGifDecompressor::TZVQ_CustomGifDecompressor;
};

/// The decoder a window made the default, borrowed, or null.
TZVQ_CustomGifDecompressor* defaultGifDecompressor();
