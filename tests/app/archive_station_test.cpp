// The archive through the real window and the simulated tester: what a read
// stores, how a stored read comes back, and what a failing store does.
#include <QCheckBox>
#include <QCursor>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "archive_station_fixture.h"

TEST_F(StationArchive, ACompleteReadIsStoredWithEveryFieldAndTheRawWords) {
    readSensor(kSensorA);
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    const auto reads = storedReads(archivePath());
    ASSERT_EQ(reads.size(), 1u);
    const ArchivedRead& read = reads[0];
    EXPECT_TRUE(read.complete);
    EXPECT_EQ(read.testerNumber, form->NR->Caption());
    EXPECT_EQ(read.testerModel, form->TYPE->Caption());
    EXPECT_EQ(read.executorName, QStringLiteral("Jan Kowalski"));
    EXPECT_EQ(read.postalCode, QStringLiteral("30-418"));
    EXPECT_EQ(read.city, QString::fromUtf8("Kraków"));
    EXPECT_EQ(read.street, QString::fromUtf8("Długa 17"));
    EXPECT_EQ(read.executorId, QStringLiteral("EX-0427"));
    EXPECT_EQ(read.sensorNumber, QStringLiteral("2310457"));
    EXPECT_EQ(read.pairing, QStringLiteral("PR-88213"));
    EXPECT_EQ(read.sensorType, QStringLiteral("MS-401"));
    EXPECT_EQ(read.productionDate, QStringLiteral("03/23"));
    EXPECT_EQ(read.maxCurrentH, QStringLiteral("12.5"));
    EXPECT_EQ(read.minCurrentH, QStringLiteral("11.0"));
    EXPECT_EQ(read.maxCurrentL, QStringLiteral("20.5"));
    EXPECT_EQ(read.minCurrentL, QStringLiteral("4.0"));
    EXPECT_EQ(read.scale, 1) << "20.5 mA in the L state chose the 30 mA chart";
    EXPECT_EQ(read.samples, wordsOfSensorA());
    EXPECT_LE(qAbs(read.readAt.secsTo(QDateTime::currentDateTime())), 60);
}

TEST_F(StationArchive, ReopenedReadRedrawsTheChartsAndDetailsAndPrintsTheSameReport) {
    readSensor(kSensorA);
    const QImage screen = form->Image1->Bitmap().copy();
    const QImage print = form->Image3->Bitmap().copy();
    const auto texts = form->SampleText;
    const QString afterRead = files.filePath(QStringLiteral("after-read.pdf"));
    printTo(afterRead);

    readSensor(kSensorB);  // a new window over another sensor
    ASSERT_NE(form->Image1->Bitmap(), screen);
    ArchiveWindow* window = openArchive();
    selectRow(window, 0);
    in<QPushButton>(window, "ArchiveOpen")->click();
    ASSERT_EQ(form->Label19->Caption(), QStringLiteral("9990001")) << "the newest read comes first";
    selectRow(window, 1);
    in<QPushButton>(window, "ArchiveOpen")->click();

    EXPECT_EQ(form->Label19->Caption(), QStringLiteral("2310457"));
    EXPECT_EQ(form->Label15->Caption(), QString::fromUtf8("Kraków"));
    EXPECT_EQ(form->Label1->Caption(), QStringLiteral("20.5"));
    EXPECT_EQ(form->Image1->Bitmap(), screen) << "the screen chart, pixel for pixel";
    EXPECT_EQ(form->Image3->Bitmap(), print) << "the print chart, pixel for pixel";
    EXPECT_EQ(form->SampleTextCount, 130);
    EXPECT_EQ(form->SampleText, texts);
    EXPECT_NE(form->ShownArchiveId, 0);

    form->show();
    form->Timer6Timer();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QCursor::setPos(form->Image1->mapToGlobal(QPoint(46 + 3 * 10, 100)));
    form->Image1Click();
    EXPECT_TRUE(form->Panel91->isVisible());
    EXPECT_EQ(form->StringGrid1->Cells(0, 6), QStringLiteral("0:10"));
    EXPECT_EQ(form->StringGrid1->Cells(1, 6), texts[10]);

    const QString reprint = files.filePath(QStringLiteral("reprint.pdf"));
    form->ExecutePrintDialog = [reprint](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(reprint);
        return true;
    };
    in<QPushButton>(window, "ArchivePrint")->click();
    const QString expected = pdfText(afterRead);
    if (expected.isEmpty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    EXPECT_EQ(pdfText(reprint), expected);

    form->Button1Click();
    EXPECT_EQ(form->ShownArchiveId, 0) << "a new read leaves the archive view";
}

TEST_F(StationArchive, ACablePulledMidReadStoresWhatTheFinishedStepsGot) {
    // Identification, language query and steps 0 to 11 get through; the
    // second log page finds the cable pulled.
    readSensor("cable-pulled after 14\nsensor-number \"2310457\"\nlog-samples 300 ramp 1.0 0.1");
    EXPECT_EQ(messages, QStringList{"INFO: Interface not connected !"});
    EXPECT_EQ(form->Label19->Caption(), QStringLiteral("---")) << "the window blanks the fields";
    const auto reads = storedReads(archivePath());
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_FALSE(reads[0].complete);
    EXPECT_EQ(reads[0].lastStep, 12);
    EXPECT_EQ(reads[0].sensorNumber, QStringLiteral("2310457"));
    ASSERT_EQ(reads[0].samples.size(), 60u) << "the first page only";
    EXPECT_EQ(reads[0].samples[59], 10 + 59) << "1.0 mA + 59 x 0.1 mA in tenths";

    readSensor("cable-pulled after 7\nsensor-number \"2310458\"\npairing \"PR-1\"");
    const auto later = storedReads(archivePath());
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[0].pairing, QStringLiteral("PR-1"));
    EXPECT_EQ(later[0].sensorType, QStringLiteral("---")) << "the step the fault cut short";
    EXPECT_EQ(later[0].productionDate, QStringLiteral("---"))
        << "never reached, not the previous read's";
    EXPECT_TRUE(later[0].samples.empty());
}

