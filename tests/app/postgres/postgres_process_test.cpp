// The PostgreSQL archive from other processes: two stations storing at once,
// the move of an SQLite archive into the database and back, and the exports
// and messages of the program run from the shell.
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <map>
#include <memory>

#include "app/read_archive.h"
#include "postgres_fixture.h"

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out, err;
};

// The station program as a shell user runs it, without a display.
ProgramRun station(const QStringList& arguments, const QString& archive = QString()) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    if (!archive.isEmpty()) environment.insert(QStringLiteral("QUORVAN_ARCHIVE"), archive);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUORVAN_STATION_PROGRAM), arguments);
    ProgramRun run;
    if (!program.waitForFinished(120000)) return run;
    run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.out = QString::fromUtf8(program.readAllStandardOutput());
    run.err = QString::fromUtf8(program.readAllStandardError());
    return run;
}

std::map<QString, ArchivedRead> readsByUuid(const QString& location) {
    ReadArchive archive(location, ArchiveUse::Export);
    std::map<QString, ArchivedRead> reads;
    archive.forEach({}, [&](const ArchivedRead& read) { reads[read.uuid] = read; });
    return reads;
}

void expectSameReads(const std::map<QString, ArchivedRead>& expected,
                     const std::map<QString, ArchivedRead>& actual) {
    ASSERT_EQ(actual.size(), expected.size());
    for (const auto& [uuid, read] : expected) {
        SCOPED_TRACE(uuid.toStdString());
        ASSERT_EQ(actual.count(uuid), 1u);
        const ArchivedRead& copy = actual.at(uuid);
        EXPECT_EQ(copy.readAt, read.readAt);
        EXPECT_EQ(copy.complete, read.complete);
        EXPECT_EQ(copy.lastStep, read.lastStep);
        for (const auto field :
             {&ArchivedRead::testerNumber, &ArchivedRead::testerModel, &ArchivedRead::executorName,
              &ArchivedRead::postalCode, &ArchivedRead::city, &ArchivedRead::street,
              &ArchivedRead::executorId, &ArchivedRead::sensorNumber, &ArchivedRead::pairing,
              &ArchivedRead::sensorType, &ArchivedRead::productionDate, &ArchivedRead::maxCurrentH,
              &ArchivedRead::minCurrentH, &ArchivedRead::maxCurrentL, &ArchivedRead::minCurrentL,
              &ArchivedRead::station})
            EXPECT_EQ(copy.*field, read.*field);
        EXPECT_EQ(copy.scale, read.scale);
        EXPECT_EQ(copy.samples, read.samples);
    }
}

// An archive of the station's first version, as benches still hold them.
void writeFirstVersionArchive(const QString& file) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
        db.setDatabaseName(file);
        db.open();
        QSqlQuery query(db);
        for (const char* sql : {
                 "CREATE TABLE schema_version (version INTEGER NOT NULL)",
                 "INSERT INTO schema_version VALUES (1)",
                 "CREATE TABLE reads (id INTEGER PRIMARY KEY, read_at TEXT NOT NULL,"
                 " complete INTEGER NOT NULL, last_step INTEGER NOT NULL,"
                 " tester_number TEXT NOT NULL, tester_model TEXT NOT NULL,"
                 " executor_name TEXT NOT NULL, postal_code TEXT NOT NULL, city TEXT NOT NULL,"
                 " street TEXT NOT NULL, executor_id TEXT NOT NULL, sensor_number TEXT NOT NULL,"
                 " pairing TEXT NOT NULL, sensor_type TEXT NOT NULL, production_date TEXT NOT NULL,"
                 " max_current_h TEXT NOT NULL, min_current_h TEXT NOT NULL,"
                 " max_current_l TEXT NOT NULL, min_current_l TEXT NOT NULL,"
                 " scale INTEGER NOT NULL, samples BLOB NOT NULL)",
                 "INSERT INTO reads VALUES (7, '2025-01-02 03:04:05.000', 0, 12, 'T1', 'Reader',"
                 " 'N', 'P', 'C', 'S', 'E', '555', 'PR', 'TY', '01/25', '1.0', '2.0', '3.0',"
                 " '---', 1, x'7B80')",
             })
            query.exec(QString::fromLatin1(sql));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v1"));
}

}  // namespace

