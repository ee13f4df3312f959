#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

#include "app/command_line.h"
#include "station_fixture.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

QStringList line(const std::vector<const char*>& arguments) {
    QStringList list{QStringLiteral("/usr/bin/quorvan")};
    for (const char* argument : arguments) list << QString::fromUtf8(argument);
    return list;
}

// A group of options as another part of the program adds it.
struct ExportGroup {
    QStringList seen;
    void add(CommandLine& commandLine) {
        commandLine.addGroup(
            [](QCommandLineParser& parser) {
                parser.addOption({QStringLiteral("export-csv"),
                                  QStringLiteral("Write the archive to <file>."),
                                  QStringLiteral("file")});
            },
            [this](const QCommandLineParser& parser) -> std::optional<int> {
                seen << parser.value(QStringLiteral("export-csv"));
                if (parser.isSet(QStringLiteral("export-csv"))) return 0;
                return std::nullopt;
            });
    }
};

}  // namespace

TEST(StationCommandLine, HelpAndVersionAnswerBeforeAnyApplication) {
    CommandLine commandLine;
    CaptureStdout();
    EXPECT_EQ(commandLine.parseEarly(line({"--version"})), 0);
    EXPECT_EQ(GetCapturedStdout(), "Quorvan v1.02.008\n");

    CaptureStdout();
    EXPECT_EQ(commandLine.parseEarly(line({"-h"})), 0);
    const std::string help = GetCapturedStdout();
    EXPECT_EQ(help.rfind("Usage: quorvan [options]\n", 0), 0u) << help;
    EXPECT_NE(help.find("--driver <path>"), std::string::npos) << help;
    EXPECT_NE(help.find("--version"), std::string::npos) << help;

    // Anything else waits for the application, which may own the option.
    CaptureStdout();
    EXPECT_EQ(commandLine.parseEarly(line({})), std::nullopt);
    EXPECT_EQ(commandLine.parseEarly(line({"-platform", "offscreen"})), std::nullopt);
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(StationCommandLine, WrongLinesEndWithStatus2AndTheReason) {
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{"--bogus"}, "quorvan: Unknown option 'bogus'.\n"},
        {{"sensor.csv"}, "quorvan: Unexpected argument 'sensor.csv'.\n"},
        {{"--driver"}, "quorvan: Missing value after '--driver'.\n"},
        {{"--driver", ""}, "quorvan: --driver needs the path of a library.\n"},
    };
    for (const auto& [arguments, reason] : cases) {
        CommandLine commandLine;
        CaptureStderr();
        EXPECT_EQ(commandLine.apply(line(arguments)), 2) << reason;
        EXPECT_EQ(GetCapturedStderr(), std::string(reason) + "Try 'quorvan --help'.\n");
    }
    CommandLine commandLine;
    EXPECT_EQ(commandLine.apply(line({})), std::nullopt) << "no options: the window opens";
}

TEST(StationCommandLine, AnotherGroupJoinsWithOneCall) {
    CommandLine commandLine;
    ExportGroup group;
    group.add(commandLine);

    CaptureStdout();
    commandLine.parseEarly(line({"--help"}));
    EXPECT_NE(GetCapturedStdout().find("--export-csv <file>"), std::string::npos);

    EXPECT_EQ(commandLine.apply(line({"--export-csv", "out.csv"})), 0) << "the group ends the run";
    EXPECT_EQ(commandLine.apply(line({})), std::nullopt) << "the group lets the window open";
    EXPECT_EQ(group.seen, (QStringList{QStringLiteral("out.csv"), QString()}));
}

class DriverOption : public StationTest {};

// The path given is loaded and nothing else, even where the search would
// find a driver (the test program holds one that the search finds).
TEST_F(DriverOption, LoadsTheLibraryGivenInsteadOfTheSearch) {
    CommandLine commandLine;
    ASSERT_EQ(commandLine.apply(line({"--driver", QUORVAN_SIM_LIBRARY})), std::nullopt);
    start("");
    loadDriver();
    EXPECT_TRUE(form->DllLoaded);
    EXPECT_TRUE(messages.isEmpty());
    form.reset();

    CommandLine missing;
    ASSERT_EQ(missing.apply(line({"--driver", "no-such-dir/libftd2xx.so"})), std::nullopt);
    start("");
    CaptureStderr();
    loadDriver();
    const std::string said = GetCapturedStderr();
    EXPECT_FALSE(form->DllLoaded);
    EXPECT_EQ(messages, QStringList{"INFO: Not find ftd2xx.dll"});
    // A relative path is taken from the working folder.
    const std::string expected = "quorvan: " + QDir::currentPath().toStdString() +
                                 "/no-such-dir/libftd2xx.so: cannot open shared object file";
    EXPECT_EQ(said.rfind(expected, 0), 0u) << said;
}

// The program itself, with no display at all.
TEST(StationProgram, AnswersHelpAndVersionWithoutADisplay) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    for (const char* option : {"--version", "--help"}) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QUORVAN_STATION_PROGRAM), {QString::fromLatin1(option)});
        ASSERT_TRUE(program.waitForFinished(30000)) << option;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << option;
        EXPECT_EQ(program.exitCode(), 0) << option << program.readAllStandardError().toStdString();
        const QByteArray output = program.readAllStandardOutput();
        EXPECT_TRUE(output.startsWith(option == std::string("--help") ? "Usage: quorvan"
                                                                      : "Quorvan v1.02.008"))
            << output.toStdString();
    }
}
