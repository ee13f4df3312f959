// Files as other programs write them, read as browsers and other readers
// show them; and what our own encoder makes of grey and of few colours.
#include <gtest/gtest.h>

#include <set>

#include "gif/Zvqanmtn.h"
#include "gif/Zvqgif.h"
#include "hostile_gifs.h"
#include "imaging/Zvqgraph.h"
#include "test_support.h"
#include "toolkit/bitmap.h"
#include "toolkit/streams.h"

namespace {

struct Reading {
    std::vector<std::unique_ptr<TZVQExtGraphic>> graphics;
    std::vector<int> delays;
    std::vector<int> warnings;
};

Reading readAll(const QByteArray& gif, bool extensionsIn87a) {
    TMemoryStream in(gif);
    TZVQ_GIFDecompressor decoder;
    decoder.setReadsExtensionsIn87a(extensionsIn87a);
    Reading reading;
    decoder.OnWarning = [&](TObject*, int code, const QString&) { reading.warnings.push_back(code); };
    TGIFGraphicControlInfo info;
    while (std::unique_ptr<TZVQExtGraphic> graphic = decoder.ReadGIFGraphicFromStream(&in, info)) {
        reading.graphics.push_back(std::move(graphic));
        reading.delays.push_back(info.DelayTime);
    }
    return reading;
}

std::unique_ptr<TDeviceIndependentBitmap> flatPicture(QSize size, QRgb colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    TBitmap bitmap;
    bitmap.SetImage(image);
    return std::make_unique<TDeviceIndependentBitmap>(&bitmap, TDIBFormat::dt24bit);
}

// The distinct indices of a GIF's first image.
std::set<int> indicesOf(const QByteArray& gif) {
    Reading reading = readAll(gif, false);
    auto* dib = static_cast<TDeviceIndependentBitmap*>(reading.graphics.at(0).get());
    std::set<int> indices;
    for (int y = 0; y < std::abs(dib->GetHeight()); ++y) {
        for (int x = 0; x < dib->GetWidth(); ++x) indices.insert(dib->pixelIndex(x, y));
    }
    return indices;
}

}  // namespace

TEST(ForeignFiles, ControlBlocksUnderAGif87aHeaderAreReadWhenAskedFor) {
    expectThrowWithMessage<EGIFError>([] { readAll(gif87aWithControlBlocks(), false); },
                                      QStringLiteral("Illegal block (Graphic Control) found in a GIF 87a data stream"));
    const Reading reading = readAll(gif87aWithControlBlocks(), true);
    EXPECT_EQ(reading.delays, (std::vector<int>{0, 0, 200, 270, 90, 120}));
    EXPECT_EQ(reading.warnings, std::vector<int>(4, TZVQ_CustomGifDecompressor::kWarningExtensionIn87a));
    // A list whose decoder takes them loads every frame.
    TAnimatedImageList list;
    list.decoder()->setReadsExtensionsIn87a(true);
    TMemoryStream in(gif87aWithControlBlocks());
    list.LoadFromStream(&in);
    EXPECT_EQ(list.GetCount(), 6);
    EXPECT_EQ(list.GetDelayTime(5), 120);
}

TEST(ForeignFiles, TransparencyGoesWithTheOneGraphicAfterItsControlBlock) {
    const Reading reading = readAll(transparentThenPlainGif(), false);
    ASSERT_EQ(reading.graphics.size(), 2u);
    EXPECT_TRUE(reading.graphics[0]->GetTransparent());
    EXPECT_FALSE(reading.graphics[1]->GetTransparent());

    // Every file our encoder writes reads back as it was meant: a control
    // block before every image of a GIF89a stream.
    TAnimatedImageList list;
    list.SetWidth(3);
    list.SetHeight(2);
    const bool transparent[] = {true, false, false, true};
    for (bool seeThrough : transparent) {
        std::unique_ptr<TDeviceIndependentBitmap> frame = flatPicture(QSize(3, 2), qRgb(9, 90, 200));
        frame->SetTransparent(seeThrough);
        frame->SetTransparentColour(RGB(9, 90, 200));
        list.Add(std::move(frame));
    }
    TMemoryStream saved;
    list.SaveToStream(&saved);
    const Reading again = readAll(saved.bytes(), false);
    ASSERT_EQ(again.graphics.size(), 4u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(again.graphics[std::size_t(i)]->GetTransparent(), transparent[i]) << i;
}

TEST(ForeignFiles, AFlatGreyStaysFlatWhenWrittenGrey) {
    const std::unique_ptr<TDeviceIndependentBitmap> grey = flatPicture(QSize(16, 8), qRgb(101, 101, 101));
    const auto encoded = [&](bool interlace, bool dither) {
        TMemoryStream out;
        TZVQ_GIFCompressor encoder;
        encoder.SetGrayscale(true);
        encoder.SetInterlace(interlace);
        encoder.SetFSDither(dither);
        encoder.SaveDIBToStream(grey.get(), &out);
        encoder.CloseImageStream();
        return out.bytes();
    };
    // Row by row the grey palette is exact: no dithering, one grey level.
    EXPECT_EQ(indicesOf(encoded(false, true)).size(), 1u);
    EXPECT_EQ(indicesOf(encoded(false, false)).size(), 1u);
    // Interlaced, a dithered picture is converted whole first, dithered.
    EXPECT_GT(indicesOf(encoded(true, true)).size(), 1u);
}
