#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// The station's command line: --help, --version and --driver PATH, and any
// further group of options, each added with one call. The line is read
// twice. First before the application exists, so --help and --version
// answer without a display; then once the application has taken its own
// options (-platform, -style, ...), when errors are reported and the groups
// run, before the window opens.
class CommandLine {
public:
    // Adds a group's options to the parser.
    using AddOptions = std::function<void(QCommandLineParser&)>;
    // Acts on the parsed options; an exit code ends the program there,
    // without the window.
    using RunOptions = std::function<std::optional<int>(const QCommandLineParser&)>;
    // How many arguments without an option name the group takes on this
    // line (quorvan --copy-archive FROM TO takes TO); by default none.
    using CountArguments = std::function<int(const QCommandLineParser&)>;

    CommandLine();
    void addGroup(const AddOptions& add, RunOptions run, CountArguments arguments = {});

    // Before the application: prints the help or the version and returns 0
    // when asked for either; nothing otherwise.
    std::optional<int> parseEarly(const QStringList& arguments);
    // With the application's arguments: a wrong command line prints why
    // and returns 2; otherwise takes the driver path and runs the groups.
    std::optional<int> apply(const QStringList& arguments);

    const QCommandLineParser& parser() const { return parser_; }

    static QStringList arguments(int argc, char** argv);

private:
    QString helpText(const QStringList& arguments) const;

    QCommandLineParser parser_;
    QCommandLineOption driver_;
    std::vector<RunOptions> groups_;
    std::vector<CountArguments> arguments_;
};
