// Times the read archive where an operator feels it: storing one read after
// a read's last step, and opening the archive list, over an archive that
// already holds many reads, in an SQLite file and, when asked, in a
// PostgreSQL database. A program, not a test.
//   bench_archive [--reads N] [--postgresql URI|auto] [--screenshot FILE.png]
// --postgresql URI fills and times that database, which must be empty (its
// role needs the right to create the tables); `auto` starts a server of its
// own on this machine for the run (fsync on, as a real server has it).
// With --screenshot it also opens the newest read into the station's window
// and saves the archive window over it, as the README shows it.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "app/Unit1.h"
#include "app/archive_location.h"
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
// transaction with its number, time and uuid changed.
void fillFile(const QString& file, int reads) {
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
        change.prepare(
            QStringLiteral("UPDATE one SET sensor_number = ?, read_at = ?, read_uuid = ?"));
        copy.prepare(QStringLiteral("INSERT INTO reads SELECT * FROM one"));
        for (int n = 1; n < reads; ++n) {
            const ArchivedRead read = sampleRead(n);
            change.addBindValue(read.sensorNumber);
            change.addBindValue(read.readAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
            change.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
            change.exec();
            copy.exec();
        }
        query.exec(QStringLiteral("COMMIT"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

// The same on the server, in one statement: sampleRead's numbers and times.
void fillDatabase(const QString& location, int reads) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("fill"));
        db.setConnectOptions(ArchiveLocation(location).connectionString());
        db.open();
        QSqlQuery query(db);
        const QStringList columns{
            "complete",      "last_step",     "tester_number", "tester_model",
            "executor_name", "postal_code",   "city",          "street",
            "executor_id",   "pairing",       "sensor_type",   "production_date",
            "max_current_h", "min_current_h", "max_current_l", "min_current_l",
            "scale",         "samples",       "station"};
        const QString copied = columns.join(QStringLiteral(", "));
        const bool done = query.exec(
            QStringLiteral("INSERT INTO reads (read_at, sensor_number, read_uuid, %1) "
                           "SELECT to_char(timestamp '2026-01-01 07:00' + (n / 400) * interval "
                           "'1 day' + (n % 400) * interval '1 minute', "
                           "'YYYY-MM-DD HH24:MI:SS.MS'), (2310000 + n % 5000)::text, "
                           "gen_random_uuid()::text, %1 "
                           "FROM generate_series(1, %2) AS n, (SELECT * FROM reads LIMIT 1) AS one")
                .arg(copied)
                .arg(reads - 1));
        if (!done) std::fprintf(stderr, "fill: %s\n", qPrintable(query.lastError().text()));
        // What autovacuum leaves behind on a server in use: statistics, and
        // the visibility map that lets a count read the index alone.
        query.exec(QStringLiteral("VACUUM ANALYZE reads"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

void fill(const QString& location, int reads) {
    {
        ReadArchive archive(location);
        ArchivedRead first = sampleRead(0);
        archive.store(first);
    }
    if (ArchiveLocation(location).isPostgreSQL()) {
        fillDatabase(location, reads);
    } else {
        fillFile(location, reads);
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double milliseconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

struct Figures {
    double storeMedian = 0, storeMax = 0, listFirst = 0, listMedian = 0;
};

void benchmarkStore(const QString& location, Figures& figures) {
    ReadArchive archive(location);
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
    figures.storeMedian = median(times);
    figures.storeMax = *std::max_element(times.begin(), times.end());
    std::printf(
        "store one read (300 samples, own transaction), median of 50: %.2f ms, max %.2f ms\n",
        figures.storeMedian, figures.storeMax);
}

void benchmarkList(TForm1& station, Figures& figures) {
    std::vector<double> times;
    for (int n = 0; n < 5; ++n) {
        delete station.archiveWindow();  // a cold open of the window each time
        QElapsedTimer timer;
        timer.start();
        station.openArchiveWindow();
        QApplication::processEvents();
        times.push_back(milliseconds(timer));
    }
    figures.listFirst = times.front();
    figures.listMedian = median(times);
    const auto* count = station.archiveWindow()->findChild<QLabel*>(QStringLiteral("ArchiveCount"));
    std::printf(
        "open the archive window (count + first rows, newest first): first %.1f ms, "
        "median of 5 %.1f ms [%s]\n",
        times.front(), median(times), qPrintable(count->text()));

    ReadArchive archive(archiveLocation());
    archive.open();  // the counts, not the connection
    for (const auto& [name, filter] : {
             std::pair{"one sensor's reads", ReadFilter{QStringLiteral("2310042"), {}, {}, {}}},
             std::pair{"one week's reads",
                       ReadFilter{{}, QDate(2026, 3, 1), QDate(2026, 3, 7), {}}},
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

// A server of the run's own, from the archive tests' script, with fsync on;
// an empty database on it for the station's role.
class OwnServer {
public:
    bool start() {
        if (!run(QStringLiteral("setup"), {QStringLiteral("--durable")})) return false;
        QFile file(state_.filePath(QStringLiteral("server.env")));
        if (!file.open(QIODevice::ReadOnly)) return false;
        QString socket;
        for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
            if (line.startsWith(QStringLiteral("QUORVAN_PG_PORT="))) port_ = line.section('=', 1);
            if (line.startsWith(QStringLiteral("QUORVAN_PG_SOCKET=")))
                socket = line.section('=', 1);
        }
        // The bench connects as the administrator over the socket, which
        // the server trusts: no password to keep.
        location_ =
            QStringLiteral("postgresql://postgres@/postgres?host=%1&port=%2").arg(socket, port_);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("own"));
        db.setConnectOptions(ArchiveLocation(location_).connectionString());
        const bool made = db.open() && QSqlQuery(db).exec(QStringLiteral("CREATE DATABASE bench"));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("own"));
        location_.replace(QStringLiteral("/postgres?"), QStringLiteral("/bench?"));
        return made;
    }
    ~OwnServer() { run(QStringLiteral("cleanup"), {}); }
    const QString& location() const { return location_; }

private:
    bool run(const QString& command, const QStringList& extra) {
        return QProcess::execute(QStringLiteral(QUORVAN_PG_SERVER_SCRIPT),
                                 QStringList{command, state_.path()} + extra) == 0;
    }
    QTemporaryDir state_;
    QString port_, location_;
};

Figures benchmark(const QString& location, int reads, const QString& screenshot) {
    Figures figures;
    std::printf("\n== %s\n", qPrintable(location));
    QElapsedTimer timer;
    timer.start();
    fill(location, reads);
    std::printf("archive of %d reads filled in %.1f s", reads, milliseconds(timer) / 1000);
    if (!ArchiveLocation(location).isPostgreSQL())
        std::printf(" (%.1f MB)", double(QFileInfo(location).size()) / 1e6);
    std::printf("\n");
    setArchiveLocation(location);
    benchmarkStore(location, figures);
    TForm1 station;
    station.FormClose();  // no driver, no polling: the window only shows
    benchmarkList(station, figures);
    if (!screenshot.isEmpty()) saveScreenshot(station, screenshot);
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int reads = 100000;
    QString screenshot, postgresql;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == QStringLiteral("--reads"))
            reads = std::max(1, arguments[i + 1].toInt());
        if (arguments[i] == QStringLiteral("--screenshot")) screenshot = arguments[i + 1];
        if (arguments[i] == QStringLiteral("--postgresql")) postgresql = arguments[i + 1];
    }
    QTemporaryDir dir;
    const Figures file =
        benchmark(dir.filePath(QStringLiteral("archive.sqlite")), reads, screenshot);
    if (postgresql.isEmpty()) return 0;

    std::optional<OwnServer> own;
    if (postgresql == QStringLiteral("auto")) {
        own.emplace();
        if (!own->start()) {
            std::fprintf(stderr, "bench_archive: cannot start a PostgreSQL server of its own\n");
            return 1;
        }
        postgresql = own->location();
    }
    const Figures server = benchmark(postgresql, reads, QString());
    std::printf("\n%d reads               SQLite file   PostgreSQL\n", reads);
    std::printf("store, median of 50   %8.2f ms  %8.2f ms\n", file.storeMedian, server.storeMedian);
    std::printf("store, max of 50      %8.2f ms  %8.2f ms\n", file.storeMax, server.storeMax);
    std::printf("open the list, first  %8.1f ms  %8.1f ms\n", file.listFirst, server.listFirst);
    std::printf("open the list, median %8.1f ms  %8.1f ms\n", file.listMedian, server.listMedian);
    return 0;
}
