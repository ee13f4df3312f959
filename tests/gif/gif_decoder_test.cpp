#include <gtest/gtest.h>

#include "gif/Zvqgif.h"
#include "gif_bytes.h"
#include "imaging/Zvqgraph.h"
#include "test_support.h"

namespace {

// The indices of a paletted bitmap, rows top-down.
std::vector<std::vector<int>> indicesOf(TDeviceIndependentBitmap* dib) {
    std::vector<std::vector<int>> rows;
    auto reader = dib->GetReader();
    auto* mapped = static_cast<TDIBMappedReader*>(reader.get());
    do {
        std::vector<int>& row = rows.emplace_back();
        std::uint8_t index;
        while (mapped->GetNextColourIndex(index)) row.push_back(index);
    } while (reader->NextRow());
    return rows;
}

struct Decoded {
    std::vector<std::unique_ptr<TZVQExtGraphic>> graphics;
    std::vector<TGIFGraphicControlInfo> infos;
    std::vector<std::pair<int, QString>> warnings;
    int loopCount = 0;
};

Decoded decodeAll(const QByteArray& bytes, TZVQ_GIFDecompressor& decoder) {
    Decoded out;
    decoder.OnWarning = [&](TObject*, int code, const QString& text) { out.warnings.emplace_back(code, text); };
    TMemoryStream in(bytes);
    for (;;) {
        TGIFGraphicControlInfo info;
        std::unique_ptr<TZVQExtGraphic> graphic = decoder.ReadGIFGraphicFromStream(&in, info);
        if (!graphic) break;
        out.graphics.push_back(std::move(graphic));
        out.infos.push_back(info);
    }
    out.loopCount = decoder.GetLoopCount();
    decoder.CloseImageStream();
    return out;
}

Decoded decodeAll(const QByteArray& bytes) {
    TZVQ_GIFDecompressor decoder;
    return decodeAll(bytes, decoder);
}

TDeviceIndependentBitmap* dibAt(Decoded& decoded, int i) {
    return dynamic_cast<TDeviceIndependentBitmap*>(decoded.graphics.at(std::size_t(i)).get());
}

// A file of one image of the given indices on a screen of its size.
QByteArray oneImage(int width, int height, const std::vector<int>& indices, int tableBits = 2,
                    const QByteArray& before = {}) {
    return gifHeader(width, height, tableBits) + before + imageDescriptor(0, 0, width, height) +
           literalImageData(indices, std::max(tableBits, 2)) + ";";
}

}  // namespace

TEST(GifDecoder, SignaturesAndVersions) {
    QByteArray odd = oneImage(1, 1, {1});
    odd.replace(3, 3, "88a");
    TZVQ_GIFDecompressor decoder;
    Decoded decoded = decodeAll(odd, decoder);
    ASSERT_EQ(decoded.graphics.size(), 1u);
    EXPECT_EQ(decoder.GetGIFType(), TGIFType::gt89a);
    EXPECT_EQ(decoded.warnings, (std::vector<std::pair<int, QString>>{{4096, QStringLiteral("Unknown GIF type")}}));

    QByteArray notGif = oneImage(1, 1, {1});
    notGif[0] = 'J';
    expectThrowWithMessage<EGIFError>([&] { decodeAll(notGif); }, QStringLiteral("Not a GIF Image stream"));

    const QByteArray commentIn87a =
        gifHeader(1, 1, 1, "GIF87a") + QByteArray("\x21\xFE\x02hi\x00", 6) + imageDescriptor(0, 0, 1, 1) +
        literalImageData({0}, 2) + ";";
    expectThrowWithMessage<EGIFError>([&] { decodeAll(commentIn87a); },
                                      QStringLiteral("Illegal block (Comment) found in a GIF 87a data stream"));
}

