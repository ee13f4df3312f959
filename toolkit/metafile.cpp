#include "toolkit/metafile.h"

#include <QPainter>
#include <limits>

#include "toolkit/streams.h"

void TMetafile::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TMetafile*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    picture_ = other->picture_;
    size_ = other->size_;
    palette_ = other->palette_;
}

void TMetafile::SetSize(int width, int height) {
    size_ = QSize(width, height);
}

void TMetafile::Clear() {
    picture_ = QPicture();
    size_ = QSize();
    palette_.clear();
}

QRect TMetafile::frame() const {
    return size_.isValid() ? QRect(QPoint(0, 0), size_) : picture_.boundingRect();
}

bool TMetafile::Play(QPainter& painter, const QRect& rect) {
    if (Empty()) {
        lastError_ = kMetafileNoPicture;
        return false;
    }
    const QRect from = frame();
    painter.save();
    painter.translate(rect.topLeft());
    if (!from.isEmpty()) {
        painter.scale(double(rect.width()) / from.width(), double(rect.height()) / from.height());
    }
    painter.translate(-from.topLeft());
    const bool played = picture_.play(&painter);
    painter.restore();
    lastError_ = played ? kMetafileOk : kMetafileInvalidData;
    return played;
}

void TMetafile::LoadFromStream(TStream* stream) {
    const std::int64_t size = stream->Size() - stream->Position();
    if (size <= 0 || size > std::numeric_limits<int>::max()) throw EInvalidGraphic();
    QByteArray bytes(int(size), Qt::Uninitialized);
    stream->ReadBuffer(bytes.data(), size);
    // The data is checked when it is played, as QPicture does.
    picture_.setData(bytes.constData(), uint(bytes.size()));
    size_ = QSize();
}

void TMetafile::SaveToStream(TStream* stream) const {
    if (Empty()) return;
    stream->WriteBuffer(picture_.data(), picture_.size());
}
