#include "station_fixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <dlfcn.h>

#include "app/read_archive.h"
#include "link/d2xx_library.h"

namespace {

using ReloadFunction = int (*)();

// Loaded once for the test program and kept: the station's own loads and
// frees then only count references, and FtSimReload starts each test anew.
ReloadFunction simulatorReload() {
    static void* library = dlopen(QUORVAN_SIM_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    static auto reload = library ? reinterpret_cast<ReloadFunction>(dlsym(library, "FtSimReload"))
                                 : nullptr;
    return reload;
}

QTemporaryDir& transcriptDir() {
    static QTemporaryDir dir;
    return dir;
}

}  // namespace

void StationTest::SetUp() {
    ASSERT_NE(simulatorReload(), nullptr) << dlerror();
    previousHandler_ = setMessageBoxHandler([this](const QString& text, const QString& caption) {
        messages << caption + ": " + text;
    });
    static int serial = 0;
    ASSERT_TRUE(archiveDir_.isValid());
    setArchiveLocation(archivePath());
    previousArchiveVariable_ = qgetenv("QUORVAN_ARCHIVE");
    qputenv("QUORVAN_ARCHIVE", archivePath().toLocal8Bit());
    transcriptPath_ = transcriptDir().filePath(QStringLiteral("wire-%1.log").arg(++serial)).toStdString();
}

void StationTest::TearDown() {
    form.reset();
    setMessageBoxHandler(previousHandler_);
    setD2xxLibraryFileName("libftd2xx.so");
    setArchiveLocation(QString());
    qputenv("QUORVAN_ARCHIVE", previousArchiveVariable_);
}

namespace {

void setScenario(const std::string& scenario) {
    const std::string text = "reply-delay 0\nstatus-cost 0\n" + scenario + "\n";
    setenv("FTD2XX_SIM", text.c_str(), 1);
}

}  // namespace

void StationTest::start(const std::string& scenario) {
    setScenario(scenario);
    setenv("FTD2XX_SIM_LOG", transcriptPath_.c_str(), 1);
    ASSERT_EQ(simulatorReload()(), 0) << "scenario errors, see stderr";
    form = std::make_unique<TForm1>();
}

void StationTest::identify() {
    loadDriver();
    ASSERT_TRUE(form->DllLoaded);
    poll();
}

void StationTest::attachSensor(const std::string& scenario) {
    setScenario(scenario);
    poll();
    ASSERT_TRUE(form->Button1->isEnabled()) << "the tester is identified again";
}

void StationTest::showActive() {
    form->show();
    form->Timer6Timer();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
}

void StationTest::read() {
    form->Button1Click();
    for (int tick = 0; form->Timer1->isActive() && tick < 40; ++tick) form->Timer1Timer();
    EXPECT_FALSE(form->Timer1->isActive()) << "the read sequence ends";
}

QStringList StationTest::calls() const {
    QFile file(QString::fromStdString(transcriptPath_));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList result;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
        if (!line.startsWith('#')) result << line;
    return result;
}

QStringList StationTest::writes() const {
    QStringList result;
    for (const QString& line : calls())
        if (line.startsWith(QStringLiteral("write "))) result << line.mid(6).section(QStringLiteral(" ->"), 0, 0);
    return result;
}

int StationTest::countCalls(const QString& prefix) const {
    int count = 0;
    for (const QString& line : calls()) count += line.startsWith(prefix);
    return count;
}

void StationTest::clearTranscript() { QFile::resize(QString::fromStdString(transcriptPath_), 0); }

std::string logOf(int count, const char* word) {
    return "log-samples " + std::to_string(count) + " list " + word;
}