TEST(GifDecoder, FormatFollowsTheColourCountAndScreenFields) {
    TZVQ_GIFDecompressor decoder;
    Decoded two = decodeAll(gifHeader(2, 1, 1, "GIF89a", 7, 49) + imageDescriptor(0, 0, 2, 1) +
                                literalImageData({0, 1}, 2) + ";",
                            decoder);
    EXPECT_EQ(dibAt(two, 0)->GetDIBType(), TDIBFormat::dt4bit);
    EXPECT_DOUBLE_EQ(decoder.GetAspectRatio(), 1.0);
    EXPECT_EQ(decoder.GetBackgroundColour(), clWhite);  // index 7 is beyond the table

    Decoded many = decodeAll(gifHeader(1, 1, 5, "GIF89a", 3, 113) + imageDescriptor(0, 0, 1, 1) +
                                 literalImageData({31}, 5) + ";",
                             decoder);
    EXPECT_EQ(dibAt(many, 0)->GetDIBType(), TDIBFormat::dt8bit);
    EXPECT_DOUBLE_EQ(decoder.GetAspectRatio(), 2.0);
    EXPECT_EQ(decoder.GetBackgroundColour(), RGB(3, 6, 252));
    EXPECT_EQ(dibAt(many, 0)->GetColourTable()[31].rgbRed, 31);

    // No table anywhere: black for index 0, white for the rest.
    Decoded bare = decodeAll(oneImage(3, 1, {0, 1, 2}, 0));
    TDeviceIndependentBitmap* dib = dibAt(bare, 0);
    EXPECT_EQ(dib->GetDIBType(), TDIBFormat::dtMonochrome);
    EXPECT_EQ(indicesOf(dib), (std::vector<std::vector<int>>{{0, 1, 1}}));
    EXPECT_EQ(dib->GetColourTable()[1].rgbGreen, 255);
}

TEST(GifDecoder, InterlacedRowsArriveInFourPasses) {
    const std::vector<int> streamOrder = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
    const QByteArray bytes = gifHeader(1, 10, 4) + imageDescriptor(0, 0, 1, 10, 0, true) +
                             literalImageData(streamOrder, 4) + ";";
    Decoded decoded = decodeAll(bytes);
    std::vector<std::vector<int>> expected;
    for (int row = 0; row < 10; ++row) expected.push_back({row});
    EXPECT_EQ(indicesOf(dibAt(decoded, 0)), expected);
}

TEST(GifDecoder, LoopingAndOtherApplicationExtensions) {
    const auto netscape = [](const char* data) {
        return QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03", 15) + QByteArray(data, 3) + QByteArray(1, 0);
    };
    EXPECT_EQ(decodeAll(oneImage(1, 1, {0}, 2, netscape("\x01\x00\x00"))).loopCount, 0);
    EXPECT_EQ(decodeAll(oneImage(1, 1, {0}, 2, netscape("\x01\x05\x01"))).loopCount, 261);

    TZVQ_GIFDecompressor decoder;
    QByteArray seen;
    int calls = 0;
    decoder.OnAppExtension = [&](TObject*, const TAppID& id, const TAuthCode& code, const void* data, int count) {
        ++calls;
        seen = id + "/" + code + "/" + QByteArray(static_cast<const char*>(data), count);
    };
    const QByteArray other = QByteArray("\x21\xFF\x0BOTHERAPP1.0\x02", 15) + "ab" + "\x03" + "cde" + QByteArray(1, 0);
    decodeAll(oneImage(1, 1, {0}, 2, netscape("\x01\x05\x01") + other), decoder);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, QByteArray("OTHERAPP/1.0/abcde"));
}

TEST(GifDecoder, GraphicControlAppliesToTheNextImageAlone) {
    const QByteArray bytes = gifHeader(4, 4, 2) + graphicControl(2, true, true, 7, 3) +
                             imageDescriptor(1, 2, 1, 1) + literalImageData({3}, 2) +
                             imageDescriptor(3, 1, 1, 1) + literalImageData({0}, 2) + ";";
    Decoded decoded = decodeAll(bytes);
    ASSERT_EQ(decoded.graphics.size(), 2u);
    const TGIFGraphicControlInfo first = decoded.infos[0];
    EXPECT_EQ(first.Origin, QPoint(1, 2));
    EXPECT_EQ(first.DisposalMethod, TDisposalMethods::dmRestoreBackground);
    EXPECT_TRUE(first.UserInput);
    EXPECT_EQ(first.DelayTime, 70);
    EXPECT_TRUE(dibAt(decoded, 0)->GetTransparent());
    EXPECT_EQ(dibAt(decoded, 0)->GetTransparentColour(), RGB(3, 6, 252));

    const TGIFGraphicControlInfo second = decoded.infos[1];
    EXPECT_EQ(second.Origin, QPoint(3, 1));
    EXPECT_EQ(second.DisposalMethod, TDisposalMethods::dmNone);
    EXPECT_EQ(second.DelayTime, 0);
    // Its transparency too: the second image has none of its own.
    EXPECT_FALSE(dibAt(decoded, 1)->GetTransparent());

    QByteArray badSize = graphicControl(0, false, false, 0, 0);
    badSize[2] = 5;
    expectThrowWithMessage<EGIFError>([&] { decodeAll(oneImage(1, 1, {0}, 2, badSize)); },
                                      QStringLiteral("Illegal Graphic control block size"));
    QByteArray noTerminator = graphicControl(0, false, false, 0, 0);
    noTerminator[7] = 1;
    expectThrowWithMessage<EGIFError>([&] { decodeAll(oneImage(1, 1, {0}, 2, noTerminator)); },
                                      QStringLiteral("Block Terminator Expected but none found"));
}

