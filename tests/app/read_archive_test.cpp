// The archive file on its own: what it keeps, its filters, its schema and
// migration, and what it does with a file it cannot use.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "app/read_archive.h"
#include "archive_query.h"
#include "test_support.h"

namespace {

ArchivedRead readOf(const QString& sensor, const QDateTime& at, int words = 3) {
    ArchivedRead read;
    read.readAt = at;
    read.sensorNumber = sensor;
    read.executorName = QString::fromUtf8("Zażółć \"gęślą\", jaźń");
    read.city = QString::fromUtf8("Łódź");
    read.maxCurrentH = QStringLiteral("12.5");
    for (int k = 0; k < words; ++k) read.samples.push_back(std::uint16_t(0x8000 | (k * 7)));
    return read;
}

class ArchiveFile : public ::testing::Test {
protected:
    QString file() const { return dir.filePath(QStringLiteral("archive.sqlite")); }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(ArchiveFile, KeepsEveryFieldAndWordOfARead) {
    ReadArchive archive(file());
    ArchivedRead read = readOf(QStringLiteral("2310457"),
                               QDateTime(QDate(2026, 3, 4), QTime(10, 20, 30, 456)), 300);
    read.complete = false;
    read.lastStep = 12;
    read.scale = 1;
    read.testerModel = QStringLiteral("Reader");
    archive.store(read);
    EXPECT_GT(read.id, 0);
    const ArchivedRead back = archive.load(read.id);
    EXPECT_EQ(back.readAt, read.readAt);
    EXPECT_FALSE(back.complete);
    EXPECT_EQ(back.lastStep, 12);
    EXPECT_EQ(back.scale, 1);
    EXPECT_EQ(back.executorName, read.executorName);
    EXPECT_EQ(back.city, read.city);
    EXPECT_EQ(back.testerModel, QStringLiteral("Reader"));
    EXPECT_EQ(back.pairing, QString()) << "an empty field stays empty";
    EXPECT_EQ(back.samples, read.samples);
    expectThrowWithMessage<EArchiveError>(
        [&] { archive.load(read.id + 1); },
        QStringLiteral("read %1 is not in the archive").arg(read.id + 1));
    EXPECT_EQ(scalar(file(), QStringLiteral("PRAGMA journal_mode")).toString(),
              QStringLiteral("wal"));
}

TEST_F(ArchiveFile, FiltersBySensorAndInclusiveDaysNewestFirst) {
    ReadArchive archive(file());
    const QDate day(2026, 5, 10);
    const struct {
        const char* sensor;
        QDateTime at;
    } reads[] = {
        {"A1", QDateTime(day.addDays(-1), QTime(23, 59, 59))},
        {"B2", QDateTime(day, QTime(0, 0))},
        {"A1", QDateTime(day, QTime(23, 59, 59, 999))},
        {"A1", QDateTime(day.addDays(1), QTime(0, 0))},
    };
    for (const auto& entry : reads) {
        ArchivedRead read = readOf(QString::fromLatin1(entry.sensor), entry.at);
        archive.store(read);
    }
    EXPECT_EQ(archive.count({}), 4);
    EXPECT_EQ(archive.count({QStringLiteral("A1"), {}, {}, {}}), 3);
    EXPECT_EQ(archive.count({QStringLiteral(" A1 "), {}, {}, {}}), 3)
        << "spaces around a typed number";
    EXPECT_EQ(archive.count({QStringLiteral("A"), {}, {}, {}}), 0) << "the whole number";
    EXPECT_EQ(archive.count({{}, day, day, {}}), 2);
    EXPECT_EQ(archive.count({QStringLiteral("A1"), day, {}, {}}), 2);
    EXPECT_EQ(archive.count({{}, {}, day.addDays(-1), {}}), 1);

    std::vector<QDateTime> order;
    archive.forEach({}, [&](const ArchivedRead& read) { order.push_back(read.readAt); });
    ASSERT_EQ(order.size(), 4u);
    EXPECT_TRUE(std::is_sorted(order.rbegin(), order.rend())) << "newest first";

    const auto rows = archive.list({QStringLiteral("B2"), {}, {}, {}}, 10);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].sensorNumber, QStringLiteral("B2"));

    // Page by page, each after the last row of the one before.
    std::vector<qint64> paged;
    for (auto page = archive.list({}, 3); !page.empty(); page = archive.list({}, 3, &page.back()))
        for (const ListedRead& row : page) paged.push_back(row.id);
    std::vector<qint64> all;
    archive.forEach({}, [&](const ArchivedRead& read) { all.push_back(read.id); });
    EXPECT_EQ(paged, all);
}

