#include "gif_image_handler.h"

#include <QIODevice>
#include <QImageReader>
#include <QVariant>
#include <limits>

#include "gif/Zvqgif.h"
#include "imaging/Zvqgraph.h"
#include "gif_frame_writer.h"
#include "toolkit/streams.h"
#include "toolkit/bitmap.h"
#include "toolkit/screen.h"

namespace {

TDisposalMethods disposalNamed(const QString& name) {
    const QStringList names{"none", "leave", "background", "previous"};
    const qsizetype at = names.indexOf(name.trimmed().toLower());
    return at < 0 ? TDisposalMethods::dmNone : TDisposalMethods(at);
}

// Qt's allocation limit counts megabytes of 32-bit pixels; 0 lifts it.
std::int64_t decoderPixelLimit() {
    const int megabytes = QImageReader::allocationLimit();
    return megabytes > 0 ? std::int64_t(megabytes) * 1024 * 1024 / 4 : std::numeric_limits<std::int64_t>::max();
}

// What the screens kept for stepping back may take: Qt's allocation limit,
// or 256 MB where it is lifted.
std::int64_t checkpointBudget() {
    const int megabytes = QImageReader::allocationLimit();
    return std::int64_t(megabytes > 0 ? megabytes : 256) * 1024 * 1024;
}

// Plain text needs fonts, which only a GUI application has; browsers never
// draw it, so a console program simply goes without.
bool drawsText() { return hasFonts(); }

// The graphics a reader hands out, counted over the blocks alone.
int countGraphics(const QByteArray& bytes) {
    TMemoryStream stream(bytes);
    TZVQ_GIFDecompressor decoder;
    decoder.setReadsExtensionsIn87a(true);
    int count = 0;
    try {
        TGIFGraphicOutline outline;
        TGIFGraphicControlInfo info;
        while (decoder.skipGIFGraphic(&stream, outline, info)) {
            if (!outline.isText || drawsText()) ++count;
        }
    } catch (const Exception&) {
        // The graphics before the fault are the ones there are.
    }
    return count;
}

}  // namespace

GifImageHandler::GifImageHandler() = default;

GifImageHandler::~GifImageHandler() {
    try {
        finishWriting();
    } catch (...) {
        // The device has failed before; nothing more can be written.
    }
}

bool GifImageHandler::canRead(QIODevice* device) { return device && device->peek(4) == "GIF8"; }

bool GifImageHandler::canRead() const {
    if (input_) return !failed_ && current_ + 1 < imageCount();
    if (!canRead(device())) return false;
    setFormat("gif");
    return true;
}

// --- Reading ---------------------------------------------------------------------

bool GifImageHandler::openForReading() const {
    if (input_) return !failed_;
    input_ = std::make_unique<TMemoryStream>(device()->readAll());
    imageCount_ = countGraphics(input_->bytes());
    decoder_ = std::make_unique<TZVQ_GIFDecompressor>();
    decoder_->setPixelLimit(decoderPixelLimit());
    // Only what lies on the screen is ever shown.
    decoder_->setClipToScreen(true);
    // As browsers read them: GIF 89a blocks under a GIF87a header.
    decoder_->setReadsExtensionsIn87a(true);
    decoder_->OnComment = [this](TObject*, const char* text) { comments_ << QString::fromUtf8(text); };
    try {
        decoder_->OpenImageStream(input_.get());
        firstGraphicAt_ = decoder_->nextGraphicAt();
        checkpoints_.setBudget(checkpointBudget());
        failed_ = !composer_.start(decoder_->GetScreenWidth(), decoder_->GetScreenHeight());
    } catch (const Exception&) {
        failed_ = true;
    }
    return !failed_;
}

bool GifImageHandler::composeNext() {
    if (!openForReading()) return false;
    try {
        for (;;) {
            TGIFGraphicControlInfo info;
            std::unique_ptr<TZVQExtGraphic> graphic = decoder_->ReadGIFGraphicFromStream(input_.get(), info);
            if (!graphic) return false;
            const bool image = dynamic_cast<TDeviceIndependentBitmap*>(graphic.get()) != nullptr;
            if (!image && !drawsText()) continue;
            composer_.add(graphic.get(), info, image ? decoder_->lastTransparentIndex() : -1);
            currentDelay_ = info.DelayTime;
            ++current_;
            checkpoints_.offer(current_, composer_, decoder_->nextGraphicAt(), currentDelay_, composer_.lastPixels());
            return true;
        }
    } catch (const Exception&) {
        failed_ = true;
        return false;
    }
}

