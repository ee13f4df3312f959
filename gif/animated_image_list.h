#pragma once

#include <QByteArray>
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

#include "gif/frame_comment.h"
#include "gif/gif_types.h"
#include "toolkit/colors.h"
#include "toolkit/persistent.h"

class TLogicalPalette;
class TStream;
class TZVQExtGraphic;
class TZVQ_GIFCompressor;
class TZVQ_GIFDecompressor;

/// @file
/// Animated image lists: the frames of an animation, loaded from and saved
/// to multi-frame GIF streams.

/// What an animated image list is doing: holding nothing, loading, holding
/// frames, or saving.
enum class TAnimatedImageState : std::uint8_t { isEmpty, isLoading, isLoaded, isSaving };

/// A frame of the list (the sender) at @p index.
using TAnimatedImageEvent = std::function<void(TObject* sender, int index)>;

/// The frames of an animation, each with its graphic control data and
/// comment, and the screen size, background colour, palette and loop count
/// of the whole. Loads and saves itself as a multi-frame GIF stream; the Qt
/// property "Data" holds exactly that stream, so a list can be kept
/// wherever Qt keeps properties.
///
/// Comments are paired with the frame that follows them, as a GIF writer
/// puts them; comments after the last frame go to the last frame.
///
/// Every operation on one frame raises EAnimateError "Index out of range"
/// for an index outside the list.
class TAnimatedImageList : public QObject, public TPersistent {
    Q_OBJECT
    Q_PROPERTY(int LoopCount READ GetLoopCount WRITE SetLoopCount)
    Q_PROPERTY(QByteArray Data READ data WRITE setData)

public:
    /// An empty list that @p parent (Qt's ownership) destroys with itself.
    explicit TAnimatedImageList(QObject* parent = nullptr);
    /// The frames go with the list; OnImageDeleted is not called for them.
    ~TAnimatedImageList() override;

    /// Insert at the end; the frame's index.
    int Add(std::unique_ptr<TZVQExtGraphic> graphic);
    /// `index` may be 0 ... count; the list owns the graphic from then on.
    /// OnImageInserted hears of the frame once it is in place; when the
    /// handler raises (a control over its limit), the frame is taken out
    /// again and the error goes on.
    void Insert(int index, std::unique_ptr<TZVQExtGraphic> graphic);
    /// Removes and destroys the frame, OnImageDeleted told first.
    void Delete(int index);
    /// Deletes every frame, the last first; the state becomes isEmpty.
    void Clear();
    /// Moves the frame at @p from to @p to; both must be frames of the list.
    void Move(int from, int to);
    /// The frame's graphic, owned by the list.
    TZVQExtGraphic* GetItems(int index) const;
    /// The frames in the list.
    int GetCount() const { return int(items_.size()); }

    ///@{
    /// A frame's control data: its delay in milliseconds, its disposal,
    /// its origin on the logical screen, and whether it waits for the user.
    int GetDelayTime(int index) const;
    void SetDelayTime(int index, int milliseconds);
    TDisposalMethods GetDisposalMethod(int index) const;
    void SetDisposalMethod(int index, TDisposalMethods method);
    QPoint GetOrigin(int index) const;
    void SetOrigin(int index, QPoint origin);
    bool GetUserInput(int index) const;
    void SetUserInput(int index, bool userInput);
    ///@}
    ///@{
    /// A frame's comment, owned by the list (a copy of the text set); null
    /// when it has none.
    const char* GetComment(int index) const;
    void SetComment(int index, const char* text);
    ///@}
    /// A frame's control data, all of it.
    const TGIFGraphicControlInfo& GetInfo(int index) const;

