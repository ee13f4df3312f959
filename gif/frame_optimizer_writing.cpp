// The frame optimiser's output: the whole animation at once, its frames
// coded on several threads, or frame by frame as they are settled.
#include "gif/frame_colour_collector.h"
#include "gif/frame_optimizer.h"
#include "gif/frame_threads.h"
#include "gif/gif_encoder.h"
#include "gif/optimized_frame.h"
#include "gif/screen_composer.h"
#include "imaging/logical_palette.h"
#include "toolkit/streams.h"

namespace {

std::unique_ptr<TLogicalPalette> paletteOf(const std::vector<std::uint32_t>& entries) {
    std::vector<TColor> colours;
    for (std::uint32_t c : entries) colours.push_back(RGB(int(c >> 16) & 0xFF, int(c >> 8) & 0xFF, int(c) & 0xFF));
    return std::make_unique<TLogicalPalette>(std::span<const TColor>(colours));
}

}  // namespace

TGIFFrameOptimizer::~TGIFFrameOptimizer() = default;

int TGIFFrameOptimizer::threads() const { return threadCount_ > 0 ? threadCount_ : coreCount(); }

TFrameColourCollector& TGIFFrameOptimizer::collector() {
    if (!collector_) collector_ = std::make_unique<TFrameColourCollector>(threads() > 1);
    return *collector_;
}

// The header, the screen descriptor with the global table, and the looping
// extension.
void TGIFFrameOptimizer::startStream(const TGlobalTable& global, TStream* stream) {
    streamEncoder_ = std::make_unique<TZVQ_GIFCompressor>();
    streamEncoder_->OpenImageStream(stream);
    if (loopCount_) streamEncoder_->WriteLoopControl(*loopCount_);
    const std::unique_ptr<TLogicalPalette> palette = paletteOf(global.colours);
    streamEncoder_->SetGlobalPalette(palette.get());
    if (!global.colours.empty()) streamEncoder_->SetBackgroundColor(palette->GetColour(0));
    streamEncoder_->GetGlobalFrame()->UseGlobalFrame = true;
    streamEncoder_->GetGlobalFrame()->Width = width_;
    streamEncoder_->GetGlobalFrame()->Height = height_;
    streamEncoder_->WriteScreen();
}

void TGIFFrameOptimizer::writeFrame(const TOptimizedFrame& frame) {
    for (const QByteArray& comment : frame.comments) streamEncoder_->WriteComment(comment);
    TGIFGraphicControlInfo info = frame.info;
    info.Origin = frame.rect.topLeft();
    const TFrameCoding& coded = frame.coded;
    const std::unique_ptr<TLogicalPalette> local = paletteOf(coded.localTable);
    streamEncoder_->WriteCodedImage(info, coded.transparentIndex, frame.rect.size(),
                                    coded.localTable.empty() ? nullptr : local.get(), coded.data);
}

// What the encoder wrote so far goes on to the caller's stream.
void TGIFFrameOptimizer::passOn(TStream* stream) {
    const QByteArray& bytes = streamOut_->bytes();
    stream->WriteBuffer(bytes.constData(), bytes.size());
    streamOut_->Clear();
}

void TGIFFrameOptimizer::write(TStream* stream) {
    if (streamEncoder_) {
        writeSoFar(stream);
        reset();
        return;
    }
    if (frames_.empty()) {
        // Some readers refuse a stream without an image: an animation that
        // draws nothing gets one transparent pixel.
        frames_.push_back(std::make_unique<TOptimizedFrame>());
        frames_.back()->rect = QRect(0, 0, 1, 1);
    }
    std::vector<TOptimizedFrame*> frames;
    for (const auto& frame : frames_) frames.push_back(frame.get());
    if (!frames.empty()) {
        finalize(*frames.back(), composer_->pixels());
        collector().add(frames.back());
    }
    collector().finish();
    const TGlobalTable global = chooseGlobalTable(frames);
    runOnThreads(int(frames.size()), threads(), [&](int i) { codeFrame(*frames[std::size_t(i)], global); });
    // The encoder writes only into a stream of the optimiser's own, so that
    // when the caller's stream fails, the trailer its destructor writes
    // does not go to a stream that may be gone by then.
    streamOut_ = std::make_unique<TMemoryStream>();
    startStream(global, streamOut_.get());
    for (const TOptimizedFrame* frame : frames) {
        writeFrame(*frame);
        passOn(stream);
    }
    for (const QByteArray& comment : comments_) streamEncoder_->WriteComment(comment);
    streamEncoder_->CloseImageStream();
    passOn(stream);
    reset();
}

std::int64_t TGIFFrameOptimizer::writeSoFar(TStream* stream) {
    if (!streamOut_) streamOut_ = std::make_unique<TMemoryStream>();
    // The last frame as it stands: its rectangle may still grow.
    std::unique_ptr<TOptimizedFrame> last;
    if (!frames_.empty()) {
        last = std::make_unique<TOptimizedFrame>(*frames_.back());
        finalize(*last, composer_->pixels());
        collectColours(*last);
    }
    collector().finish();
    if (!streamEncoder_) {
        TOptimizedFrame* first = frames_.size() > 1 ? frames_.front().get() : last.get();
        streamGlobal_ = std::make_unique<TGlobalTable>(first ? chooseGlobalTable({first}) : TGlobalTable{});
        startStream(*streamGlobal_, streamOut_.get());
    }
    for (; streamed_ + 1 < frames_.size(); ++streamed_) {
        TOptimizedFrame& frame = *frames_[streamed_];
        codeFrame(frame, *streamGlobal_);
        writeFrame(frame);
        frame.coded = {};
    }
    passOn(stream);
    const std::int64_t tail = stream->Position();
    // The next call writes again from the tail, as the encoder stands now.
    const bool carriesOver = streamEncoder_->GetControlCarriesOver();
    if (last) {
        codeFrame(*last, *streamGlobal_);
        writeFrame(*last);
    }
    streamEncoder_->SetControlCarriesOver(carriesOver);
    for (const QByteArray& comment : comments_) streamEncoder_->WriteComment(comment);
    passOn(stream);
    stream->WriteBuffer(";", 1);
    return tail;
}