TEST(GifDecoder, GlobalFrameFillsTheScreenAndClipsTheImage) {
    std::vector<int> pixels(100, 1);
    TZVQ_GIFDecompressor decoder;
    decoder.SetUseGlobalFrame(true);
    Decoded decoded = decodeAll(gifHeader(20, 20, 2, "GIF89a", 2) + imageDescriptor(5, 5, 10, 10) +
                                    literalImageData(pixels, 2) + ";",
                                decoder);
    const auto rows = indicesOf(dibAt(decoded, 0));
    ASSERT_EQ(rows.size(), 20u);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 5 && x < 15 && y >= 5 && y < 15;
            ASSERT_EQ(rows[std::size_t(y)][std::size_t(x)], inside ? 1 : 2) << x << "," << y;
        }

    // Past the right and bottom edges: each row keeps in step with the data.
    std::vector<int> ramp;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) ramp.push_back((x + y) % 4);
    Decoded clipped = decodeAll(gifHeader(4, 3, 2, "GIF89a", 0) + imageDescriptor(2, 1, 4, 4, 0, true) +
                                    literalImageData({0, 1, 2, 3, 2, 3, 0, 1, 1, 2, 3, 0, 3, 0, 1, 2}, 2) + ";",
                                decoder);
    // Interlaced stream order is rows 0, 2, 1, 3; rows 0 and 1 are on screen.
    EXPECT_EQ(indicesOf(dibAt(clipped, 0)),
              (std::vector<std::vector<int>>{{0, 0, 0, 0}, {0, 0, 0, 1}, {0, 0, 1, 2}}));
}

TEST(GifDecoder, DamagedImageData) {
    expectThrowWithMessage<EGIFError>([] { decodeAll(oneImage(2, 2, {1, 2, 3})); },
                                      QStringLiteral("Unexpected end of image"));
    // A file cut anywhere fails with one of the decoder's errors, or gives
    // what it had before the cut; never anything else.
    const QByteArray whole = oneImage(8, 8, std::vector<int>(64, 3), 2, graphicControl(1, false, true, 5, 2)) +
                             QByteArray();
    for (int cut = 0; cut < whole.size(); ++cut) {
        try {
            decodeAll(whole.left(cut));
        } catch (const EGIFError&) {
        } catch (const ELZWError&) {
        } catch (const EReadError&) {
        }
    }
}

TEST(GifDecoder, MissingTrailerKeepsTheLastImage) {
    QByteArray bytes = oneImage(2, 1, {1, 2});
    bytes.chop(1);
    Decoded decoded = decodeAll(bytes);
    ASSERT_EQ(decoded.graphics.size(), 1u);
    EXPECT_EQ(indicesOf(dibAt(decoded, 0)), (std::vector<std::vector<int>>{{1, 2}}));
}

