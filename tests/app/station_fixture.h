#pragma once

// Drives the real window against the tester simulator, which the test
// program loads once so that the station's own dlopen("libftd2xx.so")
// finds it through the dynamic linker. Each test gets a scenario and a
// wire transcript of its own; message boxes are recorded, not shown.

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "app/Unit1.h"
#include "toolkit/message_box.h"

class StationTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window with the tester the scenario describes (replies
    // without delay, status calls free unless the scenario says otherwise).
    void start(const std::string& scenario);
    // What the timers would do: load the driver, poll once, run a whole read.
    void loadDriver() { form->Timer5Timer(); }
    void poll() { form->Timer3Timer(); }
    void identify();
    void read();
    // Puts another sensor on the tester while the window stays: the
    // simulator takes the new scenario at the station's next poll, which
    // finds the tester afresh and identifies it.
    void attachSensor(const std::string& scenario);
    // Shows the window, laid out as after start-up, and makes it the active
    // one, so that keys reach it.
    void showActive();

    // Transcript lines of the calls made (comments left out), and the bytes
    // written, one "02", "0B", "49 00" ... per write.
    QStringList calls() const;
    QStringList writes() const;
    int countCalls(const QString& prefix) const;
    void clearTranscript();

    // Each test stores its reads into an archive of its own, in this process
    // and in the programs it starts (QUORVAN_ARCHIVE).
    QString archivePath() const { return archiveDir_.filePath(QStringLiteral("archive.sqlite")); }

    std::unique_ptr<TForm1> form;
    QStringList messages;  // "CAPTION: text"

private:
    MessageBoxHandler previousHandler_;
    std::string transcriptPath_;
    QTemporaryDir archiveDir_;
    QByteArray previousArchiveVariable_;
};

// A scenario line for a log of `count` samples all with the same raw word.
std::string logOf(int count, const char* word);
