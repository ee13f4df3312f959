#include "gif/bitmap_list.h"

#include <QPainter>

#include "gif/gif_errors.h"
#include "toolkit/bitmap.h"

namespace {
[[noreturn]] void throwIndex() { throw EAnimateError(QStringLiteral("Index out of range")); }
}  // namespace

TBitmapList::TBitmapList() = default;

TBitmapList::~TBitmapList() { Clear(); }

int TBitmapList::Add(std::unique_ptr<TBitmap> bitmap) {
    Insert(GetCount(), std::move(bitmap));
    return GetCount() - 1;
}

void TBitmapList::Insert(int index, std::unique_ptr<TBitmap> bitmap) {
    if (index < 0 || index > GetCount()) throwIndex();
    entries_.insert(entries_.begin() + index, Entry{std::move(bitmap), QPoint(0, 0)});
}

void TBitmapList::Delete(int index) {
    if (index < 0 || index >= GetCount()) return;
    entries_.erase(entries_.begin() + index);
}

void TBitmapList::Clear() { entries_.clear(); }

const TBitmapList::Entry& TBitmapList::at(int index) const {
    if (index < 0 || index >= GetCount()) throwIndex();
    return entries_[std::size_t(index)];
}

TBitmap* TBitmapList::GetItems(int index) const { return at(index).bitmap.get(); }

QPoint TBitmapList::GetOrigin(int index) const { return at(index).origin; }

void TBitmapList::SetOrigin(int index, QPoint origin) {
    at(index);
    entries_[std::size_t(index)].origin = origin;
}

void TBitmapList::Stretch(int index, int width, int height) {
    TBitmap* bitmap = GetItems(index);
    QImage stretched(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
    if (!stretched.isNull()) {
        QPainter painter(&stretched);
        painter.drawImage(stretched.rect(), bitmap->Image());
    }
    bitmap->SetImage(stretched);
}
