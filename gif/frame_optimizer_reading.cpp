// A GIF stream read into the frame optimiser, for writing it again smaller.
// One thread decodes while the caller's composes the frames decoded before.
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "gif/frame_optimizer.h"
#include "gif/gif_decoder.h"
#include "imaging/device_independent_bitmap.h"

namespace {

// What the decoder read up to and with one picture.
struct DecodedFrame {
    std::vector<QByteArray> comments;  // before the picture
    std::unique_ptr<TDeviceIndependentBitmap> picture;  // null after the last
    TGIFGraphicControlInfo info;
    int transparentIndex = -1;
    std::optional<int> loopCount;
};

// Frames from the decoding thread to the composing one, a few at a time so
// that decoding does not run far ahead of what the optimiser holds.
class FramePipe {
public:
    static constexpr std::size_t kInFlight = 4;

    // False when the reader has stopped reading.
    bool put(DecodedFrame frame) {
        std::unique_lock lock(mutex_);
        roomOrStop_.wait(lock, [&] { return stopped_ || frames_.size() < kInFlight; });
        if (stopped_) return false;
        frames_.push_back(std::move(frame));
        ready_.notify_one();
        return true;
    }
    void fail(std::exception_ptr failure) {
        const std::lock_guard lock(mutex_);
        failure_ = std::move(failure);
        ready_.notify_one();
    }
    // The next frame; the decoder's fault once the frames before it are taken.
    DecodedFrame take() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !frames_.empty() || failure_; });
        if (frames_.empty()) std::rethrow_exception(failure_);
        DecodedFrame frame = std::move(frames_.front());
        frames_.pop_front();
        roomOrStop_.notify_one();
        return frame;
    }
    void stop() {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        roomOrStop_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_, roomOrStop_;
    std::deque<DecodedFrame> frames_;
    std::exception_ptr failure_;
    bool stopped_ = false;
};

// `comments` gathers those the decoder meets, which it does while it reads
// the graphic before them. Plain text is not drawn: its comments wait for
// the next image, and those after the last image come with the null picture
// that ends the stream.
void decodeFrames(TZVQ_GIFDecompressor& decoder, TStream* gif, std::vector<QByteArray>& comments, FramePipe& pipe) {
    for (;;) {
        DecodedFrame frame;
        frame.comments.swap(comments);
        std::unique_ptr<TZVQExtGraphic> graphic = decoder.ReadGIFGraphicFromStream(gif, frame.info);
        if (decoder.hasLoopExtension()) frame.loopCount = decoder.GetLoopCount();
        if (graphic && !dynamic_cast<TDeviceIndependentBitmap*>(graphic.get())) {
            comments.insert(comments.begin(), frame.comments.begin(), frame.comments.end());
            continue;
        }
        frame.picture.reset(static_cast<TDeviceIndependentBitmap*>(graphic.release()));
        frame.transparentIndex = decoder.lastTransparentIndex();
        const bool last = !frame.picture;
        if (last) frame.comments.insert(frame.comments.end(), comments.begin(), comments.end());
        if (!pipe.put(std::move(frame)) || last) return;
    }
}

}  // namespace

std::unique_ptr<TGIFFrameOptimizer> TGIFFrameOptimizer::CreateFromStream(TStream* gif, std::int64_t pixelLimit,
                                                                         std::optional<TGIFStreamDamage>* damage) {
    TZVQ_GIFDecompressor decoder;
    decoder.setPixelLimit(pixelLimit);
    // The output is GIF 89a, which shows such blocks to every reader.
    decoder.setReadsExtensionsIn87a(true);
    std::vector<QByteArray> comments;
    decoder.OnComment = [&](TObject*, const char*) { comments.push_back(decoder.lastComment()); };
    decoder.OpenImageStream(gif);
    checkPixelLimit(decoder.GetScreenWidth(), decoder.GetScreenHeight(), pixelLimit);
    auto optimizer = std::make_unique<TGIFFrameOptimizer>(decoder.GetScreenWidth(), decoder.GetScreenHeight());
    FramePipe pipe;
    std::thread decoding([&] {
        try {
            decodeFrames(decoder, gif, comments, pipe);
        } catch (...) {
            pipe.fail(std::current_exception());
        }
    });
    if (damage) damage->reset();
    try {
        for (int images = 0;; ++images) {
            DecodedFrame frame;
            try {
                frame = pipe.take();
            } catch (const Exception& fault) {
                if (!damage || images == 0) throw;
                *damage = TGIFStreamDamage{fault.Message(), images};
                break;
            }
            if (frame.loopCount) optimizer->setLoopCount(frame.loopCount);
            for (const QByteArray& text : frame.comments) optimizer->addComment(text);
            if (!frame.picture) break;
            optimizer->addFrame(*frame.picture, frame.info, frame.transparentIndex);
        }
    } catch (...) {
        pipe.stop();
        decoding.join();
        throw;
    }
    decoding.join();
    return optimizer;
}
