#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "gif/Zvqgif.h"
#include "imaging/Zvqgraph.h"
#include "test_support.h"
#include "toolkit/streams.h"

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

// The sample pictures of another GIF library, with the final screens and the
// global colour tables its tools print for them.
TEST(GifPictures, LastImageAndGlobalTableMatchTheDumps) {
    const QString root = testDataDir();
    if (root.isEmpty()) GTEST_SKIP() << "conformance data not present";
    const QString folder = root + "/giflib-pics";
    const QStringList pictures = QDir(folder + "/pic").entryList({"*.gif"});
    ASSERT_EQ(pictures.size(), 8);
    for (const QString& picture : pictures) {
        const QString stem = QFileInfo(picture).completeBaseName();
        TZVQ_GIFDecompressor decoder;
        TMemoryStream in(readAll(folder + "/pic/" + picture));
        std::unique_ptr<TDeviceIndependentBitmap> last;
        int images = 0;
        while (auto dib = decoder.ReadDIBitmapFromStream(&in, TDIBFormat::dt8bit)) {
            last = std::move(dib);
            ++images;
        }
        ASSERT_TRUE(last) << qPrintable(stem);
        EXPECT_GT(images, 0);

        const QByteArray expected = readAll(folder + "/tests/" + stem + ".rgb");
        const QImage image = last->toImage().convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(image.width() * image.height() * 3, expected.size()) << qPrintable(stem);
        for (int y = 0; y < image.height(); ++y) {
            const QByteArray row(reinterpret_cast<const char*>(image.constScanLine(y)), image.width() * 3);
            ASSERT_EQ(row, expected.mid(y * image.width() * 3, image.width() * 3)) << qPrintable(stem) << " row " << y;
        }

        const QStringList map = QString::fromLatin1(readAll(folder + "/tests/" + stem + ".map"))
                                    .split('\n', Qt::SkipEmptyParts);
        const TLogicalPalette* global = decoder.GetGlobalPalette();
        ASSERT_EQ(global->GetCount(), map.size()) << qPrintable(stem);
        for (int i = 0; i < map.size(); ++i) {
            const QStringList fields = map[i].simplified().split(' ');
            EXPECT_EQ(QString("%1 %2 %3 %4").arg(i).arg(global->GetRed(i)).arg(global->GetGreen(i)).arg(global->GetBlue(i)),
                      fields.join(' '))
                << qPrintable(stem);
        }
        decoder.CloseImageStream();
    }
}
