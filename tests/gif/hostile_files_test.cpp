// Files that declare more than their bytes can hold: refused before
// anything is allocated for them, or read at the cost of what they hold.
#include <gtest/gtest.h>

#include "animation_fixture.h"
#include "gif/Zvqanmtn.h"
#include "gif/Zvqgif.h"
#include "hostile_gifs.h"
#include "imaging/Zvqgraph.h"
#include "test_support.h"
#include "toolkit/streams.h"

namespace {

const QString kOverLimit = QStringLiteral("Image of %1 x %2 pixels is over the limit of 67108864 pixels");

// Every graphic of the file through a decoder; the images' sizes.
std::vector<QSize> decodeAll(const QByteArray& gif, bool globalFrame, std::int64_t limit = kDefaultPixelLimit) {
    TMemoryStream in(gif);
    TZVQ_GIFDecompressor decoder;
    decoder.SetUseGlobalFrame(globalFrame);
    decoder.setPixelLimit(limit);
    std::vector<QSize> sizes;
    TGIFGraphicControlInfo info;
    while (std::unique_ptr<TZVQExtGraphic> graphic = decoder.ReadGIFGraphicFromStream(&in, info)) {
        sizes.emplace_back(graphic->GetWidth(), graphic->GetHeight());
    }
    return sizes;
}

void expectRefused(const QByteArray& gif, bool globalFrame, const QString& message) {
    expectThrowWithMessage<EGIFError>([&] { decodeAll(gif, globalFrame); }, message);
}

QByteArray twoSmallFrames() {
    return gifHeader(4, 4, 1) + imageDescriptor(0, 0, 4, 4) + literalImageData(std::vector<int>(16, 1), 2) +
           imageDescriptor(1, 1, 2, 2) + literalImageData({0, 0, 0, 0}, 2) + ";";
}

}  // namespace

TEST(HostileFiles, DeclaredSizesOverTheLimitAreRefusedBeforeAllocating) {
    // The screen matters only where the decoder draws on it.
    EXPECT_EQ(decodeAll(hugeScreenGif(), false), (std::vector<QSize>{QSize(1, 1)}));
    expectRefused(hugeScreenGif(), true, kOverLimit.arg(65535).arg(65535));
    expectRefused(shortDataGif(65535, 65535), false, kOverLimit.arg(65535).arg(65535));
    expectRefused(manyFramesOnScreenGif(20000, 200), true, kOverLimit.arg(20000).arg(20000));
    EXPECT_EQ(decodeAll(manyFramesOnScreenGif(20000, 200), false).size(), 200u);
    // A text grid is drawn at its size by whoever shows it.
    expectRefused(plainTextGif(65535, 65535), false, kOverLimit.arg(65535).arg(65535));
    // The limit is the caller's to set.
    expectThrowWithMessage<EGIFError>([&] { decodeAll(twoSmallFrames(), false, 15); },
                                      QStringLiteral("Image of 4 x 4 pixels is over the limit of 15 pixels"));
    EXPECT_EQ(decodeAll(twoSmallFrames(), false, 16).size(), 2u);
}

TEST(HostileFiles, AnImageIsRefusedWhenItsDataCannotHoldItsRows) {
    // 49 million pixels, under the limit, in three bytes.
    expectRefused(shortDataGif(7000, 7000), false,
                  QStringLiteral("Image data too short for an image of 7000 x 7000 pixels"));
    // Small images still fail where their data ends, as they always did.
    expectThrowWithMessage<ELZWError>([&] { decodeAll(shortDataGif(100, 100), false); },
                                      QStringLiteral("Unexpected end of input stream"));
    // On the screen's frame only the rows shown must come from the data.
    const QByteArray below = gifHeader(1100, 1100, 1) + imageDescriptor(0, 1099, 1100, 1100) +
                             literalImageData(std::vector<int>(1100, 1), 2) + ";";
    EXPECT_EQ(decodeAll(below, true), (std::vector<QSize>{QSize(1100, 1100)}));
}

