#include "app/archive_command_line.h"

#include <QTextStream>
#include <cstdlib>

#include "app/archive_copy.h"
#include "app/archive_export.h"
#include "app/read_archive.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const QString kExportCsv = QStringLiteral("export-csv");
const QString kExportPdf = QStringLiteral("export-pdf");
const QString kFrom = QStringLiteral("from");
const QString kTo = QStringLiteral("to");
const QString kSensor = QStringLiteral("sensor");
const QString kArchive = QStringLiteral("archive");
const QString kStation = QStringLiteral("station");
const QString kCopyArchive = QStringLiteral("copy-archive");

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

bool parseDay(const QCommandLineParser& parser, const QString& option, QDate& day) {
    if (!parser.isSet(option)) return true;
    day = QDate::fromString(parser.value(option), Qt::ISODate);
    if (day.isValid()) return true;
    err() << "quorvan: --" << option << " takes a date as YYYY-MM-DD, not " << parser.value(option)
          << Qt::endl;
    return false;
}

std::optional<ReadFilter> filterFrom(const QCommandLineParser& parser) {
    ReadFilter filter;
    filter.sensor = parser.value(kSensor);
    filter.station = parser.value(kStation);
    if (!parseDay(parser, kFrom, filter.from) || !parseDay(parser, kTo, filter.to))
        return std::nullopt;
    if (filter.from.isValid() && filter.to.isValid() && filter.from > filter.to) {
        err() << "quorvan: --from is after --to" << Qt::endl;
        return std::nullopt;
    }
    return filter;
}

// An export only reads: it creates no archive where there is none and
// leaves a damaged one where it is, for the station to set aside.
int runExports(const QCommandLineParser& parser, const ReadFilter& filter) {
    QTextStream out(stdout);
    try {
        ReadArchive archive(archiveLocation(), ArchiveUse::Export);
        archive.open();
        if (parser.isSet(kExportCsv)) {
            const QString file = parser.value(kExportCsv);
            const int count = exportCsv(archive, filter, file);
            out << count << " reads written to " << file << " and " << samplesFileName(file)
                << Qt::endl;
        }
        if (parser.isSet(kExportPdf)) {
            const QString folder = parser.value(kExportPdf);
            const int count = exportPdfReports(archive, filter, folder, 0);
            out << count << " reports written to " << folder << Qt::endl;
        }
    } catch (const Exception& error) {
        err() << "quorvan: " << error.Message() << Qt::endl;
        return kExitFailure;
    }
    return 0;
}

// FROM is the option's value, TO the one argument after it.
int runCopy(const QCommandLineParser& parser) {
    const QStringList rest = parser.positionalArguments();
    if (rest.size() != 1) {
        err() << "quorvan: --copy-archive takes two archives: --copy-archive FROM TO" << Qt::endl;
        return kExitUsage;
    }
    const QString from = parser.value(kCopyArchive);
    const QString& to = rest.first();
    try {
        const ArchiveCopy copy = copyArchive(from, to);
        QTextStream(stdout) << copy.read << " reads in " << from << ": " << copy.copied
                            << " copied to " << to << ", " << copy.read - copy.copied
                            << " there already" << Qt::endl;
    } catch (const Exception& error) {
        err() << "quorvan: " << error.Message() << Qt::endl;
        return kExitFailure;
    }
    return 0;
}

}  // namespace

void useOffscreenPlatformForExports(int argc, char** argv) {
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM"))
        return;
    // The options that end in an export or in a usage error: both need no
    // window, and either must run in a shell without a display.
    const QStringList options{kExportCsv, kExportPdf, kFrom, kTo, kSensor, kStation, kCopyArchive};
    for (int i = 1; i < argc; ++i) {
        QString argument = QString::fromLocal8Bit(argv[i]).section(QLatin1Char('='), 0, 0);
        while (argument.startsWith(QLatin1Char('-'))) argument.remove(0, 1);
        if (options.contains(argument)) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            return;
        }
    }
}

void addArchiveOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {kExportCsv,
         QStringLiteral("Export the stored reads to FILE (one row per read) and FILE-samples.csv "
                        "(one row per sample), then exit."),
         QStringLiteral("FILE")},
        {kExportPdf, QStringLiteral("Write one report PDF per stored read into DIR, then exit."),
         QStringLiteral("DIR")},
        {kFrom, QStringLiteral("Export only reads from this day on (YYYY-MM-DD)."),
         QStringLiteral("DATE")},
        {kTo, QStringLiteral("Export only reads up to this day (YYYY-MM-DD)."),
         QStringLiteral("DATE")},
        {kSensor, QStringLiteral("Export only reads of this sensor number."),
         QStringLiteral("NUMBER")},
        {kStation, QStringLiteral("Export only reads stored by this station."),
         QStringLiteral("NAME")},
        {kArchive,
         QStringLiteral("Use this archive: a file, or a PostgreSQL database as "
                        "postgresql://user@host:5432/database?sslmode=require, the password in "
                        "~/.pgpass (default: $QUORVAN_ARCHIVE, else archive.sqlite in the user's "
                        "application data folder)."),
         QStringLiteral("ARCHIVE")},
        {kCopyArchive,
         QStringLiteral("Copy every read of the archive FROM into the archive TO (a file or a "
                        "PostgreSQL URI each, TO given after FROM), then exit."),
         QStringLiteral("FROM")},
    });
}

int archiveArguments(const QCommandLineParser& parser) {
    return parser.isSet(kCopyArchive) ? 1 : 0;
}

std::optional<int> runArchiveCommands(const QCommandLineParser& parser) {
    if (parser.isSet(kArchive)) setArchiveLocation(parser.value(kArchive));
    const bool exporting = parser.isSet(kExportCsv) || parser.isSet(kExportPdf);
    if (parser.isSet(kCopyArchive)) {
        if (exporting) {
            err() << "quorvan: --copy-archive goes without --export-csv and --export-pdf"
                  << Qt::endl;
            return kExitUsage;
        }
        for (const QString& option : {kFrom, kTo, kSensor, kStation, kArchive}) {
            if (!parser.isSet(option)) continue;
            err() << "quorvan: --copy-archive copies every read; --" << option
                  << " does not go with it" << Qt::endl;
            return kExitUsage;
        }
        return runCopy(parser);
    }
    if (!exporting) {
        for (const QString& option : {kFrom, kTo, kSensor, kStation}) {
            if (!parser.isSet(option)) continue;
            err() << "quorvan: --" << option << " goes with --export-csv or --export-pdf"
                  << Qt::endl;
            return kExitUsage;
        }
        return std::nullopt;
    }
    const std::optional<ReadFilter> filter = filterFrom(parser);
    if (!filter) return kExitUsage;
    return runExports(parser, *filter);
}
