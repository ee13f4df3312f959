// The archive as an operator meets it in the window: the report file each
// print offers, what a read that got less than the window shows stores, and
// a damaged archive found by the archive window.
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include "archive_query.h"
#include "archive_station_fixture.h"

namespace {

// Sensor SN-4410: a production date and L currents of its own.
const std::string kSensor4410 =
    "sensor-number \"SN-4410\"\nproduction-date \"11/24\"\n"
    "max-current-h \"12.0\"\nmin-current-h \"10.5\"\nmax-current-l \"9.5\"\nmin-current-l \"3.1\"\n"
    "log-samples 61 list 12.0H 3.1";

QString today() {
    return QDate::currentDate().toString(Qt::ISODate);
}

}  // namespace

class OperatorArchive : public StationArchive {
protected:
    // Prints through the dialog seam and gives the file the dialog offered;
    // the operator accepts it as it is, or moves it into `folder`.
    QString printAsOffered(const QString& folder = QString()) {
        QString offered;
        form->ExecutePrintDialog = [&](QPrinter& printer) {
            offered = printer.outputFileName();
            if (!folder.isEmpty())
                printer.setOutputFileName(QDir(folder).filePath(QFileInfo(offered).fileName()));
            return true;
        };
        form->Button18Click();
        return offered;
    }

    QString inFiles(const QString& name) const { return files.filePath(name); }
    void expectOnlyWhatTheReadReceived(const std::string& withoutLog);
};

TEST_F(OperatorArchive, EveryPrintOffersTheReportOfTheReadBeingPrinted) {
    readSensor(kSensorA);
    const QString first = printAsOffered(files.path());
    EXPECT_EQ(QFileInfo(first).fileName(), QStringLiteral("Quorvan-2310457-%1.pdf").arg(today()));
    const QString reportA = inFiles(QStringLiteral("Quorvan-2310457-%1.pdf").arg(today()));
    ASSERT_TRUE(QFile::exists(reportA));

    attachSensor(kSensorB);
    read();
    EXPECT_EQ(printAsOffered(), inFiles(QStringLiteral("Quorvan-9990001-%1.pdf").arg(today())))
        << "the next sensor's own file, in the folder the operator chose";

    // A read of an earlier day, reprinted from the archive window.
    ArchivedRead earlier;
    earlier.readAt = QDateTime(QDate(2025, 11, 3), QTime(14, 5));
    earlier.sensorNumber = QStringLiteral("SN-4410");
    earlier.samples = {0x807B, 0x0028};
    ReadArchive(archivePath()).store(earlier);
    ArchiveWindow* window = openArchive();
    in<QLineEdit>(window, "ArchiveSensor")->setText(QStringLiteral("SN-4410"));
    selectRow(window, 0);
    QString reprinted;
    form->ExecutePrintDialog = [&](QPrinter& printer) {
        reprinted = printer.outputFileName();
        return true;
    };
    in<QPushButton>(window, "ArchivePrint")->click();
    EXPECT_EQ(reprinted, inFiles(QStringLiteral("Quorvan-SN-4410-2025-11-03.pdf")))
        << "named after the stored read and the day it was read";

    read();  // a fresh read after the reprint
    EXPECT_EQ(printAsOffered(), inFiles(QStringLiteral("Quorvan-9990001-%1.pdf").arg(today())));

    const QString textA = pdfText(reportA);
    if (textA.isEmpty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    EXPECT_TRUE(textA.contains(QStringLiteral("2310457")));
    EXPECT_FALSE(textA.contains(QStringLiteral("9990001"))) << "no later print replaced it";
    EXPECT_TRUE(pdfText(inFiles(QStringLiteral("Quorvan-SN-4410-2025-11-03.pdf")))
                    .contains(QStringLiteral("SN-4410")));
}

// Two sensor numbers that make the same file name: the file offered for the
// second holds the first one's report, and the real print dialog asks
// before it would replace it.
TEST_F(OperatorArchive, AnOfferedFileHoldingAnotherReportGetsTheOverwriteQuestion) {
    if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "this machine has printers";
    readSensor("sensor-number \"2310457\"");
    printAsOffered(files.path());
    const QString file = inFiles(QStringLiteral("Quorvan-2310457-%1.pdf").arg(today()));
    QFile report(file);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QByteArray before = report.readAll();
    report.close();

    attachSensor("sensor-number \"23/10 457\"");
    read();
    form->ExecutePrintDialog = nullptr;  // the dialog itself
    QString question;
    bool dialogShown = false;
    QObject scope;  // the timers below go with the test
    auto* answer = new QTimer(&scope);
    QObject::connect(answer, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || !box->isVisible()) continue;
            question = box->text();
            answer->stop();
            box->button(QMessageBox::No)->click();
        }
    });
    QTimer::singleShot(0, &scope, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialogShown = true;
        answer->start(20);
        // "Print", with the file offered.
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        if (QPushButton* print = buttons ? buttons->button(QDialogButtonBox::Ok) : nullptr)
            print->click();
        if (dialog->isVisible()) dialog->reject();
    });
    form->Button18Click();
    ASSERT_TRUE(dialogShown);
    EXPECT_TRUE(question.contains(file)) << question.toStdString();
    EXPECT_TRUE(question.contains(QStringLiteral("overwrite"))) << question.toStdString();
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_EQ(report.readAll(), before) << "answered No: the first sensor's report stays";
}

