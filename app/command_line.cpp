#include "app/command_line.h"

#include <QFileInfo>
#include <cstdio>

#include "app/version.h"
#include "link/d2xx_library.h"

namespace {

constexpr int kUsageError = 2;

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QString programName(const QStringList& arguments) {
    return arguments.isEmpty() ? QStringLiteral("quorvan")
                               : QFileInfo(arguments.first()).fileName();
}

}  // namespace

CommandLine::CommandLine()
    : driver_(QStringLiteral("driver"),
              QStringLiteral("Load the D2XX driver library from <path> instead of searching for "
                             "libftd2xx.so."),
              QStringLiteral("path")) {
    parser_.setApplicationDescription(
        QStringLiteral("Quorvan station: reads, shows and prints the records of motion sensors "
                       "through the USB test interface."));
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser_.addHelpOption();
    parser_.addVersionOption();
    parser_.addOption(driver_);
}

void CommandLine::addGroup(const AddOptions& add, RunOptions run, CountArguments arguments) {
    add(parser_);
    groups_.push_back(std::move(run));
    if (arguments) arguments_.push_back(std::move(arguments));
}

// A line that does not parse yet may still hold the application's own
// options; it is judged again in apply().
std::optional<int> CommandLine::parseEarly(const QStringList& arguments) {
    parser_.parse(arguments);
    if (parser_.isSet(QStringLiteral("help")) || parser_.isSet(QStringLiteral("help-all"))) {
        print(stdout, helpText(arguments));
        return 0;
    }
    if (parser_.isSet(QStringLiteral("version"))) {
        print(stdout, QStringLiteral("Quorvan %1\n").arg(kVersion));
        return 0;
    }
    return std::nullopt;
}

std::optional<int> CommandLine::apply(const QStringList& arguments) {
    const QString program = programName(arguments);
    QString error;
    const bool parsed = parser_.parse(arguments);
    qsizetype taken = 0;
    if (parsed)
        for (const CountArguments& count : arguments_) taken += count(parser_);
    if (!parsed)
        error = parser_.errorText();
    else if (parser_.positionalArguments().size() > taken)
        error = QStringLiteral("Unexpected argument '%1'.").arg(parser_.positionalArguments()[taken]);
    else if (parser_.isSet(driver_) && parser_.value(driver_).isEmpty())
        error = QStringLiteral("--driver needs the path of a library.");
    if (!error.isEmpty()) {
        print(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(program, error));
        return kUsageError;
    }
    // An absolute path, so that the loader takes this file and no other.
    if (parser_.isSet(driver_))
        setD2xxLibraryFileName(
            QFileInfo(parser_.value(driver_)).absoluteFilePath().toLocal8Bit().constData());
    for (const RunOptions& run : groups_)
        if (const auto exitCode = run(parser_)) return exitCode;
    return std::nullopt;
}

QStringList CommandLine::arguments(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
    return list;
}

// The usage line names the program as it was started: Qt would name it only
// once an application exists.
QString CommandLine::helpText(const QStringList& arguments) const {
    QString text = parser_.helpText();
    text.replace(0, text.indexOf('\n'),
                 QStringLiteral("Usage: %1 [options]").arg(programName(arguments)));
    return text;
}
