#include "toolkit/metafile.h"

#include <QPainter>

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
        lastError_ = MetafileError::kNoPicture;
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
    lastError_ = played ? MetafileError::kNone : MetafileError::kInvalidData;
    return played;
}
