#include "gif_info.h"

#include <QTextStream>

#include "gif/Zvqgif.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/cp1250.h"
#include "toolkit/streams.h"

namespace {

const char* disposalName(TDisposalMethods method) {
    switch (method) {
    case TDisposalMethods::dmNone: return "none";
    case TDisposalMethods::dmLeaveInPlace: return "leave";
    case TDisposalMethods::dmRestoreBackground: return "background";
    case TDisposalMethods::dmRestorePrevious: return "previous";
    }
    return "?";
}

QString quoted(const QStringList& comments) {
    QStringList parts;
    for (QString text : comments) parts << '"' + text.replace('\n', "\\n") + '"';
    return parts.isEmpty() ? QStringLiteral("-") : parts.join(' ');
}

void printGraphic(QTextStream& out, int number, const TGIFGraphicOutline& graphic, const TGIFGraphicControlInfo& info,
                  const QStringList& comments) {
    out << "graphic " << number << ": " << (graphic.isText ? "text" : "image") << " origin " << info.Origin.x() << ','
        << info.Origin.y() << " size " << graphic.rect.width() << 'x' << graphic.rect.height();
    if (!graphic.isText) {
        out << " interlaced " << (graphic.interlaced ? "yes" : "no") << " local-table " << graphic.localColours
            << " transparent ";
        if (graphic.transparentIndex < 0) out << '-'; else out << graphic.transparentIndex;
    }
    out << " disposal " << disposalName(info.DisposalMethod) << " user-input " << (info.UserInput ? "yes" : "no")
        << " delay " << info.DelayTime << " ms comment " << quoted(comments) << '\n';
}

}  // namespace

void printGifInfo(const QString& fileName, QTextStream& out, QTextStream& err) {
    TMemoryStream in;
    in.LoadFromFile(fileName);
    TZVQ_GIFDecompressor decoder;
    decoder.setReadsExtensionsIn87a(true);
    QStringList comments;
    decoder.OnComment = [&](TObject*, const char* comment) { comments << fromCp1250(comment, std::strlen(comment)); };
    decoder.OnWarning = [&](TObject*, int code, const QString& message) {
        err << "warning " << code << ": " << message << Qt::endl;
    };
    decoder.OpenImageStream(&in);
    const QSize declared = decoder.declaredScreenSize();
    out << "type " << (decoder.GetGIFType() == TGIFType::gt87a ? "GIF87a" : "GIF89a") << '\n'
        << "screen " << decoder.GetScreenWidth() << 'x' << decoder.GetScreenHeight();
    if (declared != QSize(decoder.GetScreenWidth(), decoder.GetScreenHeight())) {
        out << " (declared " << declared.width() << 'x' << declared.height() << ", grown to the first image)";
    }
    out << '\n'
        << "global-table " << decoder.GetGlobalPalette()->GetCount() << '\n'
        << "background " << toQColor(decoder.GetBackgroundColour()).name() << '\n';
    // The blocks alone: no image is decoded, so no size is too large to tell.
    int number = 0;
    TGIFGraphicOutline graphic;
    TGIFGraphicControlInfo info;
    while (decoder.skipGIFGraphic(&in, graphic, info)) {
        printGraphic(out, number++, graphic, info, comments);
        comments.clear();
    }
    // The looping extension may come anywhere before the trailer.
    out << "loop-count " << decoder.GetLoopCount() << '\n' << "graphics " << number << '\n';
    if (!comments.isEmpty()) out << "trailing-comment " << quoted(comments) << '\n';
}
