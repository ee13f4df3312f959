#pragma once

#include <memory>

#include "toolkit/persistent.h"

class TBitmap;
class TMetafile;

// Holds at most one graphic, a bitmap or a metafile, and owns it. Asking for
// the bitmap or the metafile makes an empty one when the picture holds
// something else (or nothing), as toolkit users expect.
class TPicture : public TPersistent {
public:
    TPicture();
    ~TPicture() override;

    // Takes a copy of a picture's, bitmap's or metafile's contents.
    void Assign(TPersistent* source) override;

    TBitmap* Bitmap();
    TMetafile* Metafile();
    bool hasBitmap() const;
    bool hasMetafile() const;
    // True also when the graphic it holds is itself empty.
    bool Empty() const;
    int Width() const;
    int Height() const;

    // Keeps a copy; null empties the picture.
    void SetBitmap(const TBitmap* bitmap);
    void Clear();

private:
    template <typename T>
    T* graphicAs() const {
        return dynamic_cast<T*>(graphic_.get());
    }
    template <typename T>
    T* graphicOrNew();

    std::unique_ptr<TPersistent> graphic_;
};
