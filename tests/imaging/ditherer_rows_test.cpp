// Ditherers take whole rows over the raw bytes when a 24- or 32-bit reader
// feeds an 8-bit writer; every other pair goes pixel by pixel through the
// iterators. Both ways must give the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "bmp_builder.h"
#include "imaging/Zvqgraph.h"

namespace {

// Reads 24-bit pixels as TDIB24Reader does, but is a class of its own, so a
// ditherer fed by it goes the pixel-by-pixel way.
class PlainReader24 final : public TDIBReader {
public:
    explicit PlainReader24(TDeviceIndependentBitmap* dib) : TDIBReader(dib, dib->GetWidth() * 3) {}
    bool GetNextPixel(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) override {
        if (pixelsLeft_ <= 0) return false;
        --pixelsLeft_;
        if (backwards_) cur_ -= 3;
        blue = cur_[0];
        green = cur_[1];
        red = cur_[2];
        if (!backwards_) cur_ += 3;
        return true;
    }
};

constexpr int kWidth = 67, kHeight = 41;  // rows of 201 bytes and 3 of padding

// Smooth ramps with noise, so that errors both grow and change sign.
std::unique_ptr<TDeviceIndependentBitmap> randomPicture() {
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, kWidth, kHeight);
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> noise(-40, 40);
    const auto channel = [&](int ramp) {
        return std::uint8_t(std::clamp(ramp + noise(random), 0, 255));
    };
    auto writer = dib->GetWriter();
    int y = 0;
    do {
        for (int x = 0; writer->SetNextPixel(channel(x * 4), channel(y * 6), channel(255 - x * 2));
             ++x) {
        }
        ++y;
    } while (writer->NextRow());
    return dib;
}

// The same colours as a 32-bit bitmap whose masks put red lowest, blue next
// and green in the top byte.
std::unique_ptr<TDeviceIndependentBitmap> asBitFields32(TDeviceIndependentBitmap& picture) {
    BmpLayout layout;
    layout.width = picture.GetWidth();
    layout.height = picture.GetHeight();
    layout.bits = 32;
    layout.compression = 3;
    layout.masks = {0x000000FF, 0xFF000000, 0x00FF0000};
    const int stride = (picture.GetWidth() * 3 + 3) & ~3;
    for (int row = 0; row < picture.GetHeight(); ++row) {
        const std::uint8_t* bgr = picture.GetBits() + row * stride;
        for (int x = 0; x < picture.GetWidth(); ++x, bgr += 3) {
            layout.pixels.append(char(bgr[2]))
                .append(char(0x5A))
                .append(char(bgr[0]))
                .append(char(bgr[1]));
        }
    }
    return loadBmp(buildBmp(layout));
}

// Every row of `reader` mapped through a new writer of an 8-bit bitmap whose
// bytes start as 0xEE, with `clip` (when valid) on reader and writer; the
// bitmap's pixel bytes, padding included.
QByteArray mapRows(TDIBReader& reader, TLogicalPalette& palette, TDithererClass ditherer,
                   const QRect& clip = {}) {
    TDeviceIndependentBitmap target(TDIBFormat::dt8bit, kWidth, kHeight);
    std::memset(target.GetBits(), 0xEE, std::size_t(target.GetSize()));
    auto writer = target.GetWriter();
    auto& mapped = static_cast<TDIBMappedWriter&>(*writer);
    if (clip.isValid()) {
        reader.SetClipRect(clip);
        mapped.SetClipRect(clip);  // before the ditherer: it is sized for the clip
    }
    reader.Reset(0, 1);
    mapped.SetPalette(&palette);
    mapped.SetDitherer(ditherer);
    while (!reader.EndOfScan()) {
        mapped.SetRowFrom(&reader);
        reader.NextRow();
        mapped.NextRow();
    }
    return QByteArray(reinterpret_cast<const char*>(target.GetBits()), target.GetSize());
}

class DithererRows : public testing::TestWithParam<TDithererClass> {
protected:
    std::unique_ptr<TDeviceIndependentBitmap> picture_ = randomPicture();
    TQuantizedPalette palette_{picture_.get(), 24};
    PlainReader24 plain_{picture_.get()};
};

}  // namespace