// After sensor SN-4410, a sensor whose read gets no log: the window keeps
// SN-4410's production date and L currents, as the read sequence says; the
// archive, the traceability record, must not credit them to this read.
void OperatorArchive::expectOnlyWhatTheReadReceived(const std::string& withoutLog) {
    readSensor(kSensor4410);
    attachSensor("sensor-number \"7700125\"\n" + withoutLog);
    read();
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(form->Label32->Caption(), QStringLiteral("11/24")) << "the window keeps it";
    EXPECT_EQ(form->Label1->Caption(), QStringLiteral("9.5"));
    EXPECT_EQ(form->Label35->Caption(), QStringLiteral("3.1"));

    const auto reads = storedReads(archivePath());
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[1].productionDate, QStringLiteral("11/24"));
    EXPECT_EQ(reads[1].maxCurrentL, QStringLiteral("9.5"));
    const ArchivedRead& latest = reads[0];
    EXPECT_TRUE(latest.complete);
    EXPECT_NE(latest.executorName, QStringLiteral("---")) << "the executor steps ran";
    for (const QString* field :
         {&latest.sensorNumber, &latest.pairing, &latest.sensorType, &latest.productionDate,
          &latest.maxCurrentH, &latest.minCurrentH, &latest.maxCurrentL, &latest.minCurrentL})
        EXPECT_EQ(*field, QStringLiteral("---"));
    EXPECT_TRUE(latest.samples.empty());

    // And so the export that leaves the station.
    ArchiveWindow* window = openArchive();
    window->ChooseExportTarget = [this](bool) { return inFiles(QStringLiteral("reads.csv")); };
    in<QPushButton>(window, "ArchiveExportCsv")->click();
    QFile csv(inFiles(QStringLiteral("reads.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().split('\n');
    ASSERT_GE(rows.size(), 3);
    EXPECT_FALSE(rows[1].contains("11/24")) << rows[1].toStdString();
    EXPECT_FALSE(rows[1].contains("9.5")) << rows[1].toStdString();
    EXPECT_TRUE(rows[2].contains("11/24")) << rows[2].toStdString();
}

TEST_F(OperatorArchive, AReadWithoutALogStoresDashesForWhatItDidNotReceive) {
    expectOnlyWhatTheReadReceived("log-samples 0");
}

TEST_F(OperatorArchive, AReadWhoseLogNeverArrivesStoresDashesForWhatItDidNotReceive) {
    expectOnlyWhatTheReadReceived("no-reply log-header");
}

TEST_F(OperatorArchive, ADamagedArchiveFoundByTheWindowIsToldAtOnce) {
    wreckArchive();
    start(kSensorA);
    showActive();
    QTest::keyClick(form.get(), Qt::Key_F3);
    ASSERT_NE(form->archiveWindow(), nullptr);
    ASSERT_EQ(messages.size(), 1) << "said as the window opens, not with the next read";
    EXPECT_TRUE(messages[0].startsWith(
        QString::fromUtf8("INFO: Plik archiwum był uszkodzony. Odłożono go jako\n")))
        << messages[0].toStdString();
    expectSetAsideUntouched(messages[0]);
    EXPECT_EQ(in<QLabel>(form->archiveWindow(), "ArchiveCount")->text(),
              QString::fromUtf8("Odczytów: 0"));

    identify();
    read();
    EXPECT_EQ(messages.size(), 1) << "told once: the read goes into the new archive";
    EXPECT_EQ(storedReads(archivePath()).size(), 1u);
}

// The damage lies in the oldest reads only, which the list never fetches:
// the window opens without a word, and the export that reads them all is
// where it is found.
TEST_F(OperatorArchive, DamageFoundByAnExportFromTheWindowIsToldAtOnce) {
    {
        ArchivedRead first;
        first.readAt = QDateTime(QDate(2025, 1, 1), QTime(0, 0));
        first.samples = {0x807B, 0x0028};
        ReadArchive(archivePath()).store(first);
    }
    // 299 more reads, a second apart, the oldest first in the file; the
    // list fetches the newest 200 only.
    scalar(
        archivePath(),
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 299) "
            "INSERT INTO reads (read_at, complete, last_step, tester_number, tester_model,"
            " executor_name, postal_code, city, street, executor_id, sensor_number, pairing,"
            " sensor_type, production_date, max_current_h, min_current_h, max_current_l,"
            " min_current_l, scale, samples, station) "
            "SELECT strftime('%Y-%m-%d %H:%M:%S.000', '2025-01-01', '+' || i || ' seconds'), 1, 17,"
            " '', '', '', '', '', '', '', 'S' || i, '', '', '', '', '', '', '', 2, samples, ''"
            " FROM n, (SELECT samples FROM reads LIMIT 1)"));
    scalar(archivePath(), QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    const int page =
        scalar(archivePath(), QStringLiteral("SELECT pageno FROM dbstat WHERE name = 'reads' AND "
                                             "pagetype = 'leaf' ORDER BY path LIMIT 1"))
            .toInt();
    if (page == 0) GTEST_SKIP() << "this SQLite has no dbstat table";
    ASSERT_EQ(scalar(archivePath(), QStringLiteral("SELECT COUNT(*) FROM reads")).toInt(), 300);
    {
        QFile file(archivePath());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(qint64(page - 1) * 4096);
        file.write(QByteArray(4096, '\xA5'));
    }
    QFile damaged(archivePath());
    ASSERT_TRUE(damaged.open(QIODevice::ReadOnly));
    const QByteArray before = damaged.readAll();
    damaged.close();

    start(kSensorA);
    ArchiveWindow* window = openArchive();
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    ASSERT_EQ(in<QLabel>(window, "ArchiveCount")->text(), QString::fromUtf8("Odczytów: 300"));
    window->ChooseExportTarget = [this](bool) { return inFiles(QStringLiteral("reads.csv")); };
    in<QPushButton>(window, "ArchiveExportCsv")->click();

    ASSERT_EQ(messages.size(), 2) << messages.join('\n').toStdString();
    const QString setAside = messages[0].section('\n', 1, 1);
    EXPECT_TRUE(setAside.startsWith(archivePath() + QStringLiteral(".damaged-")))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[1].startsWith(QString::fromUtf8("INFO: Eksport nie powiódł się:\n")))
        << messages[1].toStdString();
    EXPECT_TRUE(messages[1].contains(setAside)) << messages[1].toStdString();
    EXPECT_FALSE(QFile::exists(inFiles(QStringLiteral("reads.csv")))) << "no half export";
    QFile old(setAside);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), before) << "set aside untouched";
}