TEST(HostileFiles, TheDensestCodeStreamStaysWithinTheBound) {
    // 36 million pixels: under Pillow's limit and the decoder's, in about 16 kB.
    const QByteArray gif = oneColourPictureGif(6000);
    EXPECT_LT(gif.size(), 20000);
    TMemoryStream in(gif);
    TZVQ_GIFDecompressor decoder;
    TGIFGraphicControlInfo info;
    std::unique_ptr<TZVQExtGraphic> graphic = decoder.ReadGIFGraphicFromStream(&in, info);
    auto* dib = dynamic_cast<TDeviceIndependentBitmap*>(graphic.get());
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(QSize(dib->GetWidth(), std::abs(dib->GetHeight())), QSize(6000, 6000));
    EXPECT_EQ(dib->pixelIndex(5999, 5999), 0);
    // The bound is sound for the densest stream there is, and close to it.
    const std::int64_t data = densestImageData(36'000'000).size() - 1;
    const std::int64_t bound = TZVQ_LZWCommon::maxPixelsIn(data);
    EXPECT_GE(bound, 36'000'000);
    EXPECT_LT(bound, std::int64_t(36'000'000) * 102 / 100);
    EXPECT_EQ(TZVQ_LZWCommon::maxPixelsIn(0), 0);
    // Two 3-bit codes and part of a third: 1 + 2 + 3 pixels.
    EXPECT_EQ(TZVQ_LZWCommon::maxPixelsIn(1), 6);
}

TEST(HostileFiles, ImagesCutToTheScreenCostWhatShows) {
    // 2000 x 600 at (1000, 0) on a 1100 x 500 screen: 100 x 500 of it shows.
    const QByteArray gif = gifHeader(1100, 500, 1) + imageDescriptor(1000, 0, 2000, 600) +
                           densestImageData(2000 * 600) + ";";
    TMemoryStream in(gif);
    TZVQ_GIFDecompressor decoder;
    decoder.setClipToScreen(true);
    TGIFGraphicControlInfo info;
    std::unique_ptr<TZVQExtGraphic> graphic = decoder.ReadGIFGraphicFromStream(&in, info);
    EXPECT_EQ(QSize(graphic->GetWidth(), graphic->GetHeight()), QSize(100, 500));
    EXPECT_EQ(info.Origin, QPoint(1000, 0));
    EXPECT_EQ(static_cast<TDeviceIndependentBitmap*>(graphic.get())->pixelIndex(99, 499), 0);
    EXPECT_EQ(decodeAll(gif, false), (std::vector<QSize>{QSize(2000, 600)}));
}

TEST(HostileFiles, FramesOnTheScreenAreHeldToTheFramesLimitTogether) {
    // 1 x 1 images on a 40 x 25 screen: four screens of 1000 pixels are
    // within four times a limit of 1000, five are not.
    const auto frames = [](int count) {
        QByteArray gif = gifHeader(40, 25, 1);
        for (int i = 0; i < count; ++i) gif += imageDescriptor(i, 0, 1, 1) + literalImageData({1}, 2);
        return gif + ";";
    };
    EXPECT_EQ(decodeAll(frames(4), true, 1000).size(), 4u);
    expectThrowWithMessage<EGIFError>([&] { decodeAll(frames(5), true, 1000); },
                                      QStringLiteral("Frames of 5000 pixels in all are over the limit of 4000 pixels"));
    // Each image on its own bitmap costs its own size only.
    EXPECT_EQ(decodeAll(frames(5), false, 1000).size(), 5u);
}

