#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "gif/gif_types.h"
#include "gif/pixel_limit.h"

/// @file
/// The frame optimiser: animations written as the smallest stream that
/// shows their frames.

class TDeviceIndependentBitmap;
class TFrameColourCollector;
class TGIFScreenComposer;
class TMemoryStream;
class TStream;
class TZVQ_GIFCompressor;
struct TGlobalTable;
struct TOptimizedFrame;

/// Where a damaged GIF stream stopped the frame optimiser's reading.
struct TGIFStreamDamage {
    /// The fault's message, as the decoder raised it.
    QString message;
    /// The images read whole before it.
    int imagesRead = 0;
};

/// Writes an animation as the smallest GIF stream it can find that shows
/// exactly the same frames.
///
/// Frames come in as a plain file would draw them: a picture at its origin,
/// with its delay and the disposal that file gives it, pixels of its
/// transparent index (or colour) showing what is under them. The optimiser
/// composes them into the screens a reader shows and then writes each
/// screen as the rectangle that differs from what is on the screen after
/// the previous frame's disposal; pixels that already show may be coded
/// transparent where that makes the frame smaller (both are coded and the
/// smaller kept); each frame is disposed of in the way that lets the next
/// one be smallest; one global colour table holds the colours when they fit
/// it, local tables go to the frames that need them; a frame that changes
/// nothing adds its delay to the frame before it. The first frame covers
/// the whole screen (unless its picture has 256 colours, which leave no
/// index for the transparency around it), and a frame disposed of to the
/// background always declares a transparent index, so that readers that
/// fill the screen or a disposed rectangle with a colour of their own show
/// the same frames.
///
/// Frames are coded on several threads; the bytes are the same whatever
/// their number. Only the current screen, the one before it and what it
/// was drawn over are held at full size; frames keep their rectangles.
class TGIFFrameOptimizer {
public:
    /// The frames of a GIF stream as our reader shows them, each with its
    /// delay and the comments before it, and the loop count; plain text is
    /// left out, as readers without fonts leave it, and GIF 89a blocks under
    /// a GIF87a header are read as browsers read them. The screen and every
    /// image are held to @p pixelLimit before anything is allocated for
    /// them (EGIFError "Image of %1 x %2 pixels is over the limit of %3
    /// pixels"). The stream is decoded on a thread of its own while the
    /// frames before are composed. The decoder's faults propagate
    /// (EGIFError, ELZWError), as do those of addFrame.
    ///
    /// With @p damage given, a fault of the stream after its first image
    /// (a file cut short, bad data) ends the reading instead, as readers
    /// end a damaged file: the images read whole before it are kept and
    /// the fault is told in @p damage, which is left empty for a sound
    /// stream. A fault in the first image still propagates.
    static std::unique_ptr<TGIFFrameOptimizer> CreateFromStream(TStream* gif,
                                                                std::int64_t pixelLimit = kDefaultPixelLimit,
                                                                std::optional<TGIFStreamDamage>* damage = nullptr);

    /// An animation on a screen of the given size (at least 1 x 1).
    TGIFFrameOptimizer(int screenWidth, int screenHeight);
    ~TGIFFrameOptimizer();
    TGIFFrameOptimizer(const TGIFFrameOptimizer&) = delete;
    TGIFFrameOptimizer& operator=(const TGIFFrameOptimizer&) = delete;

    /// One more frame, drawn as described above; `transparentIndex` (-1:
    /// none) applies to paletted pictures, true-colour ones use their own
    /// transparent colour. The picture is read during the call only. A
    /// frame whose changes take more than 256 colours raises
    /// EGIFFrameColours.
    void addFrame(const TDeviceIndependentBitmap& picture, const TGIFGraphicControlInfo& info,
                  int transparentIndex = -1);
    /// A comment written before the next frame added (after the last one
    /// when no frame follows).
    void addComment(const QByteArray& text);
    /// The looping extension's count (0: for ever); none is written unless
    /// set.
    void setLoopCount(std::optional<int> count) { loopCount_ = count; }
    /// How many threads code the frames: 0 (the default) takes one per core.
    void setThreadCount(int count) { threadCount_ = count; }

    /// Frames to be written so far: those that changed the screen.
    int frameCount() const { return int(frames_.size()); }
    /// Writes the whole stream: header, screen, frames and trailer. The
    /// optimiser is left empty, ready for another animation of its size.
    /// Faults of the frames (EGIFError, see addFrame) and of the stream
    /// propagate.
    void write(TStream* stream);
    /// For animations written while their frames come: writes to `stream`
    /// what is settled (on the first call the header and a global table of
    /// the first frame's colours, then each frame whose disposal is
    /// decided), then the last frame as it stands and the trailer, so that
    /// the stream always holds the whole animation so far. Returns the
    /// position where that last frame begins: the next call is to write
    /// from there. Frames are coded on the calling thread; a write() after
    /// this call finishes the stream the same way.
    std::int64_t writeSoFar(TStream* stream);

private:
    struct Scan;
    Scan scan(const std::vector<std::uint32_t>& under, QRect area, QRect exclude) const;
    Scan scanAgainstClear(QRect area) const;
    bool fillsATable(QRect area) const;
    QRect decideDisposal(TOptimizedFrame& last, QRect dirty, const Scan& outside, const Scan& inside);
    void finalize(TOptimizedFrame& frame, const std::vector<std::uint32_t>& screen);
    void applyDisposal(const TOptimizedFrame& frame);
    void syncPrevious();
    void reset();
    int threads() const;
    TFrameColourCollector& collector();
    void startStream(const TGlobalTable& global, TStream* stream);
    void writeFrame(const TOptimizedFrame& frame);
    void passOn(TStream* stream);

    int width_;
    int height_;
    std::unique_ptr<TGIFScreenComposer> composer_;
    std::vector<std::uint32_t> previous_;  // the screen of the last frame kept
    std::vector<std::uint32_t> state_;     // what that frame was drawn over
    QRect unsynced_;                       // where the screen may differ from previous_
    std::vector<std::unique_ptr<TOptimizedFrame>> frames_;
    // Lists the colours of frames_ as they are finished; declared after
    // them, it stops before they go.
    std::unique_ptr<TFrameColourCollector> collector_;
    std::vector<QByteArray> comments_;     // for the next frame
    std::optional<int> loopCount_;
    int threadCount_ = 0;
    // The encoder writes only into streamOut_, whose bytes are passed on to
    // the caller's stream; declared before the encoder, it outlives it.
    std::unique_ptr<TMemoryStream> streamOut_;
    std::unique_ptr<TZVQ_GIFCompressor> streamEncoder_;
    std::unique_ptr<TGlobalTable> streamGlobal_;
    std::size_t streamed_ = 0;
};