TEST_F(ArchiveFile, AFirstVersionArchiveIsMigratedWithItsReads) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
        db.setDatabaseName(file());
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        for (const char* sql : {
                 "CREATE TABLE schema_version (version INTEGER NOT NULL)",
                 "INSERT INTO schema_version VALUES (1)",
                 "CREATE TABLE reads (id INTEGER PRIMARY KEY, read_at TEXT NOT NULL, complete "
                 "INTEGER NOT NULL,"
                 " last_step INTEGER NOT NULL, tester_number TEXT NOT NULL, tester_model TEXT NOT "
                 "NULL,"
                 " executor_name TEXT NOT NULL, postal_code TEXT NOT NULL, city TEXT NOT NULL,"
                 " street TEXT NOT NULL, executor_id TEXT NOT NULL, sensor_number TEXT NOT NULL,"
                 " pairing TEXT NOT NULL, sensor_type TEXT NOT NULL, production_date TEXT NOT NULL,"
                 " max_current_h TEXT NOT NULL, min_current_h TEXT NOT NULL, max_current_l TEXT "
                 "NOT NULL,"
                 " min_current_l TEXT NOT NULL, scale INTEGER NOT NULL, samples BLOB NOT NULL)",
                 "INSERT INTO reads VALUES (7, '2025-01-02 03:04:05.000', 1, 17, 'T1', 'Reader', "
                 "'N', 'P', 'C',"
                 " 'S', 'E', '555', 'PR', 'TY', '01/25', '1.0', '2.0', '3.0', '4.0', 2, x'7B80')",
             }) {
            ASSERT_TRUE(query.exec(QString::fromLatin1(sql))) << sql;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v1"));

    ReadArchive archive(file());
    const ArchivedRead old = archive.load(7);
    EXPECT_EQ(old.sensorNumber, QStringLiteral("555"));
    EXPECT_EQ(old.samples, std::vector<std::uint16_t>{0x807B});
    EXPECT_EQ(old.station, QString());
    ArchivedRead fresh = readOf(QStringLiteral("555"), QDateTime::currentDateTime());
    fresh.station = QStringLiteral("bench-2");
    archive.store(fresh);
    EXPECT_EQ(archive.load(fresh.id).station, QStringLiteral("bench-2"));
    EXPECT_EQ(archive.count({QStringLiteral("555"), {}, {}, {}}), 2);
    EXPECT_EQ(scalar(file(), QStringLiteral("SELECT version FROM schema_version")).toInt(),
              ReadArchive::kSchemaVersion);
}

TEST_F(ArchiveFile, AnArchiveOfANewerStationIsLeftAlone) {
    ReadArchive(file()).open();
    ASSERT_TRUE(scalar(file(), QStringLiteral("UPDATE schema_version SET version = 99")).isNull());
    ReadArchive archive(file());
    ArchivedRead read = readOf(QStringLiteral("1"), QDateTime::currentDateTime());
    expectThrowWithMessage<EArchiveError>(
        [&] { archive.store(read); },
        file() + QStringLiteral(" was written by a newer station (schema 99)"));
    EXPECT_TRUE(archive.takeSetAsideFileName().isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.damaged-*")}, QDir::Files).size(), 0);
}

TEST_F(ArchiveFile, AGarbageFileIsSetAsideAndANewArchiveTakesTheRead) {
    QFile garbage(file());
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    QByteArray junk;
    for (int i = 0; i < 20000; ++i) junk.append(char(i * 37 + 11));
    garbage.write(junk);
    garbage.close();

    ReadArchive archive(file());
    ArchivedRead read = readOf(QStringLiteral("1"), QDateTime::currentDateTime());
    archive.store(read);
    const QString setAside = archive.takeSetAsideFileName();
    ASSERT_FALSE(setAside.isEmpty());
    EXPECT_TRUE(archive.takeSetAsideFileName().isEmpty()) << "told once";
    QFile old(setAside);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), junk);
    EXPECT_EQ(archive.count({}), 1);
    EXPECT_EQ(scalar(file(), QStringLiteral("PRAGMA integrity_check")).toString(),
              QStringLiteral("ok"));
}

TEST_F(ArchiveFile, ADamagedPageFoundWhileStoringSetsTheFileAside) {
    {
        ReadArchive archive(file());
        for (int n = 0; n < 50; ++n) {
            ArchivedRead read =
                readOf(QStringLiteral("S%1").arg(n), QDateTime::currentDateTime(), 300);
            archive.store(read);
        }
    }
    // Keep the header, wreck every page after the first.
    QFile damaged(file());
    ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
    const qint64 size = damaged.size();
    ASSERT_GT(size, 8192);
    damaged.seek(4096);
    damaged.write(QByteArray(int(size - 4096), '\xA5'));
    damaged.close();

    ReadArchive archive(file());
    ArchivedRead read = readOf(QStringLiteral("new"), QDateTime::currentDateTime());
    archive.store(read);
    EXPECT_FALSE(archive.takeSetAsideFileName().isEmpty());
    EXPECT_EQ(archive.count({}), 1);
}