TEST(HostileFiles, SkippingAGraphicReadsItsBlocksAlone) {
    TMemoryStream in(shortDataGif(65535, 65535));
    TZVQ_GIFDecompressor decoder;
    TGIFGraphicOutline outline;
    TGIFGraphicControlInfo info;
    ASSERT_TRUE(decoder.skipGIFGraphic(&in, outline, info));
    EXPECT_EQ(outline.rect, QRect(0, 0, 65535, 65535));
    EXPECT_EQ(outline.dataBytes, 3);
    EXPECT_FALSE(decoder.skipGIFGraphic(&in, outline, info));
}

TEST(HostileFiles, TheListRefusesWithoutLettingGoOfItsFrames) {
    TAnimatedImageList list;
    TMemoryStream good(twoSmallFrames());
    list.LoadFromStream(&good);
    ASSERT_EQ(list.GetCount(), 2);
    const auto refused = [&](const QByteArray& gif, const QString& message) {
        TMemoryStream in(gif);
        expectThrowWithMessage<EGIFError>([&] { list.LoadFromStream(&in); }, message);
        EXPECT_EQ(list.GetCount(), 2);
        EXPECT_EQ(list.GetWidth(), 4);
        EXPECT_EQ(list.GetState(), TAnimatedImageState::isLoaded);
        EXPECT_EQ(in.Position(), 0);
    };
    refused(hugeScreenGif(), kOverLimit.arg(65535).arg(65535));
    refused(shortDataGif(65535, 65535), QStringLiteral("Image of 65535 x 65535 pixels is over the limit of 67108864 pixels"));
    refused(shortDataGif(7000, 7000), QStringLiteral("Image data too short for an image of 7000 x 7000 pixels"));
    // Frames under the limit each, over it together.
    list.decoder()->setPixelLimit(1000);
    QByteArray five = gifHeader(30, 30, 1);
    for (int i = 0; i < 5; ++i) five += imageDescriptor(0, 0, 30, 30) + literalImageData(std::vector<int>(900, 1), 2);
    refused(five + ";", QStringLiteral("Frames of 4500 pixels in all are over the limit of 4000 pixels"));
    // A stream that is merely damaged still loads what comes before the damage.
    list.decoder()->setPixelLimit(kDefaultPixelLimit);
    QByteArray cut = twoSmallFrames();
    cut.chop(6);
    TMemoryStream damaged(cut);
    EXPECT_THROW(list.LoadFromStream(&damaged), Exception);
    EXPECT_EQ(list.GetCount(), 1);
}

TEST(HostileFiles, TheControlCachesOnlyWhatLiesOnTheScreen) {
    AnimationWindow w;
    TMemoryStream good(twoSmallFrames());
    w.control->GetImages()->LoadFromStream(&good);
    ASSERT_EQ(w.control->frameCache()->GetCount(), 2);
    TMemoryStream huge(hugeScreenGif());
    EXPECT_THROW(w.control->GetImages()->LoadFromStream(&huge), EGIFError);
    EXPECT_EQ(w.control->frameCache()->GetCount(), 2);

    // A frame far larger than its screen is cached as far as it shows.
    const QByteArray wide = gifHeader(8, 4, 1) + imageDescriptor(6, 2, 1000, 30) +
                            literalImageData(std::vector<int>(30000, 1), 2) + ";";
    TMemoryStream in(wide);
    w.control->GetImages()->LoadFromStream(&in);
    EXPECT_EQ(w.control->frameCache()->GetItems(0)->Image().size(), QSize(2, 2));
    EXPECT_EQ(w.control->frameCache()->GetOrigin(0), QPoint(6, 2));
    EXPECT_EQ(w.control->maskCache()->GetItems(0)->Image().size(), QSize(2, 2));

    // A list made by a program is held to the same limit when assigned.
    TAnimatedImageList made;
    made.SetWidth(65535);
    made.SetHeight(65535);
    made.Add(solidFrame(QSize(1, 1), Qt::red));
    EXPECT_THROW(w.control->SetImages(&made), EGIFError);
    EXPECT_EQ(w.control->frameCache()->GetCount(), 0);
}
