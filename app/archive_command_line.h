#pragma once

#include <QCommandLineParser>
#include <optional>

// The archive's command-line options: exports that run without a window
// (--export-csv FILE, --export-pdf DIR, narrowed by --from, --to, --sensor
// and --station), --copy-archive FROM TO, and --archive ARCHIVE, the
// archive the station and the exports use.

// Chooses the offscreen platform for an export when there is no display;
// must run before the application object exists.
void useOffscreenPlatformForExports(int argc, char** argv);

void addArchiveOptions(QCommandLineParser& parser);

// Runs the exports the options ask for and returns the exit code, or
// nothing when none was asked for and the station should start.
std::optional<int> runArchiveCommands(const QCommandLineParser& parser);
// The arguments after the options that the archive's commands take: TO of
// --copy-archive.
int archiveArguments(const QCommandLineParser& parser);
