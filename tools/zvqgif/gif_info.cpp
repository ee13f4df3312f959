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

void printGraphic(QTextStream& out, int number, const TZVQExtGraphic* graphic, const TGIFGraphicControlInfo& info,
                  const TZVQ_GIFDecompressor& decoder, const QStringList& comments) {
    const bool text = dynamic_cast<const TPlainText*>(graphic) != nullptr;
    out << "graphic " << number << ": " << (text ? "text" : "image") << " origin " << info.Origin.x() << ','
        << info.Origin.y() << " size " << graphic->GetWidth() << 'x' << graphic->GetHeight();
    if (!text) {
        out << " interlaced " << (decoder.lastImageInterlaced() ? "yes" : "no") << " local-table "
            << decoder.lastLocalColours() << " transparent ";
        if (decoder.lastTransparentIndex() < 0) out << '-'; else out << decoder.lastTransparentIndex();
    }
    out << " disposal " << disposalName(info.DisposalMethod) << " user-input " << (info.UserInput ? "yes" : "no")
        << " delay " << info.DelayTime << " ms comment " << quoted(comments) << '\n';
}

}  // namespace

void printGifInfo(const QString& fileName, QTextStream& out, QTextStream& err) {
    TMemoryStream in;
    in.LoadFromFile(fileName);
    TZVQ_GIFDecompressor decoder;
    QStringList comments;
    decoder.OnComment = [&](TObject*, const char* comment) { comments << fromCp1250(comment, std::strlen(comment)); };
    decoder.OnWarning = [&](TObject*, int code, const QString& message) {
        err << "warning " << code << ": " << message << Qt::endl;
    };
    decoder.OpenImageStream(&in);
    out << "type " << (decoder.GetGIFType() == TGIFType::gt87a ? "GIF87a" : "GIF89a") << '\n'
        << "screen " << decoder.GetScreenWidth() << 'x' << decoder.GetScreenHeight() << '\n'
        << "global-table " << decoder.GetGlobalPalette()->GetCount() << '\n'
        << "background " << toQColor(decoder.GetBackgroundColour()).name() << '\n';
    int number = 0;
    for (;;) {
        TGIFGraphicControlInfo info;
        std::unique_ptr<TZVQExtGraphic> graphic = decoder.ReadGIFGraphicFromStream(&in, info);
        if (!graphic) break;
        printGraphic(out, number++, graphic.get(), info, decoder, comments);
        comments.clear();
    }
    // The looping extension may come anywhere before the trailer.
    out << "loop-count " << decoder.GetLoopCount() << '\n' << "graphics " << number << '\n';
    if (!comments.isEmpty()) out << "trailing-comment " << quoted(comments) << '\n';
}
