#include "frame_export.h"

#include <QDir>
#include <QTextStream>

#include "gif/Zvqgif.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/streams.h"

int exportFrames(const QString& fileName, const QString& folder, bool globalFrame, std::int64_t pixelLimit,
                 QTextStream& err) {
    TMemoryStream in;
    in.LoadFromFile(fileName);
    if (!QDir().mkpath(folder)) throw EFCreateError(folder);
    TZVQ_GIFDecompressor decoder;
    decoder.SetUseGlobalFrame(globalFrame);
    decoder.setPixelLimit(pixelLimit);
    decoder.setReadsExtensionsIn87a(true);
    decoder.OnWarning = [&](TObject*, int code, const QString& message) {
        err << "warning " << code << ": " << message << Qt::endl;
    };
    int written = 0;
    while (std::unique_ptr<TDeviceIndependentBitmap> dib = decoder.ReadDIBitmapFromStream(&in, TDIBFormat::dt8bit)) {
        dib->SaveToFile(QDir(folder).filePath(QStringLiteral("frame-%1.bmp").arg(written++, 3, 10, QLatin1Char('0'))));
    }
    return written;
}