TEST_F(StationArchive, AStoreThatFailsKeepsTheReadOnScreenAndStoresItWithTheNext) {
    QFile blocker(files.filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString unreachable = blocker.fileName() + QStringLiteral("/archive.sqlite");
    start(kSensorA);
    identify();
    setArchiveLocation(unreachable);
    read();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(
        QString::fromUtf8("INFO: Odczytu nie udało się zapisać w archiwum ") + unreachable))
        << messages[0].toStdString();
    EXPECT_EQ(form->Label19->Caption(), QStringLiteral("2310457"));
    EXPECT_TRUE(form->Button18->isEnabled()) << "still printable";

    setArchiveLocation(archivePath());
    read();
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(storedReads(archivePath()).size(), 2u)
        << "the read that failed came in with the next";
}

TEST_F(StationArchive, ADamagedArchiveIsSetAsideAndTheMessageSaysWhere) {
    wreckArchive();
    readSensor(kSensorA);
    ASSERT_EQ(messages.size(), 1);
    expectSetAsideUntouched(messages[0]);
    EXPECT_EQ(storedReads(archivePath()).size(), 1u);
}

TEST_F(StationArchive, TheWindowOpensTheArchiveFromF3AndItsContextMenu) {
    start(kSensorA);
    showActive();
    EXPECT_EQ(form->contextMenuPolicy(), Qt::ActionsContextMenu);
    EXPECT_TRUE(form->actions().contains(form->ArchiveAction));
    EXPECT_EQ(form->ArchiveAction->text(), QString::fromUtf8("Archiwum odczytów"));
    QTest::keyClick(form.get(), Qt::Key_F3);
    ASSERT_NE(form->archiveWindow(), nullptr);
    EXPECT_TRUE(form->archiveWindow()->isVisible());
    form->close();
    EXPECT_FALSE(form->archiveWindow()->isVisible())
        << "it closes with the station, which ends the program";
}

