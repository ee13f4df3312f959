#pragma once

#include <QPoint>
#include <memory>
#include <vector>

#include "toolkit/persistent.h"

class TBitmap;

// Toolkit bitmaps with an origin each: the frames of an animation ready to
// be drawn.
class TBitmapList : public TObject {
public:
    TBitmapList();
    ~TBitmapList() override;

    // The list owns the bitmap from then on.
    int Add(std::unique_ptr<TBitmap> bitmap);
    // `index` may be 0 ... count.
    void Insert(int index, std::unique_ptr<TBitmap> bitmap);
    // An index out of range is ignored.
    void Delete(int index);
    void Clear();
    TBitmap* GetItems(int index) const;
    QPoint GetOrigin(int index) const;
    void SetOrigin(int index, QPoint origin);
    int GetCount() const { return int(entries_.size()); }
    // Stretches the entry's bitmap to width x height.
    void Stretch(int index, int width, int height);

private:
    struct Entry {
        std::unique_ptr<TBitmap> bitmap;
        QPoint origin;
    };
    const Entry& at(int index) const;

    std::vector<Entry> entries_;
};
