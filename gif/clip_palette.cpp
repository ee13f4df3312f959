#include "gif/clip_palette.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>

#include "gif/frame_threads.h"
#include "gif/gif_errors.h"
#include "gif/palette_refinement.h"
#include "imaging/device_independent_bitmap.h"
#include "imaging/logical_palette.h"
#include "imaging/quantizer.h"

namespace {

// Pixels are opaque (0xFFRRGGBB); the transparent colour is kept as this.
constexpr std::uint32_t kTransparentPixel = 0;

// A picture's pixels, rows top-down and one after another, in an image of
// Format_RGB32 (whose rows have no gaps between them).
struct Pixels {
    QImage image;
    int width() const { return image.width(); }
    int height() const { return image.height(); }
    const std::uint32_t* data() const { return reinterpret_cast<const std::uint32_t*>(image.constBits()); }
    std::size_t size() const { return std::size_t(width()) * std::size_t(height()); }
    std::uint32_t at(int x, int y) const { return data()[std::size_t(y) * std::size_t(width()) + std::size_t(x)]; }
};

// The transparent colour as an opaque pixel, or kTransparentPixel for none.
std::uint32_t transparentKey(const std::optional<TColor>& transparent) {
    return transparent ? 0xFF000000u | std::uint32_t(GetRValue(*transparent)) << 16 |
                             std::uint32_t(GetGValue(*transparent)) << 8 | GetBValue(*transparent)
                       : kTransparentPixel;
}

// An image's pixels, of any format, its alpha left out: an image of
// Format_RGB32 is taken over as it is (copied only when shared), its
// pixels made opaque and the transparent colour marked in place.
Pixels pixelsOf(QImage picture, std::uint32_t key) {
    if (picture.format() != QImage::Format_RGB32) picture = picture.convertToFormat(QImage::Format_RGB32);
    Pixels pixels{std::move(picture)};
    if (pixels.size() == 0) return pixels;
    auto* rgb = reinterpret_cast<std::uint32_t*>(pixels.image.bits());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t opaque = rgb[i] | 0xFF000000u;
        rgb[i] = opaque == key ? kTransparentPixel : opaque;
    }
    return pixels;
}

Pixels pixelsOf(const TDeviceIndependentBitmap& picture, std::uint32_t key) {
    if (picture.GetDIBType() != TDIBFormat::dt24bit) return pixelsOf(picture.toImage(), key);
    Pixels pixels{QImage(picture.GetWidth(), std::abs(picture.GetHeight()), QImage::Format_RGB32)};
    if (pixels.image.isNull()) throw std::bad_alloc();
    auto* out = reinterpret_cast<std::uint32_t*>(pixels.image.bits());
    // Straight from the bytes: blue, green, red.
    for (int y = 0; y < pixels.height(); ++y) {
        const std::uint8_t* in = picture.rowFromTop(y);
        for (int x = 0; x < pixels.width(); ++x, in += 3) {
            const std::uint32_t rgb = 0xFF000000u | std::uint32_t(in[2]) << 16 | std::uint32_t(in[1]) << 8 | in[0];
            *out++ = rgb == key ? kTransparentPixel : rgb;
        }
    }
    return pixels;
}

// Where the picture differs from the one before (all of it for the first).
QRect changedRect(const Pixels& now, const Pixels* before) {
    if (!before || before->width() != now.width() || before->height() != now.height()) {
        return QRect(0, 0, now.width(), now.height());
    }
    QRect changed;
    for (int y = 0; y < now.height(); ++y) {
        const std::uint32_t* a = now.data() + std::size_t(y) * std::size_t(now.width());
        const std::uint32_t* b = before->data() + std::size_t(y) * std::size_t(now.width());
        if (std::memcmp(a, b, std::size_t(now.width()) * 4) == 0) continue;
        int first = 0, last = now.width() - 1;
        while (a[first] == b[first]) ++first;
        while (a[last] == b[last]) --last;
        changed |= QRect(first, y, last - first + 1, 1);
    }
    return changed;
}

// The pixels of `rect` (not empty) of a picture.
Pixels cropOf(const Pixels& pixels, QRect rect) {
    Pixels crop{pixels.image.copy(rect)};
    if (crop.image.isNull()) throw std::bad_alloc();
    return crop;
}

// What a clip keeps of a picture: where it differs from the picture before,
// its pixels there, and which of them are as they were. A picture that does
// not follow one of its size is kept whole.
struct Change {
    int width = 0, height = 0;       // the picture's
    bool follows = false;            // drawn over the picture before
    QRect rect;                      // may be empty
    Pixels now;                      // the rectangle's pixels
    std::vector<std::uint8_t> same;  // 1 where a pixel is as before; only when following
};