// Whatever follows a whole image, the image comes out. Bytes that are no
// blocks and run to the end (padding, rubbish) end the stream as a trailer
// would; blocks cut short fail the next read instead of this one.
TEST(GifDecoder, AWholeImageIsKeptWhateverFollowsIt) {
    QByteArray image = oneImage(2, 1, {1, 2});
    image.chop(1);
    for (const QByteArray& after : {QByteArray(3, '\0'), QByteArray("\x55rubbish", 8)}) {
        Decoded decoded = decodeAll(image + after);
        ASSERT_EQ(decoded.graphics.size(), 1u);
        EXPECT_EQ(indicesOf(dibAt(decoded, 0)), (std::vector<std::vector<int>>{{1, 2}}));
        EXPECT_FALSE(decoded.warnings.empty());
    }
    for (const QByteArray& cut : {QByteArray("\x21", 1), QByteArray("\x21\xF9\x04\x01", 4),
                                  QByteArray("\x21\xFE\x05hel", 6)}) {
        TMemoryStream in(image + cut);
        TZVQ_GIFDecompressor decoder;
        TGIFGraphicControlInfo info;
        const std::unique_ptr<TZVQExtGraphic> read = decoder.ReadGIFGraphicFromStream(&in, info);
        ASSERT_NE(read, nullptr) << cut.toHex().constData();
        EXPECT_EQ(indicesOf(dynamic_cast<TDeviceIndependentBitmap*>(read.get())),
                  (std::vector<std::vector<int>>{{1, 2}}));
        EXPECT_FALSE(decoder.GetEOF());
        EXPECT_THROW(decoder.ReadGIFGraphicFromStream(&in, info), Exception) << cut.toHex().constData();
        // Resumed after the image, as a player stepping back does: the
        // fault waits for the read again.
        EXPECT_NO_THROW(decoder.resumeAt(decoder.nextGraphicAt()));
        EXPECT_THROW(decoder.ReadGIFGraphicFromStream(&in, info), Exception) << cut.toHex().constData();

        TMemoryStream again(image + cut);
        TZVQ_GIFDecompressor skipper;
        TGIFGraphicOutline outline;
        EXPECT_TRUE(skipper.skipGIFGraphic(&again, outline, info));
        EXPECT_THROW(skipper.skipGIFGraphic(&again, outline, info), Exception) << cut.toHex().constData();
    }
}

// A screen declared empty grows to hold the first image, as browsers show
// such files, never past what a GIF can declare, unless the image has no
// pixels, its data cannot hold it or the first graphic is text; a screen
// of some size stays as declared.
TEST(GifDecoder, AnEmptyScreenGrowsToHoldTheFirstImage) {
    const QByteArray image = imageDescriptor(1, 2, 4, 2) + literalImageData({0, 1, 2, 3, 3, 2, 1, 0}, 2);
    const QByteArray tooLarge = imageDescriptor(0, 0, 2000, 2000) + literalImageData({1}, 2);
    const QByteArray far = imageDescriptor(65000, 7, 1000, 1) + literalImageData(std::vector<int>(1000, 1), 2);
    const QByteArray empty = imageDescriptor(0, 65000, 0, 1000) + literalImageData({}, 2);
    QByteArray text("\x21\x01\x0C", 3);
    for (int word : {0, 0, 16, 8}) putWord(text, word);
    text.append("\x08\x08\x01\x02\x01A\x00", 7);
    const struct {
        QByteArray file;
        QSize declared, shown;
    } cases[] = {
        {gifHeader(0, 0, 2) + image + ";", {0, 0}, {5, 4}},
        {gifHeader(3, 0, 2) + image + ";", {3, 0}, {5, 4}},
        {gifHeader(2, 2, 2) + image + ";", {2, 2}, {2, 2}},
        {gifHeader(0, 0, 2) + tooLarge + ";", {0, 0}, {0, 0}},
        {gifHeader(0, 0, 2) + far + ";", {0, 0}, {65535, 8}},
        {gifHeader(0, 0, 2) + empty + ";", {0, 0}, {0, 0}},
        {gifHeader(0, 0, 2) + text + image + ";", {0, 0}, {0, 0}},
    };
    for (const auto& c : cases) {
        TMemoryStream in(c.file);
        TZVQ_GIFDecompressor decoder;
        decoder.OpenImageStream(&in);
        EXPECT_EQ(decoder.declaredScreenSize(), c.declared);
        EXPECT_EQ(QSize(decoder.GetScreenWidth(), decoder.GetScreenHeight()), c.shown) << c.file.toHex().constData();
    }
    // The stream is read on from where the descriptor begins.
    Decoded decoded = decodeAll(cases[0].file);
    ASSERT_EQ(decoded.graphics.size(), 1u);
    EXPECT_EQ(indicesOf(dibAt(decoded, 0)), (std::vector<std::vector<int>>{{0, 1, 2, 3}, {3, 2, 1, 0}}));
}

