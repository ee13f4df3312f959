#include "gif/animated_image_list.h"

#include <cmath>

#include "gif/clean_up.h"
#include "gif/gif_decoder.h"
#include "gif/gif_encoder.h"
#include "gif/gif_errors.h"
#include "gif/pixel_limit.h"
#include "imaging/ext_graphic.h"
#include "imaging/logical_palette.h"
#include "toolkit/streams.h"

namespace {

[[noreturn]] void throwIndex() { throw EAnimateError(QStringLiteral("Index out of range")); }

}  // namespace

TAnimatedImageList::TAnimatedImageList(QObject* parent)
    : QObject(parent),
      decoder_(std::make_unique<TZVQ_GIFDecompressor>()),
      encoder_(std::make_unique<TZVQ_GIFCompressor>()),
      globalPalette_(std::make_unique<TLogicalPalette>()) {
    decoder_->SetUseGlobalFrame(false);
    decoder_->OnProgressReport = [this](TObject*) { HandleOnReadProgress(); };
    decoder_->OnComment = [this](TObject*, const char* text) { HandleComment(text); };
    encoder_->GetGlobalFrame()->UseGlobalFrame = true;
    encoder_->OnProgressReport = [this](TObject*) { HandleOnWriteProgress(); };
}

TAnimatedImageList::~TAnimatedImageList() {
    // Owners are not told about frames going with the list.
    OnImageDeleted = nullptr;
    items_.clear();
}

// --- Frames --------------------------------------------------------------------

TAnimatedImageList::Item& TAnimatedImageList::item(int index) {
    if (index < 0 || index >= GetCount()) throwIndex();
    return *items_[std::size_t(index)];
}

const TAnimatedImageList::Item& TAnimatedImageList::item(int index) const {
    if (index < 0 || index >= GetCount()) throwIndex();
    return *items_[std::size_t(index)];
}

int TAnimatedImageList::Add(std::unique_ptr<TZVQExtGraphic> graphic) {
    const int index = GetCount();
    Insert(index, std::move(graphic));
    return index;
}

void TAnimatedImageList::Insert(int index, std::unique_ptr<TZVQExtGraphic> graphic) {
    insertItem(index, std::move(graphic), TGIFGraphicControlInfo(), nullptr);
}

// The item is complete when the owner hears of it: a player caches the
// frame at its origin there and then.
void TAnimatedImageList::insertItem(int index, std::unique_ptr<TZVQExtGraphic> graphic,
                                    const TGIFGraphicControlInfo& info, const char* comment) {
    if (index < 0 || index > GetCount()) throwIndex();
    auto fresh = std::make_unique<Item>();
    fresh->graphic = std::move(graphic);
    fresh->info = info;
    fresh->comment.SetComment(comment);
    items_.insert(items_.begin() + index, std::move(fresh));
    if (!OnImageInserted) return;
    try {
        OnImageInserted(this, index);
    } catch (...) {
        // An owner that cannot take the frame (a player over its limit)
        // leaves the list as it was before.
        items_.erase(items_.begin() + index);
        throw;
    }
}

void TAnimatedImageList::Delete(int index) {
    if (index >= GetCount()) throwIndex();
    if (OnImageDeleted) OnImageDeleted(this, index);
    item(index);  // refuses a negative index
    items_.erase(items_.begin() + index);
}

void TAnimatedImageList::Clear() {
    for (int i = GetCount() - 1; i >= 0; --i) Delete(i);
    SetState(TAnimatedImageState::isEmpty);
}