// Where the picture differs from the one before, and which of its pixels
// there are as they were; its pixels are taken afterwards.
Change changeOf(const Pixels& now, const Pixels* before) {
    Change change{now.width(), now.height(), false, changedRect(now, before), {}, {}};
    change.follows = before && before->width() == now.width() && before->height() == now.height();
    if (!change.follows) return change;
    const QRect r = change.rect;
    change.same.reserve(std::size_t(r.width()) * std::size_t(r.height()));
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) change.same.push_back(now.at(x, y) == before->at(x, y));
    }
    return change;
}

// The change's pixels: the picture's own when it changes all over (the
// image shared, not copied), else a copy of its rectangle.
void takePixels(Change& change, const Pixels& picture) {
    if (change.rect == QRect(0, 0, picture.width(), picture.height())) {
        change.now = picture;
    } else if (!change.rect.isEmpty()) {
        change.now = cropOf(picture, change.rect);
    }
}

// The rectangle's pixels as a true-colour bitmap; transparent ones take a
// neighbour's colour so that they pull no palette entry of their own.
std::unique_ptr<TDeviceIndependentBitmap> bitmapOf(const Pixels& pixels, QRect rect) {
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, rect.width(), rect.height());
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        std::uint8_t* out = dib->rowFromTop(y - rect.top());
        std::uint32_t last = 0;
        for (int x = rect.left(); x <= rect.right(); ++x, out += 3) {
            const std::uint32_t rgb = pixels.at(x, y);
            if (rgb != kTransparentPixel) last = rgb;
            out[0] = std::uint8_t(last);
            out[1] = std::uint8_t(last >> 8);
            out[2] = std::uint8_t(last >> 16);
        }
    }
    return dib;
}

// Writes colours into a true-colour bitmap's rows one after another, from
// the given place on.
class SampleWriter {
public:
    SampleWriter(TDeviceIndependentBitmap& dib, std::size_t at)
        : dib_(dib), width_(std::size_t(dib.GetWidth())), row_(int(at / width_)), column_(at % width_) {
        if (row_ < std::abs(dib_.GetHeight())) out_ = dib_.rowFromTop(row_) + column_ * 3;
    }
    void put(std::uint32_t rgb) {
        out_[0] = std::uint8_t(rgb);
        out_[1] = std::uint8_t(rgb >> 8);
        out_[2] = std::uint8_t(rgb >> 16);
        out_ += 3;
        if (++column_ < width_) return;
        column_ = 0;
        if (++row_ < std::abs(dib_.GetHeight())) out_ = dib_.rowFromTop(row_);
    }

private:
    TDeviceIndependentBitmap& dib_;
    std::size_t width_;
    int row_;
    std::size_t column_;
    std::uint8_t* out_ = nullptr;
};

// The first picture and what changes after it, in rows of one bitmap, for
// one palette of the whole clip. Counted first, so that the samples are
// gathered once into a block of their size.
std::unique_ptr<TDeviceIndependentBitmap> changingPixels(const std::vector<Change>& changes) {
    const auto sampled = [](const Change& change, std::size_t i) {
        return change.now.data()[i] != kTransparentPixel && (!change.follows || !change.same[i]);
    };
    // Each picture's samples counted, then written into their place, side
    // by side.
    std::vector<std::size_t> starts(changes.size() + 1, 0);
    runOnThreads(int(changes.size()), coreCount(), [&](int at) {
        const Change& change = changes[std::size_t(at)];
        std::size_t count = 0;
        for (std::size_t i = 0; i < change.now.size(); ++i) count += sampled(change, i);
        starts[std::size_t(at) + 1] = count;
    });
    for (std::size_t i = 0; i < changes.size(); ++i) starts[i + 1] += starts[i];
    const std::size_t count = std::max<std::size_t>(starts.back(), 1);
    const std::size_t width = std::min<std::size_t>(count, 1024);
    const std::size_t height = (count + width - 1) / width;
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, int(width), int(height));
    runOnThreads(int(changes.size()), coreCount(), [&](int at) {
        const Change& change = changes[std::size_t(at)];
        SampleWriter out(*dib, starts[std::size_t(at)]);
        for (std::size_t i = 0; i < change.now.size(); ++i) {
            if (sampled(change, i)) out.put(change.now.data()[i]);
        }
    });
    // The last row is filled up from the first samples (black when there
    // are none).
    SampleWriter out(*dib, starts.back());
    const std::uint8_t* in = dib->rowFromTop(0);
    for (std::size_t at = starts.back(); at < width * height; ++at, in += 3) {
        out.put(std::uint32_t(in[2]) << 16 | std::uint32_t(in[1]) << 8 | in[0]);
    }
    return dib;
}

