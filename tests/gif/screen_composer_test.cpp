#include <gtest/gtest.h>

#include <random>

#include "gif/screen_composer.h"
#include "imaging/Zvqgraph.h"

namespace {

// A paletted picture, with the indices it was made of.
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> indices;   // rows top-down
    std::vector<std::uint32_t> colours;  // 0xFFRRGGBB
};

std::unique_ptr<TDeviceIndependentBitmap> bitmapOf(const Picture& p, TDIBFormat format) {
    auto dib = std::make_unique<TDeviceIndependentBitmap>(format, p.width, p.height);
    TLogicalPalette palette;
    palette.ReAlloc(int(p.colours.size()));
    for (std::uint32_t c : p.colours)
        palette.addColour(std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c));
    dib->SetColourTable(&palette);
    auto writer = dib->GetWriter();
    auto* mapped = static_cast<TDIBMappedWriter*>(writer.get());
    std::size_t at = 0;
    do {
        for (int x = 0; x < p.width; ++x) mapped->SetNextIndex(p.indices[at++]);
    } while (writer->NextRow());
    return dib;
}

// The GIF89a rules pixel by pixel, remembering nothing between graphics but
// the screen and what the last one's disposal needs.
class PlainComposer {
public:
    PlainComposer(int width, int height)
        : width_(width), height_(height), screen_(std::size_t(width * height)) {}
    void add(const Picture& p, QPoint origin, TDisposalMethods disposal, int transparentIndex) {
        if (lastDisposal_ == TDisposalMethods::dmRestoreBackground)
            forEach(lastRect_, [&](int at) { screen_[at] = 0; });
        if (lastDisposal_ == TDisposalMethods::dmRestorePrevious) screen_ = before_;
        before_ = screen_;
        lastRect_ = QRect(origin, QSize(p.width, p.height));
        lastDisposal_ = disposal;
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                const int sx = origin.x() + x, sy = origin.y() + y;
                const int index = p.indices[std::size_t(y * p.width + x)];
                if (sx < 0 || sy < 0 || sx >= width_ || sy >= height_ || index == transparentIndex)
                    continue;
                screen_[std::size_t(sy * width_ + sx)] = p.colours[std::size_t(index)];
            }
        }
    }
    const std::vector<std::uint32_t>& pixels() const { return screen_; }

private:
    template <typename F>
    void forEach(QRect r, F f) {
        r = r.intersected(QRect(0, 0, width_, height_));
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) f(y * width_ + x);
        }
    }
    int width_, height_;
    std::vector<std::uint32_t> screen_, before_;
    QRect lastRect_;
    TDisposalMethods lastDisposal_ = TDisposalMethods::dmNone;
};

}  // namespace

// Pictures that mostly repeat the one before, a few pixels changed, now and
// then with other colours, another place, another disposal or transparent
// index, at every depth: the composer shows what the plain rules do, and
// what it says may have changed takes in every pixel that did.
TEST(ScreenComposer, RedrawsWhatChangedAsThePlainRulesShowIt) {
    const int width = 23, height = 9;
    std::mt19937 random(5);
    for (TDIBFormat format : {TDIBFormat::dt8bit, TDIBFormat::dt4bit, TDIBFormat::dtMonochrome}) {
        const int count = format == TDIBFormat::dt8bit   ? 200
                          : format == TDIBFormat::dt4bit ? 16
                                                         : 2;
        TGIFScreenComposer composer(width, height);
        PlainComposer plain(width, height);
        Picture picture{19, 7, std::vector<std::uint8_t>(19 * 7), {}};
        const auto newColours = [&] {
            picture.colours.clear();
            for (int i = 0; i < count; ++i)
                picture.colours.push_back(0xFF000000u | (random() & 0xFFFFFF));
        };
        newColours();
        QPoint origin(0, 0);
        int transparent = -1;
        TDisposalMethods disposal = TDisposalMethods::dmNone;
        for (int frame = 0; frame < 300; ++frame) {
            for (int k = int(random() % 4); k > 0; --k)
                picture.indices[random() % picture.indices.size()] = std::uint8_t(random() % count);
            const unsigned change = random() % 16;
            if (change == 0) newColours();
            if (change == 1) origin = QPoint(int(random() % 9) - 3, int(random() % 5) - 2);
            if (change == 2) disposal = TDisposalMethods(random() % 4);
            if (change == 3) transparent = random() % 2 ? -1 : int(random() % count);
            const std::vector<std::uint32_t> before = composer.pixels();
            TGIFGraphicControlInfo info;
            info.Origin = origin;
            info.DisposalMethod = disposal;
            const QRect changed = composer.add(*bitmapOf(picture, format), info, transparent);
            plain.add(picture, origin, disposal, transparent);
            ASSERT_EQ(composer.pixels(), plain.pixels()) << "frame " << frame;
            for (int at = 0; at < width * height; ++at) {
                if (before[std::size_t(at)] != plain.pixels()[std::size_t(at)]) {
                    ASSERT_TRUE(changed.contains(at % width, at / width)) << "frame " << frame;
                }
            }
        }
    }
}

// A picture drawn again over itself changes nothing; one pixel changed
// changes little more than that pixel.
TEST(ScreenComposer, SaysHowLittleARepeatedPictureChanges) {
    Picture picture{40, 4, std::vector<std::uint8_t>(160, 1), {0xFF102030u, 0xFF405060u}};
    TGIFScreenComposer composer(40, 4);
    EXPECT_EQ(composer.add(*bitmapOf(picture, TDIBFormat::dt8bit), {}, -1), QRect(0, 0, 40, 4));
    EXPECT_TRUE(composer.add(*bitmapOf(picture, TDIBFormat::dt8bit), {}, -1).isEmpty());
    picture.indices[2 * 40 + 30] = 0;
    const QRect changed = composer.add(*bitmapOf(picture, TDIBFormat::dt8bit), {}, -1);
    EXPECT_EQ(changed, QRect(30, 2, 1, 1));
    EXPECT_EQ(composer.row(2)[30], 0xFF102030u);
}
