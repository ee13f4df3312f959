// Times the read archive where an operator feels it: storing one read after
// a read's last step, and opening the archive list, over an archive that
// already holds many reads. A program, not a test.
//   bench_archive [--reads N] [--screenshot FILE.png]
// With --screenshot it also opens the newest read into the station's window
// and saves the archive window over it, as the README shows it.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/Unit1.h"
#include "app/archive_window.h"
#include "app/read_archive.h"

namespace {

ArchivedRead sampleRead(int n) {
    ArchivedRead read;
    read.readAt =
        QDateTime(QDate(2026, 1, 1).addDays(n / 400), QTime(7, 0).addSecs((n % 400) * 60));
    read.testerNumber = QStringLiteral("T00451");
    read.testerModel = QStringLiteral("Sensor reader");
    read.executorName = QString::fromUtf8("Zakład Pomiarowy");
    read.sensorNumber = QString::number(2310000 + n % 5000);
    read.pairing = QStringLiteral("PR-%1").arg(88000 + n % 997);
    read.sensorType = QStringLiteral("MS-40%1").arg(n % 3);
    read.productionDate = QStringLiteral("03/23");
    read.maxCurrentH = QStringLiteral("12.5");
    read.minCurrentH = QStringLiteral("11.0");
    read.maxCurrentL = QStringLiteral("5.5");
    read.minCurrentL = QStringLiteral("4.0");
    read.station = QStringLiteral("bench-1");
    for (int k = 0; k < 300; ++k) {
        // Rest near 5 mA, three detections near 12 mA with the status flag.
        const bool detecting = (k % 100) >= 40 && (k % 100) < 55;
        const int tenths = detecting ? 120 + (k * 7 + n) % 5 : 50 + (k * 3 + n) % 4;
        read.samples.push_back(std::uint16_t(tenths | (detecting ? 0x8000 : 0)));
    }
    return read;
}

// Fills the archive quickly: one read stored the normal way, copied in one
// transaction with its number and time changed.
void fill(const QString& file, int reads) {
    {
        ReadArchive archive(file);
        ArchivedRead first = sampleRead(0);
        archive.store(first);
    }
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(file);
        db.open();
        QSqlQuery query(db);
        query.exec(QStringLiteral("CREATE TEMP TABLE one AS SELECT * FROM reads"));
        query.exec(QStringLiteral("UPDATE one SET id = NULL"));
        query.exec(QStringLiteral("BEGIN"));
        QSqlQuery change(db), copy(db);
        change.prepare(QStringLiteral("UPDATE one SET sensor_number = ?, read_at = ?"));
        copy.prepare(QStringLiteral("INSERT INTO reads SELECT * FROM one"));
        for (int n = 1; n < reads; ++n) {
            const ArchivedRead read = sampleRead(n);
            change.addBindValue(read.sensorNumber);
            change.addBindValue(read.readAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
            change.exec();
            copy.exec();
        }
        query.exec(QStringLiteral("COMMIT"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double milliseconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

void benchmarkStore(const QString& file) {
    ReadArchive archive(file);
    archive.open();
    std::vector<double> times;
    for (int n = 0; n < 50; ++n) {
        ArchivedRead read = sampleRead(900000 + n);
        read.readAt = QDateTime::currentDateTime();
        QElapsedTimer timer;
        timer.start();
        archive.store(read);
        times.push_back(milliseconds(timer));
    }
    std::printf(
        "store one read (300 samples, own transaction), median of 50: %.2f ms, max %.2f ms\n",
        median(times), *std::max_element(times.begin(), times.end()));
}

void benchmarkList(TForm1& station) {
    std::vector<double> times;
    for (int n = 0; n < 5; ++n) {
        delete station.archiveWindow();  // a cold open of the window each time
        QElapsedTimer timer;
        timer.start();
        station.openArchiveWindow();
        QApplication::processEvents();
        times.push_back(milliseconds(timer));
    }
    const auto* count = station.archiveWindow()->findChild<QLabel*>(QStringLiteral("ArchiveCount"));
    std::printf(
        "open the archive window (count + first rows, newest first): first %.1f ms, "
        "median of 5 %.1f ms [%s]\n",
        times.front(), median(times), qPrintable(count->text()));

    ReadArchive archive(archiveLocation());
    for (const auto& [name, filter] : {
             std::pair{"one sensor's reads", ReadFilter{QStringLiteral("2310042"), {}, {}, {}}},
             std::pair{"one week's reads", ReadFilter{{}, QDate(2026, 3, 1), QDate(2026, 3, 7), {}}},
         }) {
        QElapsedTimer timer;
        timer.start();
        const int found = archive.count(filter);
        std::printf("count %s: %d in %.1f ms\n", name, found, milliseconds(timer));
    }
}

void saveScreenshot(TForm1& station, const QString& file) {
    station.show();
    station.Timer6Timer();
    ArchiveWindow* window = station.archiveWindow();
    window->findChild<QTableView*>(QStringLiteral("ArchiveList"))->selectRow(0);
    window->openSelected();
    window->resize(640, 360);
    window->show();
    QApplication::processEvents();
    const QPixmap back = station.grab();
    const QPixmap front = window->grab();
    QImage shot(back.size(), QImage::Format_RGB32);
    QPainter painter(&shot);
    painter.drawPixmap(0, 0, back);
    const QPoint at(back.width() - front.width() - 24, back.height() - front.height() - 24);
    painter.fillRect(QRect(at + QPoint(4, 4), front.size()), QColor(0, 0, 0, 90));
    painter.drawPixmap(at, front);
    painter.end();
    shot.save(file);
    std::printf("screenshot: %s\n", qPrintable(file));
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int reads = 100000;
    QString screenshot;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QStringLiteral("--reads"))
            reads = std::max(1, arguments[i + 1].toInt());
        if (arguments[i] == QStringLiteral("--screenshot")) screenshot = arguments[i + 1];
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("archive.sqlite"));
    QElapsedTimer timer;
    timer.start();
    fill(file, reads);
    std::printf("archive of %d reads filled in %.1f s (%.1f MB)\n", reads,
                milliseconds(timer) / 1000, double(QFileInfo(file).size()) / 1e6);
    setArchiveLocation(file);
    benchmarkStore(file);
    TForm1 station;
    station.FormClose();  // no driver, no polling: the window only shows
    benchmarkList(station);
    if (!screenshot.isEmpty()) saveScreenshot(station, screenshot);
    return 0;
}