TEST_F(PostgresArchive, TwoStationProcessesStoringAtOnceKeepAllTheirReads) {
    std::unique_ptr<QProcess> writers[2];
    const char* names[] = {"bench-1", "bench-2"};
    for (int i = 0; i < 2; ++i) {
        writers[i] = std::make_unique<QProcess>();
        writers[i]->start(QStringLiteral(QUORVAN_ARCHIVE_WRITER),
                          {location, QStringLiteral("200"), QLatin1String(names[i])});
    }
    for (auto& writer : writers) {
        ASSERT_TRUE(writer->waitForFinished(120000));
        EXPECT_EQ(writer->exitCode(), 0) << writer->readAllStandardError().toStdString();
    }
    EXPECT_EQ(rows(), 400);
    EXPECT_EQ(rows(QStringLiteral("WHERE station = 'bench-1'")), 200);
    EXPECT_EQ(
        server->adminValue(QStringLiteral("SELECT COUNT(DISTINCT read_uuid) FROM reads"), database)
            .toInt(),
        400);

    // The export from the shell, narrowed to one station.
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("bench-2.csv"));
    const ProgramRun run = station({QStringLiteral("--export-csv"), csv,
                                    QStringLiteral("--station"), QStringLiteral("bench-2")},
                                   location);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("200 reads written to ")))
        << run.out.toStdString();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 201) << "the header and bench-2's reads";
}

TEST_F(PostgresArchive, AnSQLiteArchiveMovesIntoTheDatabaseAndBackWithEveryRecord) {
    QTemporaryDir dir;
    const QString old = dir.filePath(QStringLiteral("bench.sqlite"));
    writeFirstVersionArchive(old);
    {
        ReadArchive archive(old);
        for (int n = 1; n <= 30; ++n) {
            ArchivedRead read;
            read.readAt = QDateTime(QDate(2026, 2, 1), QTime(8, 0)).addSecs(n * 61);
            read.sensorNumber = QStringLiteral("23104%1").arg(n, 2, 10, QLatin1Char('0'));
            read.executorName = QString::fromUtf8("Paweł Żółkiewski, \"QA\"");
            read.street = QStringLiteral("line one\nline two");
            read.station = QStringLiteral("bench-%1").arg(n % 3);
            read.scale = n % 2 + 1;
            for (int k = 0; k < n * 10; ++k) read.samples.push_back(std::uint16_t(k * 131 + n));
            archive.store(read);
        }
    }
    const auto original = readsByUuid(old);
    ASSERT_EQ(original.size(), 31u) << "the first version's read and 30 more";

    ProgramRun run = station({QStringLiteral("--copy-archive"), old, location});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(
        run.out.trimmed(),
        QStringLiteral("31 reads in %1: 31 copied to %2, 0 there already").arg(old, location));
    expectSameReads(original, readsByUuid(location));

    run = station({QStringLiteral("--copy-archive"), old, location});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("0 copied"))) << run.out.toStdString();
    EXPECT_EQ(rows(), 31) << "a second copy adds nothing";

    const QString back = dir.filePath(QStringLiteral("back/archive.sqlite"));
    run = station({QStringLiteral("--copy-archive"), location, back});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    expectSameReads(original, readsByUuid(back));

    for (const QStringList& wrong :
         {QStringList{QStringLiteral("--copy-archive"), old},
          QStringList{QStringLiteral("--copy-archive"), old, back, QStringLiteral("--sensor"),
                      QStringLiteral("1")}}) {
        EXPECT_EQ(station(wrong).exitCode, 2) << wrong.join(' ').toStdString();
    }
    run = station(
        {QStringLiteral("--copy-archive"), dir.filePath(QStringLiteral("none.sqlite")), location});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("no archive at"))) << run.err.toStdString();
}

TEST_F(PostgresArchive, ExportsFromTheShellSayWhyTheDatabaseCannotBeUsed) {
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("reads.csv"));
    ProgramRun run = station({QStringLiteral("--export-csv"), csv}, location);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("quorvan: %1 holds no archive").arg(location)))
        << run.err.toStdString() << " (an export never creates one)";
    EXPECT_TRUE(
        server->adminValue(QStringLiteral("SELECT to_regclass('reads')::text"), database).isNull());

    const QString missing = server->uri(QLatin1String(kStationRole), QStringLiteral("nope"));
    run = station({QStringLiteral("--export-csv"), csv}, missing);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("database \"nope\" does not exist")))
        << run.err.toStdString();

    PasswordFile wrong(*server);
    wrong.add(QLatin1String(kStationRole), QStringLiteral("not-the-password"));
    run = station({QStringLiteral("--export-pdf"), dir.filePath(QStringLiteral("pdf"))}, location);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("password authentication failed")))
        << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(csv));
}
