// Writes a picture as a GIF of 256 colours: a median-cut palette and
// Floyd-Steinberg dithering.  convert_to_gif IN OUT.gif
// IN is a BMP, read by the library, or any picture Qt reads.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include <Zvqgif.h>
#include <Zvqgraph.h>
#include <toolkit/bitmap.h>

std::unique_ptr<TDeviceIndependentBitmap> load(const QString& fileName) {
    if (fileName.endsWith(".bmp", Qt::CaseInsensitive)) {
        return std::make_unique<TDeviceIndependentBitmap>(fileName);
    }
    TBitmap bitmap;
    bitmap.SetImage(QImage(fileName).convertToFormat(QImage::Format_RGB32));
    return std::make_unique<TDeviceIndependentBitmap>(&bitmap, TDIBFormat::dt24bit);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: convert_to_gif IN OUT.gif\n");
        return 2;
    }
    try {
        const std::unique_ptr<TDeviceIndependentBitmap> picture =
            load(QString::fromLocal8Bit(argv[1]));
        TQuantizedPalette palette(picture.get(), 256);
        TDeviceIndependentBitmap indexed(picture.get(), TDIBFormat::dt8bit, &palette,
                                         ditherClassOf<TFSDitherer>());
        TZVQ_GIFCompressor encoder;
        encoder.SaveDIBtoFile(&indexed, QString::fromLocal8Bit(argv[2]));
    } catch (const Exception& e) {
        std::fprintf(stderr, "convert_to_gif: %s\n", qPrintable(e.Message()));
        return 1;
    }
    return 0;
}
