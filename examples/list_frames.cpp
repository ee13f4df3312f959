// Lists the frames of a GIF and, given a folder, writes each as a BMP there.
//   list_frames IN.gif [OUTDIR]
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include <Zvqgif.h>
#include <Zvqgraph.h>
#include <toolkit/streams.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);  // plain text blocks are drawn with fonts
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: list_frames IN.gif [OUTDIR]\n");
        return 2;
    }
    try {
        TMemoryStream in;
        in.LoadFromFile(QString::fromLocal8Bit(argv[1]));
        TZVQ_GIFDecompressor decoder;
        int count = 0;
        while (std::unique_ptr<TDeviceIndependentBitmap> frame =
                   decoder.ReadDIBitmapFromStream(&in, TDIBFormat::dt8bit)) {
            const TGIFGraphicControlInfo& info = decoder.GetGraphicControlInfo();
            const TColor corner = frame->pixelColour(0, 0);
            std::printf("frame %d: %dx%d at %d,%d, %d ms, top left #%02X%02X%02X (index %d)\n",
                        count, frame->GetWidth(), frame->GetHeight(), info.Origin.x(),
                        info.Origin.y(), info.DelayTime, GetRValue(corner), GetGValue(corner),
                        GetBValue(corner), frame->pixelIndex(0, 0));
            if (argc == 3)
                frame->SaveToFile(
                    QDir(argv[2]).filePath(QStringLiteral("frame-%1.bmp").arg(count)));
            ++count;
        }
        std::printf("%d frames\n", count);
    } catch (const Exception& e) {
        std::fprintf(stderr, "list_frames: %s\n", qPrintable(e.Message()));
        return 1;
    }
    return 0;
}