// A large archive opens with its newest page; scrolling fetches the rest.
TEST_F(OperatorArchive, TheListFetchesAPageAtATimeAsItScrolls) {
    {
        ArchivedRead first;
        first.readAt = QDateTime(QDate(2025, 1, 1), QTime(0, 0));
        ReadArchive(archivePath()).store(first);
    }
    scalar(archivePath(),
           QStringLiteral(
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 449) "
               "INSERT INTO reads (read_at, complete, last_step, tester_number, tester_model,"
               " executor_name, postal_code, city, street, executor_id, sensor_number, pairing,"
               " sensor_type, production_date, max_current_h, min_current_h, max_current_l,"
               " min_current_l, scale, samples, station, read_uuid) "
               "SELECT strftime('%Y-%m-%d %H:%M:%S.000', '2025-01-01', '+' || (i / 2) || "
               "' seconds'), 1, 17, '', '', '', '', '', '', '', 'S' || i, '', '', '', '', '', "
               "'', '', 2, x'', '', 'uuid-' || i FROM n"));
    start(kSensorA);
    ArchiveWindow* window = openArchive();
    auto* list = in<QTableView>(window, "ArchiveList");
    QAbstractItemModel* model = list->model();
    EXPECT_EQ(in<QLabel>(window, "ArchiveCount")->text(), QString::fromUtf8("Odczytów: 450"));
    EXPECT_EQ(model->rowCount(), 200) << "the first page only";
    while (model->canFetchMore({})) model->fetchMore({});
    ASSERT_EQ(model->rowCount(), 450);
    QStringList sensors;
    for (int row = 0; row < 450; ++row) sensors << model->index(row, 2).data().toString();
    EXPECT_EQ(sensors.first(), QStringLiteral("S449")) << "newest first";
    EXPECT_EQ(sensors.last(), QString()) << "the oldest, stored first";
    EXPECT_EQ(QSet<QString>(sensors.begin(), sensors.end()).size(), 450) << "none twice";
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}
