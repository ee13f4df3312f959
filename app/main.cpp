#include <QCommandLineParser>

#include "app/Unit1.h"
#include "app/archive_command_line.h"
// Linking the GIF unit makes the station's pictures take GIF files.
#include "gif/Zvqgif.h"
#include "toolkit/application.h"

int main(int argc, char** argv) {
    useOffscreenPlatformForExports(argc, argv);
    TApplication application(argc, argv);
    TApplication::setApplicationName(QStringLiteral("Quorvan"));
    QCommandLineParser parser;
    addArchiveOptions(parser);
    parser.process(application);
    if (const auto exitCode = runArchiveCommands(parser)) return *exitCode;
    TForm1 form;
    form.show();
    TApplication::exec();
    return 0;
}
