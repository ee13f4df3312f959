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

enum class TAnimatedImageState : std::uint8_t { isEmpty, isLoading, isLoaded, isSaving };

using TAnimatedImageEvent = std::function<void(TObject* sender, int index)>;

// The frames of an animation, each with its graphic control data and
// comment, and the screen size, background colour, palette and loop count
// of the whole. Loads and saves itself as a multi-frame GIF stream; the Qt
// property "Data" holds exactly that stream, so a list can be kept
// wherever Qt keeps properties.
//
// Comments are paired with the frame that follows them, as a GIF writer
// puts them; comments after the last frame go to the last frame.
class TAnimatedImageList : public QObject, public TPersistent {
    Q_OBJECT
    Q_PROPERTY(int LoopCount READ GetLoopCount WRITE SetLoopCount)
    Q_PROPERTY(QByteArray Data READ data WRITE setData)

public:
    explicit TAnimatedImageList(QObject* parent = nullptr);
    ~TAnimatedImageList() override;

    int Add(std::unique_ptr<TZVQExtGraphic> graphic);
    // `index` may be 0 ... count; the list owns the graphic from then on.
    void Insert(int index, std::unique_ptr<TZVQExtGraphic> graphic);
    void Delete(int index);
    void Clear();
    void Move(int from, int to);
    TZVQExtGraphic* GetItems(int index) const;
    int GetCount() const { return int(items_.size()); }

    int GetDelayTime(int index) const;
    void SetDelayTime(int index, int milliseconds);
    TDisposalMethods GetDisposalMethod(int index) const;
    void SetDisposalMethod(int index, TDisposalMethods method);
    QPoint GetOrigin(int index) const;
    void SetOrigin(int index, QPoint origin);
    bool GetUserInput(int index) const;
    void SetUserInput(int index, bool userInput);
    const char* GetComment(int index) const;
    void SetComment(int index, const char* text);
    const TGIFGraphicControlInfo& GetInfo(int index) const;

    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName);
    // A stream without any graphic leaves the list empty (isEmpty); faults
    // propagate, with the frames read before them kept. A stream whose
    // screen, one graphic or all frames together are over the decoder's
    // pixel limit, or whose image data cannot hold an image's rows, is
    // refused with EGIFError before the list lets anything go.
    void LoadFromStream(TStream* stream);
    // The looping extension is written when the loop count is set or the
    // loaded stream had one, so that it survives a save and a load.
    void SaveToStream(TStream* stream);
    void Abort();
    void Assign(TPersistent* source) override;

    int GetLoopCount() const { return loopCount_; }
    void SetLoopCount(int count);
    int GetWidth() const { return width_; }
    void SetWidth(int width) { width_ = width; }
    int GetHeight() const { return height_; }
    void SetHeight(int height) { height_ = height; }
    TColor GetBackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(TColor colour) { backgroundColor_ = colour; }
    TLogicalPalette* GetGlobalPalette() const { return globalPalette_.get(); }
    int GetPercentDone() const { return percentDone_; }
    // The decoder that loads the list: its pixel limit holds for the list,
    // and for a control that plays it.
    TZVQ_GIFDecompressor* decoder() const { return decoder_.get(); }
    TAnimatedImageState GetState() const { return state_; }
    void SetState(TAnimatedImageState state);

    QByteArray data();
    void setData(const QByteArray& bytes);

    TAnimatedImageEvent OnImageInserted;
    TAnimatedImageEvent OnImageDeleted;
    TNotifyEvent OnProgressChange;
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