bool GifImageHandler::read(QImage* image) {
    comments_.clear();
    // The caller's previous frame shares the screen: let it go first, so
    // that the screen changes in place instead of being copied.
    *image = QImage();
    if (!composeNext()) return false;
    *image = composer_.screen();
    // Comment blocks met up to this frame (the decoder reads one block ahead).
    if (!comments_.isEmpty()) image->setText(QStringLiteral("Comment"), comments_.join('\n'));
    return true;
}

bool GifImageHandler::jumpToNextImage() { return composeNext(); }

// The next read() gives `imageNumber`: frames are composed up to the one
// before it, from the nearest kept screen when it lies behind.
bool GifImageHandler::jumpToImage(int imageNumber) {
    if (imageNumber < 0 || imageNumber >= imageCount()) return false;
    if (imageNumber <= current_ && !rewindTo(imageNumber - 1)) return false;
    while (current_ < imageNumber - 1) {
        if (!composeNext()) return false;
    }
    return true;
}

// The state after `frame` (-1: before the first) taken from the latest
// kept screen at or before it, or from the start.
bool GifImageHandler::rewindTo(int frame) {
    if (composer_.screen().isNull()) return false;  // the screen itself was refused
    try {
        if (const FrameCheckpoints::Checkpoint* kept = checkpoints_.latestAtOrBefore(frame)) {
            composer_ = kept->composer;
            decoder_->resumeAt(kept->resumeAt);
            current_ = kept->frame;
            currentDelay_ = kept->delay;
        } else {
            composer_.start(decoder_->GetScreenWidth(), decoder_->GetScreenHeight());
            decoder_->resumeAt(firstGraphicAt_);
            current_ = -1;
            currentDelay_ = 0;
        }
    } catch (const Exception&) {
        return false;
    }
    failed_ = false;
    return true;
}

int GifImageHandler::imageCount() const { return openForReading() || input_ ? imageCount_ : 0; }

int GifImageHandler::loopCount() const {
    if (!openForReading() || !decoder_->hasLoopExtension()) return 0;
    return decoder_->GetLoopCount() == 0 ? -1 : decoder_->GetLoopCount();
}

int GifImageHandler::nextImageDelay() const { return currentDelay_; }

int GifImageHandler::currentImageNumber() const { return current_; }

bool GifImageHandler::supportsOption(ImageOption option) const {
    return option == Size || option == Animation || option == Description;
}

QVariant GifImageHandler::option(ImageOption option) const {
    if (option == Animation) return true;
    if (option != Size) return {};
    // The screen's size as declared, also when it is too large to read.
    openForReading();
    const QSize screen = decoder_ ? QSize(decoder_->GetScreenWidth(), decoder_->GetScreenHeight()) : QSize();
    return screen.isEmpty() ? QVariant() : QVariant(screen);
}

void GifImageHandler::setOption(ImageOption option, const QVariant& value) {
    if (option == Description) description_ = value.toString();
}

// --- Writing ---------------------------------------------------------------------

// The image's own text first, then what was given to the writer
// ("key: value" pairs separated by blank lines).
QString GifImageHandler::writerText(const QImage& image, const QString& key) const {
    if (!image.text(key).isEmpty()) return image.text(key);
    for (const QString& pair : description_.split(QStringLiteral("\n\n"))) {
        const qsizetype colon = pair.indexOf(':');
        if (colon > 0 && pair.left(colon).trimmed() == key) return pair.mid(colon + 1).trimmed();
    }
    return {};
}

bool GifImageHandler::write(const QImage& image) {
    if (image.isNull() || !device() || !device()->isWritable()) return false;
    try {
        std::optional<int> loop;
        if (!writer_) {
            writer_ = std::make_unique<GifFrameWriter>(device());
            const QString text = writerText(image, QStringLiteral("loop"));
            if (!text.isEmpty()) loop = text.toInt();
        }
        TGIFGraphicControlInfo info;
        info.DelayTime = writerText(image, QStringLiteral("delay")).toInt();
        info.DisposalMethod = disposalNamed(writerText(image, QStringLiteral("disposal")));
        writer_->add(image, info, loop);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

void GifImageHandler::finishWriting() {
    if (writer_) writer_->finish();
    writer_.reset();
}