    /// LoadFromStream over the file (EFOpenError when it cannot be opened).
    void LoadFromFile(const QString& fileName);
    /// SaveToStream into a new file (EFCreateError when it cannot be made).
    void SaveToFile(const QString& fileName);
    /// Replaces the frames with the stream's graphics, each announced
    /// (OnImageInserted) as it arrives, and takes the stream's screen size,
    /// background colour, global palette and loop count.
    /// A stream without any graphic leaves the list empty (isEmpty); faults
    /// propagate, with the frames read before them kept. A stream whose
    /// screen, one graphic or all frames together are over the decoder's
    /// pixel limit, or whose image data cannot hold an image's rows, is
    /// refused with EGIFError before the list lets anything go: "Image of %1
    /// x %2 pixels is over the limit of %3 pixels", "Frames of %1 pixels in
    /// all are over the limit of %2 pixels" (kFramesPerPixelLimit times the
    /// limit), "Image data too short for an image of %1 x %2 pixels". The
    /// decoder's other faults are those of
    /// TZVQ_CustomGifDecompressor::ReadGIFGraphicFromStream. A load while
    /// one is in progress raises EAnimateError "Load of current image in
    /// progress".
    void LoadFromStream(TStream* stream);
    /// Writes the frames as one GIF stream on the list's screen size, with
    /// its global palette and background colour, each frame's comment and
    /// control data; an empty list writes nothing. Faults are the encoder's
    /// (TZVQ_CustomGifCompressor::WriteGIFGraphic).
    /// The looping extension is written when the loop count is set or the
    /// loaded stream had one, so that it survives a save and a load.
    void SaveToStream(TStream* stream);
    /// Stops a load or a save at its next progress report, with Exception
    /// "User Abort".
    void Abort();
    /// Copies of another list's frames and settings; other sources raise
    /// EConvertError.
    void Assign(TPersistent* source) override;

    ///@{
    /// The loop count (0: for ever); setting it has the looping extension
    /// written.
    int GetLoopCount() const { return loopCount_; }
    void SetLoopCount(int count);
    ///@}
    ///@{
    /// The logical screen's size.
    int GetWidth() const { return width_; }
    void SetWidth(int width) { width_ = width; }
    int GetHeight() const { return height_; }
    void SetHeight(int height) { height_ = height; }
    ///@}
    ///@{
    /// The background colour of the logical screen.
    TColor GetBackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(TColor colour) { backgroundColor_ = colour; }
    ///@}
    /// The global colour table, owned by the list.
    TLogicalPalette* GetGlobalPalette() const { return globalPalette_.get(); }
    /// How far the load or save has got, in percent.
    int GetPercentDone() const { return percentDone_; }
    /// The decoder that loads the list, owned by the list: its pixel limit
    /// (and setReadsExtensionsIn87a) holds for the list, and for a control
    /// that plays it.
    TZVQ_GIFDecompressor* decoder() const { return decoder_.get(); }
    ///@{
    /// What the list is doing; a change is told to OnStateChange.
    TAnimatedImageState GetState() const { return state_; }
    void SetState(TAnimatedImageState state);
    ///@}

    ///@{
    /// The Qt property "Data": the list as a GIF stream (SaveToStream,
    /// LoadFromStream, with their errors).
    QByteArray data();
    void setData(const QByteArray& bytes);
    ///@}

    /// A frame is in place.
    TAnimatedImageEvent OnImageInserted;
    /// A frame is about to go.
    TAnimatedImageEvent OnImageDeleted;
    /// A load or save has got further (GetPercentDone).
    TNotifyEvent OnProgressChange;
    /// GetState has changed.
    TNotifyEvent OnStateChange;

private:
    struct Item {
        std::unique_ptr<TZVQExtGraphic> graphic;
        TGIFGraphicControlInfo info;
        TComment comment;
    };
    Item& item(int index);
    void insertItem(int index, std::unique_ptr<TZVQExtGraphic> graphic, const TGIFGraphicControlInfo& info,
                    const char* comment);
    const Item& item(int index) const;
    void HandleOnReadProgress();
    void HandleOnWriteProgress();
    void HandleComment(const char* text);
    void checkSizes(TStream* stream) const;
    void readFrames(TStream* stream);
    void takeLoopCount();
    void writeFrames(TStream* stream);

    std::vector<std::unique_ptr<Item>> items_;
    int loopCount_ = 0;
    bool writeLoop_ = false;
    std::unique_ptr<TZVQ_GIFDecompressor> decoder_;
    std::unique_ptr<TZVQ_GIFCompressor> encoder_;
    int width_ = 0;
    int height_ = 0;
    TColor backgroundColor_ = clBlack;
    int percentDone_ = 0;
    TStream* readStream_ = nullptr;
    int writeIndex_ = 0;
    TAnimatedImageState state_ = TAnimatedImageState::isEmpty;
    std::unique_ptr<TLogicalPalette> globalPalette_;
    TComment currentComment_;
};
