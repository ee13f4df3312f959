#include <gtest/gtest.h>

#include <map>

#include "imaging/Zvqgraph.h"
#include "test_support.h"

namespace {

std::unique_ptr<TDeviceIndependentBitmap> uniform(int width, int height, std::uint8_t r, std::uint8_t g,
                                                  std::uint8_t b) {
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, width, height);
    dib->GetWriter()->FillColour(r, g, b);
    return dib;
}

std::unique_ptr<TLogicalPalette> blackAndWhite() {
    TColorTable table{qRgb(0, 0, 0), qRgb(255, 255, 255)};
    return std::make_unique<TLogicalPalette>(&table);
}

std::map<int, int> indexCounts(TDeviceIndependentBitmap& dib) {
    std::map<int, int> counts;
    auto reader = dib.GetReader();
    auto& mapped = dynamic_cast<TDIBMappedReader&>(*reader);
    std::uint8_t index;
    do {
        while (mapped.GetNextColourIndex(index)) ++counts[index];
    } while (reader->NextRow());
    return counts;
}

// Records the direction of each row as the ditherer sets it up.
class DirectionProbe : public TDitherer {
public:
    using TDitherer::TDitherer;
    void SetRowIndicies(TDIBReader* reader) override {
        inner.SetRowIndicies(reader);
        directions.push_back(reader->GetBackwards());
        writerBackwards.push_back(writer_->GetBackwards());
    }
    TFSDitherer inner{writer_, palette_};
    static inline std::vector<bool> directions;
    static inline std::vector<bool> writerBackwards;
};

}  // namespace

TEST(Ditherers, ErrorLimits) {
    TFSErrorLimitArray limits;
    TFSDitherer::InitErrorLimits(limits);
    const auto limit = [&](int n) { return limits[std::size_t(n + 255)]; };
    EXPECT_EQ(limit(15), 15);
    EXPECT_EQ(limit(16), 16);
    EXPECT_EQ(limit(17), 17);
    EXPECT_EQ(limit(18), 17);
    EXPECT_EQ(limit(47), 32);
    EXPECT_EQ(limit(48), 32);
    EXPECT_EQ(limit(200), 32);
    EXPECT_EQ(limit(-20), -18);
    EXPECT_EQ(limit(0), 0);
    EXPECT_EQ(limit(-255), -32);
}

TEST(Ditherers, ExactColourStaysPut) {
    auto source = uniform(9, 7, 255, 255, 255);
    auto palette = blackAndWhite();
    TDeviceIndependentBitmap target(source.get(), TDIBFormat::dt8bit, palette.get(), ditherClassOf<TFSDitherer>());
    EXPECT_EQ(indexCounts(target), (std::map<int, int>{{1, 63}}));
}

TEST(Ditherers, QuantizedColoursKeepTheirOwnEntries) {
    // Two neighbouring cells whose entries are equally far from the lower
    // cell's centre: only the quantizer's preset answer keeps them apart.
    auto source = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, 8, 8);
    auto writer = source->GetWriter();
    int n = 0;
    do {
        while (writer->SetNextPixel(n % 3 ? 200 : 208, 100, 48)) ++n;
    } while (writer->NextRow());
    TQuantizedPalette palette(source.get(), 256);
    ASSERT_TRUE(palette.GetIsExact());
    TDeviceIndependentBitmap target(source.get(), TDIBFormat::dt8bit, &palette, ditherClassOf<TFSDitherer>());
    EXPECT_EQ(target.toImage(), source->toImage());
}

TEST(Ditherers, MidGreyBecomesAMixture) {
    auto source = uniform(32, 32, 128, 128, 128);
    auto palette = blackAndWhite();
    TDeviceIndependentBitmap dithered(source.get(), TDIBFormat::dtMonochrome, palette.get(),
                                      ditherClassOf<TFSDitherer>());
    const auto counts = indexCounts(dithered);
    EXPECT_NEAR(counts.at(0), 512, 40);
    EXPECT_NEAR(counts.at(1), 512, 40);

    TDeviceIndependentBitmap plain(source.get(), TDIBFormat::dtMonochrome, palette.get(),
                                   ditherClassOf<TNoDither>());
    EXPECT_EQ(indexCounts(plain).size(), 1u);
}

TEST(Ditherers, SerpentineStartsRightToLeft) {
    auto source = uniform(5, 3, 90, 90, 90);
    TDeviceIndependentBitmap target(TDIBFormat::dt8bit, 5, 3);
    auto writer = target.GetWriter();
    auto& mapped = dynamic_cast<TDIBMappedWriter&>(*writer);
    DirectionProbe::directions.clear();
    DirectionProbe::writerBackwards.clear();
    mapped.SetDitherer(ditherClassOf<DirectionProbe>());
    mapped.CopyDIB(source.get());
    EXPECT_EQ(DirectionProbe::directions, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(DirectionProbe::writerBackwards, (std::vector<bool>{true, false, true}));
}

TEST(Ditherers, OnePixelWideImage) {
    auto source = uniform(1, 20, 100, 100, 100);
    auto palette = blackAndWhite();
    TDeviceIndependentBitmap target(source.get(), TDIBFormat::dt8bit, palette.get(),
                                    ditherClassOf<TFSDitherer>());
    const auto counts = indexCounts(target);
    EXPECT_EQ(counts.at(0) + counts.at(1), 20);
    EXPECT_GT(counts.at(1), 0);
}
