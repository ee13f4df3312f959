#include <QDir>
#include <QFile>
#include <QImage>
#include <QTextStream>
#include <gtest/gtest.h>

#include <bit>
#include <iostream>

#include "imaging/Zvqgraph.h"
#include "imaging/dib_layout.h"
#include "test_support.h"
#include "toolkit/streams.h"

namespace {

struct SuiteCase {
    QString file;
    QStringList references;
};

QList<SuiteCase> suiteCases(const QString& folder) {
    QList<SuiteCase> cases;
    QFile tsv(folder + QStringLiteral("/expected.tsv"));
    if (!tsv.open(QIODevice::ReadOnly)) return cases;
    QTextStream in(&tsv);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith(QLatin1Char('#')) || line.isEmpty()) continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        SuiteCase c{fields.value(0), {}};
        if (!fields.value(2).isEmpty()) c.references = fields.value(2).split(QLatin1Char('|'));
        cases.append(c);
    }
    return cases;
}

// What this bitmap is meant to read: a 40-byte info header, 1 to 32 bits
// per pixel, no compression or bit fields.
bool inSupportedFormat(const QByteArray& file) {
    if (file.size() < 54 || !file.startsWith("BM")) return false;
    const auto* p = reinterpret_cast<const std::uint8_t*>(file.constData());
    const std::uint32_t headerSize = readLe32(p + 14);
    const int bits = readLe16(p + 28);
    const std::uint32_t compression = readLe32(p + 30);
    const bool bitsOk = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    return headerSize == 40 && bitsOk && (compression == 0 || compression == 3);
}

// Channels narrower than 8 bits are shifted into place, where the
// references scale them: allow the difference that makes.
int tolerance(std::uint32_t mask) {
    const int bits = std::popcount(mask);
    return bits == 0 ? 255 : bits < 8 ? (1 << (8 - bits)) - 1 : 1;
}

bool matches(TDeviceIndependentBitmap& dib, const QImage& reference, QString& why) {
    const QImage actual = dib.toImage();
    const QImage expected = reference.convertToFormat(QImage::Format_ARGB32);
    if (actual.size() != expected.size()) {
        why = QStringLiteral("size %1x%2").arg(actual.width()).arg(actual.height());
        return false;
    }
    const bool masked = dib.GetColourBits() == 16 || dib.GetColourBits() == 32;
    const int tr = masked ? tolerance(dib.GetRedMask()) : 0;
    const int tg = masked ? tolerance(dib.GetGreenMask()) : 0;
    const int tb = masked ? tolerance(dib.GetBlueMask()) : 0;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y), e = expected.pixel(x, y);
            if (std::abs(qRed(a) - qRed(e)) > tr || std::abs(qGreen(a) - qGreen(e)) > tg ||
                std::abs(qBlue(a) - qBlue(e)) > tb) {
                why = QStringLiteral("pixel (%1, %2)").arg(x).arg(y);
                return false;
            }
        }
    }
    return true;
}

// Loads and reads every pixel; true when it loaded, false when refused.
bool loadAndRead(const QByteArray& bytes, std::unique_ptr<TDeviceIndependentBitmap>& dib) {
    dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, 1, 1);
    TMemoryStream stream(bytes);
    try {
        dib->LoadFromStream(&stream);
    } catch (const EDIBError&) {
        return false;
    }
    if (dib->GetWidth() > 0 && dib->GetHeight() > 0) {
        auto reader = dib->GetReader();
        std::uint8_t r, g, b;
        try {
            do {
                while (reader->GetNextPixel(r, g, b)) {
                }
            } while (reader->NextRow());
        } catch (const Exception& e) {
            // An index beyond the colour table is refused while reading.
            EXPECT_EQ(e.Message().left(22), QStringLiteral("Invalid palette index ")) << e.what();
        }
    }
    return true;
}

}  // namespace

TEST(BmpSuite, LoadsSupportedFilesAndRefusesTheRestCleanly) {
    if (testDataDir().isEmpty()) GTEST_SKIP() << "conformance data folder not present";
    const QString folder = testDataDir() + QStringLiteral("/bmpsuite");
    const QList<SuiteCase> cases = suiteCases(folder);
    if (cases.isEmpty()) GTEST_SKIP() << "bmpsuite/expected.tsv not present";

    int supported = 0, matched = 0, otherLoaded = 0, refused = 0;
    for (const SuiteCase& c : cases) {
        QFile file(folder + QLatin1Char('/') + c.file);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.file.toStdString();
        const QByteArray bytes = file.readAll();
        std::unique_ptr<TDeviceIndependentBitmap> dib;
        const bool loaded = loadAndRead(bytes, dib);
        if (!inSupportedFormat(bytes) || c.file.startsWith(QLatin1String("b/"))) {
            loaded ? ++otherLoaded : ++refused;
            continue;
        }
        ++supported;
        ASSERT_TRUE(loaded) << c.file.toStdString();
        QString why;
        bool any = false;
        for (const QString& reference : c.references) {
            const QImage image(folder + QLatin1Char('/') + reference);
            if (!image.isNull() && matches(*dib, image, why)) any = true;
        }
        EXPECT_TRUE(any) << c.file.toStdString() << ": " << why.toStdString();
        if (any) ++matched;
    }
    std::cout << "bmpsuite: " << supported << " supported files, " << matched << " match their reference; "
              << otherLoaded << " other files load, " << refused << " refused with EDIBError\n";
    EXPECT_GT(supported, 25);
}