TEST_F(StationArchive, TheListFiltersBySensorAndDaysAndCountsWhatItShows) {
    readSensor(kSensorA);
    readSensor(kSensorB);
    readSensor(kSensorB);
    ArchiveWindow* window = openArchive();
    auto* count = in<QLabel>(window, "ArchiveCount");
    auto* list = in<QTableView>(window, "ArchiveList");
    EXPECT_EQ(count->text(), QString::fromUtf8("Odczytów: 3"));
    EXPECT_EQ(list->model()->rowCount(), 3);
    in<QLineEdit>(window, "ArchiveSensor")->setText(QStringLiteral("2310457"));
    EXPECT_EQ(count->text(), QString::fromUtf8("Odczytów: 1"));
    EXPECT_EQ(list->model()->index(0, 2).data().toString(), QStringLiteral("2310457"));
    in<QLineEdit>(window, "ArchiveSensor")->clear();

    const QDate today = QDate::currentDate();
    in<QDateEdit>(window, "ArchiveFrom")->setDate(today.addDays(1));
    in<QCheckBox>(window, "ArchiveFromEnabled")->setChecked(true);
    EXPECT_EQ(count->text(), QString::fromUtf8("Odczytów: 0"));
    in<QDateEdit>(window, "ArchiveFrom")->setDate(today);
    in<QDateEdit>(window, "ArchiveTo")->setDate(today);
    in<QCheckBox>(window, "ArchiveToEnabled")->setChecked(true);
    EXPECT_EQ(count->text(), QString::fromUtf8("Odczytów: 3"));
    in<QDateEdit>(window, "ArchiveTo")->setDate(today.addDays(-1));
    EXPECT_EQ(list->model()->rowCount(), 0);

    in<QDateEdit>(window, "ArchiveTo")->setDate(today);
    auto* station = in<QLineEdit>(window, "ArchiveStation");
    station->setText(QStringLiteral("bench-9"));
    EXPECT_EQ(count->text(), QString::fromUtf8("Odczytów: 0")) << "no read of that station";
    station->setText(stationName());
    EXPECT_EQ(count->text(), QString::fromUtf8("Odczytów: 3"));
    EXPECT_EQ(list->model()->index(0, 6).data().toString(), stationName());
    station->clear();

    readSensor(kSensorA);  // a new window: its archive window starts unfiltered
    EXPECT_EQ(in<QLabel>(openArchive(), "ArchiveCount")->text(), QString::fromUtf8("Odczytów: 4"));
}

TEST_F(StationArchive, TheArchiveWindowFollowsTheLanguageSwitch) {
    readSensor(kSensorA);
    ArchiveWindow* window = openArchive();
    auto* list = in<QTableView>(window, "ArchiveList");
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Archiwum odczytów"));
    EXPECT_EQ(list->model()->headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("Numer czujnika"));
    EXPECT_EQ(list->model()->index(0, 5).data().toString(), QString::fromUtf8("pełny"));
    form->RadioButton1->setChecked(true);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Read archive"));
    EXPECT_EQ(in<QLabel>(window, "ArchiveCount")->text(), QStringLiteral("Reads: 1"));
    EXPECT_EQ(in<QPushButton>(window, "ArchivePrint")->text(), QStringLiteral("Print"));
    EXPECT_EQ(list->model()->headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("Sensor number"));
    EXPECT_EQ(list->model()->index(0, 5).data().toString(), QStringLiteral("complete"));
    EXPECT_EQ(form->ArchiveAction->text(), QStringLiteral("Read archive"));
    form->RadioButton2->setChecked(true);
    EXPECT_EQ(in<QPushButton>(window, "ArchiveOpen")->text(), QString::fromUtf8("Otwórz"));
}

TEST_F(StationArchive, TheWindowExportsWhatItsFiltersShow) {
    readSensor(kSensorA);
    readSensor(kSensorB);
    ArchiveWindow* window = openArchive();
    in<QLineEdit>(window, "ArchiveSensor")->setText(QStringLiteral("9990001"));
    window->ChooseExportTarget = [this](bool folder) {
        return files.filePath(folder ? QStringLiteral("reports") : QStringLiteral("reads.csv"));
    };
    in<QPushButton>(window, "ArchiveExportCsv")->click();
    in<QPushButton>(window, "ArchiveExportPdf")->click();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith(QString::fromUtf8("INFO: Zapisano odczytów: 1\n")))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[1].startsWith(QString::fromUtf8("INFO: Zapisano odczytów: 1\n")))
        << messages[1].toStdString();
    QFile csv(files.filePath(QStringLiteral("reads.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count("\r\n"), 2) << "the header and one read";
    EXPECT_TRUE(QFile::exists(files.filePath(QStringLiteral("reads-samples.csv"))));
    EXPECT_EQ(QDir(files.filePath(QStringLiteral("reports")))
                  .entryList({QStringLiteral("Quorvan-9990001-*.pdf")})
                  .size(),
              1);
    EXPECT_EQ(form->Label19->Caption(), QStringLiteral("9990001"))
        << "the station's window keeps its read";
}
