// zvqgif: GIF files from the shell, over the imaging library.
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTextStream>

#include "frame_export.h"
#include "gif_info.h"
#include "toolkit/exception.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

int run(const QStringList& args, bool globalFrame, QTextStream& out, QTextStream& err) {
    const QString command = args.value(0);
    if (command == "info" && args.size() == 2) {
        printGifInfo(args[1], out, err);
        return 0;
    }
    if (command == "decode" && args.size() == 3) {
        out << exportFrames(args[1], args[2], globalFrame, err) << " frames written to " << args[2] << '\n';
        return 0;
    }
    err << "usage: zvqgif info FILE.gif\n"
           "       zvqgif decode FILE.gif OUTDIR [--global-frame]\n";
    return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    // Pictures are drawn off screen: the tool needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("zvqgif"));
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("global-frame"), QStringLiteral("Decode every graphic on the whole screen.")});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("info FILE.gif | decode FILE.gif OUTDIR"));
    parser.process(application);

    QTextStream out(stdout);
    QTextStream err(stderr);
    try {
        return run(parser.positionalArguments(), parser.isSet(QStringLiteral("global-frame")), out, err);
    } catch (const Exception& e) {
        err << "zvqgif: " << e.Message() << Qt::endl;
        return kFailed;
    }
}
