#include <QCommandLineParser>
#include <QTimer>

#include "toolkit/application.h"
#include "viewer_window.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("zvqgif-view"));
    TApplication::setApplicationVersion(QStringLiteral(ZVQ_VERSION_STRING));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays an animated GIF."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("background"),
                      QStringLiteral("Window colour behind the picture."), QStringLiteral("colour"),
                      QStringLiteral("#d9e4f2")});
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The GIF to play."));
    parser.process(app);
    const QColor background(parser.value(QStringLiteral("background")));
    if (parser.positionalArguments().size() != 1 || !background.isValid()) parser.showHelp(2);
    ViewerWindow window(background);
    window.show();
    QTimer::singleShot(0, &window, [&] { window.open(parser.positionalArguments().first()); });
    return app.exec();
}
