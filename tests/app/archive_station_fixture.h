#pragma once

// The archive through the real window and the simulated tester: two sensors
// to read, the reads an archive holds, and the window's commands.
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "app/archive_window.h"
#include "app/read_archive.h"
#include "station_fixture.h"

inline const std::string kSensorA =
    "executor \"Jan Kowalski\" \"30-418\" \"Kraków\" \"Długa 17\"\n"
    "executor-id \"EX-0427\"\nsensor-number \"2310457\"\npairing \"PR-88213\"\n"
    "sensor-type \"MS-401\"\nproduction-date \"03/23\"\n"
    "max-current-h \"12.5\"\nmin-current-h \"11.0\"\nmax-current-l \"20.5\"\nmin-current-l "
    "\"4.0\"\n"
    "log-samples 130 list 0x807B 0x0028 0x2000 0xFFFF 12.3H 4.0";
inline const std::string kSensorB = "sensor-number \"9990001\"\nlog-samples 300 curve 5.0 12.0";

// The words kSensorA's log carries: the list repeated up to 130 samples.
inline std::vector<std::uint16_t> wordsOfSensorA() {
    const std::uint16_t list[] = {0x807B, 0x0028, 0x2000, 0xFFFF, 0x807B, 0x0028};
    std::vector<std::uint16_t> words;
    for (int k = 0; k < 130; ++k) words.push_back(list[k % 6]);
    return words;
}

inline std::vector<ArchivedRead> storedReads(const QString& file) {
    ReadArchive archive(file);
    std::vector<ArchivedRead> reads;
    archive.forEach({}, [&](const ArchivedRead& read) { reads.push_back(read); });
    return reads;
}

inline QString pdfText(const QString& file) {
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!text.waitForFinished()) return QString();
    return QString::fromUtf8(text.readAllStandardOutput());
}

class StationArchive : public StationTest {
protected:
    inline static const QByteArray kJunk = QByteArray(8192, '\x5A');

    // Reads one sensor after another, each with its own scenario.
    void readSensor(const std::string& scenario) {
        start(scenario);
        identify();
        read();
    }

    // Puts bytes that are no archive where the station keeps its archive.
    void wreckArchive() {
        QFile garbage(archivePath());
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write(kJunk);
    }

    // The message names where the wrecked file went, and it went untouched.
    void expectSetAsideUntouched(const QString& message) {
        const QString setAside = message.section('\n', 1, 1);
        EXPECT_TRUE(setAside.startsWith(archivePath() + QStringLiteral(".damaged-"))) << message.toStdString();
        QFile old(setAside);
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), kJunk) << "set aside untouched";
    }

    void printTo(const QString& file) {
        form->ExecutePrintDialog = [file](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(file);
            return true;
        };
        form->Button18Click();
    }

    ArchiveWindow* openArchive() {
        form->openArchiveWindow();
        return form->archiveWindow();
    }

    template <typename W>
    W* in(ArchiveWindow* window, const char* name) {
        W* widget = window->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void selectRow(ArchiveWindow* window, int row) {
        auto* list = in<QTableView>(window, "ArchiveList");
        list->selectRow(row);
    }

    QTemporaryDir files;
};