TEST_P(DithererRows, RawRowsMatchPixelByPixel) {
    const QByteArray expected = mapRows(plain_, palette_, GetParam());
    auto reader = picture_->GetReader();
    ASSERT_NE(dynamic_cast<TDIB24Reader*>(reader.get()), nullptr);
    EXPECT_EQ(mapRows(*reader, palette_, GetParam()), expected);
}

TEST_P(DithererRows, ClippedRowsStayInsideTheClip) {
    // Odd edges on both sides: backwards rows start at the clip's right edge.
    const QRect clip(QPoint(5, 3), QPoint(60, 37));
    const QByteArray expected = mapRows(plain_, palette_, GetParam(), clip);
    auto reader = picture_->GetReader();
    const QByteArray actual = mapRows(*reader, palette_, GetParam(), clip);
    EXPECT_EQ(actual, expected);
    const int stride = (kWidth + 3) & ~3;
    EXPECT_EQ(expected.count(char(0xEE)), stride * kHeight - clip.width() * clip.height());
}

TEST_P(DithererRows, MaskedThirtyTwoBitRowsMatch) {
    const QByteArray expected = mapRows(plain_, palette_, GetParam());
    auto masked = asBitFields32(*picture_);
    auto reader = masked->GetReader();
    ASSERT_NE(dynamic_cast<TDIB32Reader*>(reader.get()), nullptr);
    EXPECT_EQ(mapRows(*reader, palette_, GetParam()), expected);

    TDeviceIndependentBitmap plain32(picture_.get(), TDIBFormat::dt32bit, nullptr, nullptr);
    auto plainReader = plain32.GetReader();
    EXPECT_EQ(mapRows(*plainReader, palette_, GetParam()), expected);
}

TEST_P(DithererRows, RowEndsWithBothIteratorsAtItsEnd) {
    TDeviceIndependentBitmap target(TDIBFormat::dt8bit, kWidth, kHeight);
    auto writer = target.GetWriter();
    auto& mapped = static_cast<TDIBMappedWriter&>(*writer);
    mapped.SetPalette(&palette_);
    std::unique_ptr<TDitherer> ditherer = GetParam()(&mapped, mapped.GetPalette());
    auto reader = picture_->GetReader();
    for (int row = 0; row < 2; ++row) {  // the ditherer may change direction
        ditherer->SetRowIndicies(reader.get());
        std::uint8_t red, green, blue;
        EXPECT_FALSE(reader->GetNextPixel(red, green, blue)) << row;
        EXPECT_FALSE(mapped.SetNextIndex(0)) << row;
        reader->NextRow();
        mapped.NextRow();
    }
}

INSTANTIATE_TEST_SUITE_P(BothDitherers, DithererRows,
                         testing::Values(ditherClassOf<TNoDither>(), ditherClassOf<TFSDitherer>()),
                         [](const testing::TestParamInfo<TDithererClass>& info) {
                             return info.index == 0 ? "NoDither" : "FloydSteinberg";
                         });

TEST(DithererRowsDirect, NarrowerWriterTakesOnlyWhatFits) {
    // Handed a row directly, a ditherer may meet a writer with less room than
    // the reader has pixels: the writer keeps its clip, the rest is dropped.
    auto picture = randomPicture();
    TQuantizedPalette palette(picture.get(), 24);
    const auto mapNarrow = [&](TDIBReader& reader) {
        TDeviceIndependentBitmap target(TDIBFormat::dt8bit, kWidth, kHeight);
        std::memset(target.GetBits(), 0xEE, std::size_t(target.GetSize()));
        auto writer = target.GetWriter();
        auto& mapped = static_cast<TDIBMappedWriter&>(*writer);
        mapped.SetClipRect(QRect(QPoint(10, 0), QPoint(49, kHeight - 1)));
        mapped.SetPalette(&palette);
        mapped.GetPalette()->InitCache();
        TNoDither ditherer(&mapped, mapped.GetPalette());
        do {
            ditherer.SetRowIndicies(&reader);
            mapped.NextRow();
        } while (reader.NextRow());
        return QByteArray(reinterpret_cast<const char*>(target.GetBits()), target.GetSize());
    };
    PlainReader24 plain(picture.get());
    auto reader = picture->GetReader();
    const QByteArray expected = mapNarrow(plain);
    EXPECT_EQ(mapNarrow(*reader), expected);
    EXPECT_EQ(expected.count(char(0xEE)), (kWidth + 1 - 40) * kHeight);
}