TEST(GifDecoder, CommentsUnknownBlocksAndPlainText) {
    TZVQ_GIFDecompressor decoder;
    QByteArray comment;
    decoder.OnComment = [&](TObject*, const char* text) { comment = text; };
    const QByteArray unknownExtension("\x21\x99\x02xy\x00", 6);
    QByteArray plainText("\x21\x01\x0C", 3);
    putWord(plainText, 2);  // grid left, top, width, height
    putWord(plainText, 3);
    putWord(plainText, 40);
    putWord(plainText, 10);
    plainText.append("\x08\x0A\x01\x02", 4);  // cell 8 x 10, colours 1 and 2
    plainText.append("\x02Hi\x00", 4);
    const QByteArray shortPlainText("\x21\x01\x05\x01\x02\x03\x04\x05\x00", 9);
    const QByteArray bytes = gifHeader(50, 20, 2) + QByteArray("\x21\xFE\x05hello\x00", 9) + unknownExtension +
                             graphicControl(1, false, false, 4, 0) + shortPlainText + plainText +
                             imageDescriptor(0, 0, 1, 1) + literalImageData({1}, 2) + ";";
    Decoded decoded = decodeAll(bytes, decoder);
    EXPECT_EQ(comment, QByteArray("hello"));
    EXPECT_EQ(decoded.warnings,
              (std::vector<std::pair<int, QString>>{{4097, QStringLiteral("Unknown Block (21) found in GIF stream")},
                                                    {4098, QStringLiteral("Invalid Length (5) for Plain Text Block")}}));
    ASSERT_EQ(decoded.graphics.size(), 2u);
    auto* text = dynamic_cast<TPlainText*>(decoded.graphics[0].get());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(QByteArray(text->GetText()), QByteArray("Hi"));
    EXPECT_EQ(text->GetWidth(), 40);
    EXPECT_EQ(text->GetCellHeight(), 10);
    EXPECT_EQ(text->GetForegroundColour(), RGB(1, 2, 254));
    EXPECT_EQ(text->GetBackgroundColour(), RGB(2, 4, 253));
    // The skipped block left the graphic control for the text.
    EXPECT_EQ(decoded.infos[0].Origin, QPoint(2, 3));
    EXPECT_EQ(decoded.infos[0].DelayTime, 40);
    EXPECT_NE(dibAt(decoded, 1), nullptr);

    // Rendered through the engine's entry point: the text's background
    // fills its own rectangle, or the screen at its origin (colours as the
    // 256-colour reduction gives them).
    const auto nearBackground = [](QRgb pixel) {
        return std::abs(qRed(pixel) - 2) <= 8 && std::abs(qGreen(pixel) - 4) <= 8 && std::abs(qBlue(pixel) - 253) <= 8;
    };
    for (bool globalFrame : {false, true}) {
        TZVQ_GIFDecompressor renderer;
        renderer.SetUseGlobalFrame(globalFrame);
        TMemoryStream in(bytes);
        renderer.OpenImageStream(&in);
        std::unique_ptr<TDeviceIndependentBitmap> rendered = renderer.ReadDIBitmap(TDIBFormat::dt24bit);
        EXPECT_EQ(rendered->GetWidth(), globalFrame ? 50 : 40);
        EXPECT_EQ(rendered->GetHeight(), globalFrame ? 20 : 10);
        const QPoint corner = globalFrame ? QPoint(2 + 39, 3 + 9) : QPoint(39, 9);
        EXPECT_TRUE(nearBackground(rendered->toImage().pixel(corner)));
    }
}

TEST(GifDecoder, ProgressAndAbort) {
    TZVQ_GIFDecompressor decoder;
    std::vector<int> reports;
    decoder.OnProgressReport = [&](TObject*) {
        reports.push_back(decoder.GetPercentDone());
        if (decoder.GetPercentDone() >= 50) decoder.Abort();
    };
    const QByteArray bytes = oneImage(1, 100, std::vector<int>(100, 1));
    expectThrowWithMessage<Exception>([&] { decodeAll(bytes, decoder); }, QStringLiteral("User Abort"));
    EXPECT_EQ(reports, (std::vector<int>{5, 10, 15, 20, 25, 30, 35, 40, 45, 50}));
}
