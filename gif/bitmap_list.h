#pragma once

#include <QPoint>
#include <memory>
#include <vector>

#include "toolkit/persistent.h"

class TBitmap;

/// @file
/// The frame cache of the animation control.

/// Toolkit bitmaps with an origin each: the frames of an animation ready to
/// be drawn. An index outside the list raises EAnimateError "Index out of
/// range", except where said.
class TBitmapList : public TObject {
public:
    /// An empty list.
    TBitmapList();
    ~TBitmapList() override;

    /// Appends; the entry's index.
    /// The list owns the bitmap from then on.
    int Add(std::unique_ptr<TBitmap> bitmap);
    /// `index` may be 0 ... count; the origin is (0, 0).
    void Insert(int index, std::unique_ptr<TBitmap> bitmap);
    /// Destroys the entry.
    /// An index out of range is ignored.
    void Delete(int index);
    /// Destroys every entry.
    void Clear();
    /// The entry's bitmap, owned by the list.
    TBitmap* GetItems(int index) const;
    ///@{
    /// Where the entry's bitmap is drawn.
    QPoint GetOrigin(int index) const;
    void SetOrigin(int index, QPoint origin);
    ///@}
    /// The entries in the list.
    int GetCount() const { return int(entries_.size()); }
    /// Stretches the entry's bitmap to width x height.
    void Stretch(int index, int width, int height);

private:
    struct Entry {
        std::unique_ptr<TBitmap> bitmap;
        QPoint origin;
    };
    const Entry& at(int index) const;

    std::vector<Entry> entries_;
};