// The palette, and a last entry for the transparent index when there is one.
std::unique_ptr<TLogicalPalette> tableOf(const TLogicalPalette& palette, bool transparent) {
    auto table = std::make_unique<TLogicalPalette>();
    table->Assign(const_cast<TLogicalPalette*>(&palette));
    if (transparent) table->addColour(1, 254, 3);
    return table;
}

// Where a picture goes on the screen: all of it, or when cropped and drawn
// over the picture before, only where it changed (a pixel, where nothing
// did).
QRect pictureRect(const Change& change, bool cropped) {
    if (!cropped || !change.follows) return QRect(0, 0, change.width, change.height);
    return change.rect.isEmpty() ? QRect(0, 0, 1, 1) : change.rect;
}

// The screen after each picture, from its mapped rectangle and, outside it
// and where its pixels are as before, the screen before; each picture is
// that screen, or its part where the picture changed.
TGIFIndexedClip assembleClip(const std::vector<Change>& changes,
                             const std::vector<std::unique_ptr<TDeviceIndependentBitmap>>& mapped,
                             const TLogicalPalette* shared,
                             const std::vector<std::unique_ptr<TLogicalPalette>>& palettes, bool transparent,
                             bool cropped) {
    TGIFIndexedClip clip;
    int width = 0, height = 0;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const Change& change = changes[i];
        const TLogicalPalette& palette = shared ? *shared : *palettes[i];
        const QRect rect = pictureRect(change, cropped);
        auto picture = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt8bit, rect.width(), rect.height());
        picture->SetColourTable(tableOf(palette, transparent).get());
        clip.transparentIndices.push_back(transparent ? int(palette.GetCount()) : -1);
        clip.origins.push_back(rect.topLeft());
        clip.pictures.push_back(std::move(picture));
        width = std::max(width, change.width);
        height = std::max(height, change.height);
    }
    std::vector<std::uint8_t> screen(std::size_t(width) * std::size_t(height));
    const auto assembleRow = [&](std::size_t i, int y) {
        const Change& change = changes[i];
        std::uint8_t* row = screen.data() + std::size_t(y) * std::size_t(width);
        const QRect rect = change.rect;
        if (y >= rect.top() && y <= rect.bottom()) {
            const std::uint8_t clear = std::uint8_t(shared ? shared->GetCount() : palettes[i]->GetCount());
            const std::uint8_t* in = mapped[i]->rowFromTop(y - rect.top());
            const std::size_t at = std::size_t(y - rect.top()) * std::size_t(rect.width());
            for (int x = 0; x < rect.width(); ++x) {
                if (change.follows && change.same[at + std::size_t(x)]) continue;
                const std::uint32_t rgb = change.now.data()[at + std::size_t(x)];
                row[rect.left() + x] = rgb == kTransparentPixel ? clear : in[x];
            }
        }
        const QRect shown = pictureRect(change, cropped);
        if (y < shown.top() || y > shown.bottom()) return;
        std::memcpy(clip.pictures[i]->rowFromTop(y - shown.top()), row + shown.left(), std::size_t(shown.width()));
    };
    // A row of the screen needs only the same row before: bands of rows
    // are put together side by side, each through the whole clip.
    constexpr int kBand = 16;
    runOnThreads((height + kBand - 1) / kBand, coreCount(), [&](int band) {
        for (std::size_t i = 0; i < changes.size(); ++i) {
            for (int y = band * kBand; y < std::min((band + 1) * kBand, changes[i].height); ++y) assembleRow(i, y);
        }
    });
    return clip;
}

// Stores of the shared palette's nearest entries, each used by one thread
// at a time and kept for the frames after, so that a cell's entry is looked
// for once a thread rather than once a frame.
class NearestEntriesPool {
public:
    explicit NearestEntriesPool(const TLogicalPalette* palette) : palette_(palette) {}
    std::shared_ptr<TNearestEntries> take() {
        {
            const std::lock_guard lock(mutex_);
            if (!free_.empty()) {
                std::shared_ptr<TNearestEntries> store = std::move(free_.back());
                free_.pop_back();
                return store;
            }
        }
        return nearestEntriesOf(palette_);
    }
    void giveBack(std::shared_ptr<TNearestEntries> store) {
        const std::lock_guard lock(mutex_);
        free_.push_back(std::move(store));
    }

private:
    const TLogicalPalette* palette_;
    std::mutex mutex_;
    std::vector<std::shared_ptr<TNearestEntries>> free_;
};

// Colours within a mean squared distance of 1 of their pixels, less than a
// level of one channel, look the same: a clip of more colours than a table
// holds but few that show (text, drawings) gets no more than that takes,
// and its frames code smaller.
constexpr double kUnseenError = 1.0;

