#include <gtest/gtest.h>

#include <QFile>
#include <QSet>

#include "conformance_data.h"
#include "gif/Zvqgif.h"
#include "imaging/Zvqgraph.h"
#include "test_support.h"
#include "toolkit/streams.h"

namespace {

QString suiteFolder() {
    const QString root = testDataDir();
    return root.isEmpty() ? QString() : root + "/pygif-gif-test-suite";
}

struct Outcome {
    bool refused = false;
    QString error;
    std::vector<std::unique_ptr<TZVQExtGraphic>> graphics;
    std::vector<TGIFGraphicControlInfo> infos;
    QByteArray comment;
    int loopCount = 0;
    TGIFType type = TGIFType::gt89a;
    int width = 0, height = 0;
    TColor background = 0;
    bool backgroundInTable = false;
};

Outcome decodeFile(const QString& path) {
    Outcome out;
    TZVQ_GIFDecompressor decoder;
    decoder.OnComment = [&](TObject*, const char* text) { out.comment += text; };
    TMemoryStream in;
    in.LoadFromFile(path);
    try {
        for (;;) {
            TGIFGraphicControlInfo info;
            auto graphic = decoder.ReadGIFGraphicFromStream(&in, info);
            if (!graphic) break;
            out.graphics.push_back(std::move(graphic));
            out.infos.push_back(info);
        }
    } catch (const Exception& e) {
        out.refused = true;
        out.error = e.Message();
    }
    out.loopCount = decoder.GetLoopCount();
    out.type = decoder.GetGIFType();
    out.width = decoder.GetScreenWidth();
    out.height = decoder.GetScreenHeight();
    out.background = decoder.GetBackgroundColour();
    return out;
}

// Cases where this decoder parts from the suite on purpose, with the rule
// behind each.
const QMap<QString, QString> kDeliberate = {
    // Every image descriptor is followed by its code-size byte and data;
    // these files stop short or go straight on to the next block.
    {"image-zero-width", "Unsupported Minimum Code Size - 59"},
    {"image-zero-height", "Unexpected end of input stream"},
    {"image-zero-size", "Unexpected end of input stream"},
    // The decoder hands out the graphics a stream holds: none here.
    {"no-data", ""},
    // Indices beyond the table are kept as they are; only reading their
    // colour fails.
    {"invalid-colors", ""},
    // A plain text block is a graphic of its own.
    {"plain-text", ""},
};

// Loop extensions other than the three-byte looping extension are left to
// the application-extension event.
const QSet<QString> kLoopLeftToEvent = {"loop-buffer", "loop-buffer_max", "loop-animexts"};

QByteArray rgbaOf(TDeviceIndependentBitmap* dib) {
    const QImage image = dib->toImage().convertToFormat(QImage::Format_RGBA8888);
    return QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
}

QColor colourAt(const QByteArray& rgba, int offset) {
    return QColor(std::uint8_t(rgba[offset]), std::uint8_t(rgba[offset + 1]), std::uint8_t(rgba[offset + 2]),
                  std::uint8_t(rgba[offset + 3]));
}

// A transparent expected pixel is one of the transparent colour in a
// transparent image; any other must have the expected colour.
void expectPixels(const SuiteCase& c, const QString& folder, TDeviceIndependentBitmap* dib) {
    QFile file(folder + "/" + c.sections.value(c.frames().constLast()).value("pixels"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(c.name);
    const QByteArray expected = file.readAll();
    const QByteArray ours = rgbaOf(dib);
    ASSERT_EQ(expected.size(), ours.size()) << qPrintable(c.name);
    const QColor transparent = toQColor(dib->GetTransparentColour());
    for (int at = 0; at < expected.size(); at += 4) {
        const QColor want = colourAt(expected, at);
        const QColor got = colourAt(ours, at);
        if (want.alpha() == 0) {
            ASSERT_TRUE(dib->GetTransparent() && got.rgb() == transparent.rgb())
                << qPrintable(c.name) << " pixel " << at / 4;
        } else {
            ASSERT_EQ(got.rgb(), want.rgb()) << qPrintable(c.name) << " pixel " << at / 4;
        }
    }
}

void expectScreenFields(const SuiteCase& c, const Outcome& out) {
    EXPECT_EQ(out.type == TGIFType::gt87a ? "GIF87a" : "GIF89a", c.config("version")) << qPrintable(c.name);
    EXPECT_EQ(out.width, c.config("width").toInt()) << qPrintable(c.name);
    EXPECT_EQ(out.height, c.config("height").toInt()) << qPrintable(c.name);
    if (c.has("background")) {
        EXPECT_EQ(toQColor(out.background).name(), c.config("background")) << qPrintable(c.name);
    }
    const QString loop = c.config("loop-count");
    const int expectedLoop = loop == "infinite" || kLoopLeftToEvent.contains(c.name) ? 0 : loop.toInt();
    EXPECT_EQ(out.loopCount, expectedLoop) << qPrintable(c.name);
    if (c.has("comment")) {
        // Comments reach the event as zero-terminated text.
        const QByteArray comment = pythonLiteral(c.config("comment"));
        EXPECT_EQ(out.comment, comment.left(comment.indexOf('\0') < 0 ? comment.size() : comment.indexOf('\0')))
            << qPrintable(c.name);
    }
}

}  // namespace

TEST(GifSuite, EveryCaseDecodesOrIsRefusedAsExpected) {
    const QString folder = suiteFolder();
    if (folder.isEmpty()) GTEST_SKIP() << "conformance data not present";
    int compared = 0;
    const QStringList names = suiteCaseNames(folder);
    ASSERT_EQ(names.size(), 84);
    for (const QString& name : names) {
        const SuiteCase c = readSuiteCase(folder, name);
        const Outcome out = decodeFile(folder + "/" + c.config("input"));
        const bool weDecode = !out.refused && !out.graphics.empty();
        if (kDeliberate.contains(name)) {
            EXPECT_EQ(out.error, kDeliberate.value(name)) << qPrintable(name);
            EXPECT_NE(weDecode, !c.frames().isEmpty()) << qPrintable(name);
            continue;
        }
        ASSERT_EQ(weDecode, !c.frames().isEmpty()) << qPrintable(name) << ": " << qPrintable(out.error);
        if (out.refused) continue;
        expectScreenFields(c, out);
        auto* dib = out.graphics.size() == 1 ? dynamic_cast<TDeviceIndependentBitmap*>(out.graphics[0].get())
                                             : nullptr;
        const bool coversScreen = dib && out.infos[0].Origin == QPoint(0, 0) && dib->GetWidth() == out.width &&
                                  dib->GetHeight() == out.height;
        if (c.frames().size() == 1 && coversScreen) {
            expectPixels(c, folder, dib);
            ++compared;
        }
    }
    EXPECT_GE(compared, 30);
}