void TAnimatedImageList::Move(int from, int to) {
    item(from);
    item(to);
    std::unique_ptr<Item> moving = std::move(items_[std::size_t(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(moving));
}

TZVQExtGraphic* TAnimatedImageList::GetItems(int index) const { return item(index).graphic.get(); }
int TAnimatedImageList::GetDelayTime(int index) const { return item(index).info.DelayTime; }
void TAnimatedImageList::SetDelayTime(int index, int milliseconds) { item(index).info.DelayTime = milliseconds; }
TDisposalMethods TAnimatedImageList::GetDisposalMethod(int index) const { return item(index).info.DisposalMethod; }
void TAnimatedImageList::SetDisposalMethod(int index, TDisposalMethods method) {
    item(index).info.DisposalMethod = method;
}
QPoint TAnimatedImageList::GetOrigin(int index) const { return item(index).info.Origin; }
void TAnimatedImageList::SetOrigin(int index, QPoint origin) { item(index).info.Origin = origin; }
bool TAnimatedImageList::GetUserInput(int index) const { return item(index).info.UserInput; }
void TAnimatedImageList::SetUserInput(int index, bool userInput) { item(index).info.UserInput = userInput; }
const char* TAnimatedImageList::GetComment(int index) const { return item(index).comment.GetComment(); }
void TAnimatedImageList::SetComment(int index, const char* text) { item(index).comment.SetComment(text); }
const TGIFGraphicControlInfo& TAnimatedImageList::GetInfo(int index) const { return item(index).info; }

void TAnimatedImageList::SetLoopCount(int count) {
    loopCount_ = count;
    writeLoop_ = true;
}

void TAnimatedImageList::SetState(TAnimatedImageState state) {
    if (state == state_) return;
    state_ = state;
    if (OnStateChange) OnStateChange(this);
}

// --- Loading -------------------------------------------------------------------

void TAnimatedImageList::HandleComment(const char* text) { currentComment_.SetComment(text); }

void TAnimatedImageList::HandleOnReadProgress() {
    if (readStream_) {
        const std::int64_t size = readStream_->Size();
        percentDone_ = size > 0 ? int(std::llround(100.0 * double(readStream_->Position()) / double(size))) : 100;
    }
    if (OnProgressChange) OnProgressChange(this);
}

void TAnimatedImageList::LoadFromFile(const QString& fileName) {
    TFileStream file(fileName, TFileMode::OpenRead);
    LoadFromStream(&file);
}

void TAnimatedImageList::LoadFromStream(TStream* stream) {
    if (state_ == TAnimatedImageState::isLoading) {
        throw EAnimateError(QStringLiteral("Load of current image in progress"));
    }
    checkSizes(stream);
    Clear();
    if (stream->Size() == 0) return;
    SetState(TAnimatedImageState::isLoading);
    readStream_ = stream;
    withCleanUp([&] { readFrames(stream); },
                [&] {
                    SetState(GetCount() > 0 ? TAnimatedImageState::isLoaded : TAnimatedImageState::isEmpty);
                    HandleOnReadProgress();
                    readStream_ = nullptr;
                    decoder_->CloseImageStream();
                });
}

// A walk over the blocks alone, the stream put back where it was. Faults of
// the format are left for the load itself to meet.
void TAnimatedImageList::checkSizes(TStream* stream) const {
    const std::int64_t start = stream->Position();
    const std::int64_t limit = decoder_->pixelLimit();
    TZVQ_GIFDecompressor scanner;
    scanner.setReadsExtensionsIn87a(decoder_->readsExtensionsIn87a());
    std::int64_t pixels = 0;
    withCleanUp(
        [&] {
            try {
                scanner.OpenImageStream(stream);
            } catch (const Exception&) {
                return;
            }
            checkPixelLimit(scanner.GetScreenWidth(), scanner.GetScreenHeight(), limit);
            for (;;) {
                TGIFGraphicOutline outline;
                TGIFGraphicControlInfo info;
                try {
                    if (!scanner.skipGIFGraphic(stream, outline, info)) return;
                } catch (const Exception&) {
                    return;
                }
                checkPixelLimit(outline.rect.width(), outline.rect.height(), limit);
                if (!outline.isText) checkCodedSize(outline.rect.width(), outline.rect.height(), outline.dataBytes);
                pixels += std::int64_t(outline.rect.width()) * outline.rect.height();
                checkFramesLimit(pixels, limit);
            }
        },
        [&] { stream->SetPosition(start); });
}

void TAnimatedImageList::readFrames(TStream* stream) {
    currentComment_.SetComment(nullptr);
    decoder_->OpenImageStream(stream);  // comments before the first frame are met here
    while (!decoder_->GetEOF()) {
        const TComment before(currentComment_.GetComment());
        currentComment_.SetComment(nullptr);
        TGIFGraphicControlInfo info;
        std::unique_ptr<TZVQExtGraphic> graphic = decoder_->ReadGIFGraphicFromStream(stream, info);
        if (!graphic) break;
        // Known before the frame is announced, so that an owner playing the
        // list while it loads counts its loops right.
        takeLoopCount();
        if (GetCount() == 0) {
            globalPalette_->Assign(decoder_->GetGlobalPalette());
            backgroundColor_ = decoder_->GetBackgroundColour();
            width_ = decoder_->GetScreenWidth();
            height_ = decoder_->GetScreenHeight();
        }
        insertItem(GetCount(), std::move(graphic), info, before.GetComment());
    }
    if (currentComment_.GetComment() && GetCount() > 0 && !item(GetCount() - 1).comment.GetComment()) {
        item(GetCount() - 1).comment.SetComment(currentComment_.GetComment());
    }
    takeLoopCount();
}

void TAnimatedImageList::takeLoopCount() {
    loopCount_ = decoder_->GetLoopCount();
    writeLoop_ = decoder_->hasLoopExtension();
}

// --- Saving --------------------------------------------------------------------

void TAnimatedImageList::HandleOnWriteProgress() {
    const int count = GetCount();
    if (count > 0) {
        percentDone_ = int(std::lround(double(encoder_->GetPercentDone()) / count + writeIndex_ * 100.0 / count));
    }
    if (OnProgressChange) OnProgressChange(this);
}

void TAnimatedImageList::SaveToFile(const QString& fileName) {
    TFileStream file(fileName, TFileMode::Create);
    SaveToStream(&file);
}

void TAnimatedImageList::SaveToStream(TStream* stream) {
    if (GetCount() == 0) return;
    TGlobalFrame* frame = encoder_->GetGlobalFrame();
    frame->Width = width_;
    frame->Height = height_;
    encoder_->SetGlobalPalette(globalPalette_.get());
    encoder_->SetBackgroundColor(backgroundColor_);
    SetState(TAnimatedImageState::isSaving);
    withCleanUp([&] { writeFrames(stream); },
                [&] {
                    encoder_->CloseImageStream();
                    SetState(TAnimatedImageState::isLoaded);
                    HandleOnWriteProgress();
                });
}

void TAnimatedImageList::writeFrames(TStream* stream) {
    encoder_->OpenImageStream(stream);
    // Held by the encoder until the screen descriptor is out.
    if (writeLoop_) encoder_->WriteLoopControl(loopCount_);
    for (int i = 0; i < GetCount(); ++i) {
        writeIndex_ = i;
        const Item& frame = item(i);
        encoder_->SetComment(frame.comment.GetComment() ? QByteArray(frame.comment.GetComment()) : QByteArray());
        encoder_->WriteGIFGraphicToStream(stream, frame.graphic.get(), frame.info);
    }
}

void TAnimatedImageList::Abort() {
    if (state_ == TAnimatedImageState::isLoading) decoder_->Abort();
    if (state_ == TAnimatedImageState::isSaving) encoder_->Abort();
}

// --- Copies and properties -------------------------------------------------------

void TAnimatedImageList::Assign(TPersistent* source) {
    auto* list = dynamic_cast<TAnimatedImageList*>(source);
    if (!list) {
        TPersistent::Assign(source);
        return;
    }
    if (list == this) return;
    Clear();
    backgroundColor_ = list->backgroundColor_;
    width_ = list->width_;
    height_ = list->height_;
    loopCount_ = list->loopCount_;
    writeLoop_ = list->writeLoop_;
    globalPalette_->Assign(list->globalPalette_.get());
    list->SetState(TAnimatedImageState::isLoading);
    withCleanUp(
        [&] {
            for (int i = 0; i < list->GetCount(); ++i) {
                insertItem(GetCount(), list->GetItems(i)->Copy(), list->GetInfo(i), list->GetComment(i));
            }
        },
        [&] { list->SetState(TAnimatedImageState::isLoaded); });
}

QByteArray TAnimatedImageList::data() {
    TMemoryStream stream;
    SaveToStream(&stream);
    return stream.bytes();
}

void TAnimatedImageList::setData(const QByteArray& bytes) {
    TMemoryStream stream(bytes);
    LoadFromStream(&stream);
}