std::unique_ptr<TLogicalPalette> paletteOf(TDeviceIndependentBitmap* dib, int colours, TGIFPaletteQuality quality) {
    if (quality == TGIFPaletteQuality::High) return refinedPalette(dib, colours, kUnseenError);
    return std::make_unique<TQuantizedPalette>(dib, colours);
}

// Pictures read a few at a time on several threads, and kept as their
// changes, so that the whole clip is never held at full size; the first
// picture in order that fails stops the reading.
std::vector<Change> changesOf(int count, const std::function<Pixels(int)>& pixelsOfPicture, bool whole) {
    std::vector<Change> changes;
    const int threads = coreCount();
    const int window = std::max(8, 2 * threads);
    Pixels last;
    for (int start = 0; start < count; start += window) {
        const int n = std::min(window, count - start);
        std::vector<Pixels> read(static_cast<std::size_t>(n));
        std::vector<std::exception_ptr> failures(static_cast<std::size_t>(n));
        runOnThreads(n, threads, [&](int k) {
            try {
                read[std::size_t(k)] = pixelsOfPicture(start + k);
            } catch (...) {
                failures[std::size_t(k)] = std::current_exception();
            }
        });
        for (const std::exception_ptr& failure : failures) {
            if (failure) std::rethrow_exception(failure);
        }
        // Each change from its picture and the one before, side by side;
        // the pictures are only read, and let go with `read`.
        const std::size_t first = changes.size();
        changes.resize(first + std::size_t(n));
        runOnThreads(n, threads, [&](int k) {
            const Pixels& pixels = read[std::size_t(k)];
            const Pixels* before = k > 0 ? &read[std::size_t(k - 1)] : first > 0 ? &last : nullptr;
            // With a palette of its own, a picture is mapped whole.
            Change& change = changes[first + std::size_t(k)];
            change = changeOf(pixels, whole ? nullptr : before);
            takePixels(change, pixels);
        });
        if (!whole && start + n < count) last = read.back();
    }
    return changes;
}

// The clip from its pictures' changes.
TGIFIndexedClip clipOf(const std::vector<Change>& changes, const TGIFClipOptions& options) {
    const int count = int(changes.size());
    const int colours = options.transparent ? 255 : 256;
    std::unique_ptr<TLogicalPalette> shared;
    if (options.sharedPalette && count > 0) {
        const std::unique_ptr<TDeviceIndependentBitmap> samples = changingPixels(changes);
        shared = paletteOf(samples.get(), colours, options.quality);
    }
    // Each changed rectangle mapped on its own; the pictures are put
    // together in order afterwards.
    std::vector<std::unique_ptr<TDeviceIndependentBitmap>> mapped(changes.size());
    std::vector<std::unique_ptr<TLogicalPalette>> palettes(changes.size());
    NearestEntriesPool nearest(shared.get());
    runOnThreads(count, coreCount(), [&](int i) {
        const std::size_t at = std::size_t(i);
        const Change& change = changes[at];
        if (change.rect.isEmpty()) return;
        const std::unique_ptr<TDeviceIndependentBitmap> crop =
            bitmapOf(change.now, QRect(0, 0, change.now.width(), change.now.height()));
        if (!options.sharedPalette) palettes[at] = paletteOf(crop.get(), colours, options.quality);
        TLogicalPalette* palette = shared ? shared.get() : palettes[at].get();
        // Only the refined palette is exact colour for colour.
        const bool exact = options.quality == TGIFPaletteQuality::High && palette->GetIsExact();
        if (exact) {
            mapped[at] = indexedExactly(crop.get(), palette);
        } else if (shared) {
            std::shared_ptr<TNearestEntries> store = nearest.take();
            mapped[at] = indexedFaithfully(crop.get(), palette, options.dither, *store);
            nearest.giveBack(std::move(store));
        } else {
            mapped[at] = indexedFaithfully(crop.get(), palette, options.dither);
        }
    });
    return assembleClip(changes, mapped, shared.get(), palettes, options.transparent.has_value(), options.cropped);
}

}  // namespace

TGIFIndexedClip indexedClip(const std::vector<const TDeviceIndependentBitmap*>& pictures,
                            const TGIFClipOptions& options) {
    const auto read = [&](int i) { return pixelsOf(*pictures[std::size_t(i)], transparentKey(options.transparent)); };
    return clipOf(changesOf(int(pictures.size()), read, !options.sharedPalette), options);
}

TGIFIndexedClip indexedClip(int count, const std::function<QImage(int)>& readPicture, const TGIFClipOptions& options) {
    const auto read = [&](int i) { return pixelsOf(readPicture(i), transparentKey(options.transparent)); };
    return clipOf(changesOf(count, read, !options.sharedPalette), options);
}
