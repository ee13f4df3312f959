#include "app/Unit1.h"
#include "app/archive_command_line.h"
#include "app/command_line.h"
// Linking the GIF unit makes the station's pictures take GIF files.
#include "gif/Zvqgif.h"
#include "toolkit/application.h"

int main(int argc, char** argv) {
    CommandLine commandLine;
    commandLine.addGroup(addArchiveOptions, runArchiveCommands, archiveArguments);
    if (const auto exitCode = commandLine.parseEarly(CommandLine::arguments(argc, argv)))
        return *exitCode;
    useOffscreenPlatformForExports(argc, argv);
    TApplication application(argc, argv);
    TApplication::setApplicationName(QStringLiteral("Quorvan"));
    if (const auto exitCode = commandLine.apply(TApplication::arguments())) return *exitCode;
    TForm1 form;
    form.show();
    TApplication::exec();
    return 0;
}
