// The archive in a PostgreSQL database: the same records, filters and
// schema as the file, a store that is never kept twice, and what the
// station says when the database cannot be used.

#include "app/read_archive.h"
#include "postgres_fixture.h"
#include "test_support.h"

namespace {

ArchivedRead readOf(const QString& sensor, const QDateTime& at, const QString& station) {
    ArchivedRead read;
    read.readAt = at;
    read.sensorNumber = sensor;
    read.station = station;
    read.executorName = QString::fromUtf8("Zażółć \"gęślą\", jaźń");
    read.city = QString::fromUtf8("Łódź");
    read.maxCurrentH = QStringLiteral("12.5");
    for (int k = 0; k < 300; ++k) read.samples.push_back(std::uint16_t(0x8000 | (k * 7)));
    return read;
}

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& error) {
        return error.Message();
    }
    return QString();
}

}  // namespace

TEST_F(PostgresArchive, KeepsEveryFieldAndFiltersAsTheFileDoes) {
    ReadArchive archive(location);
    const QDate day(2026, 5, 10);
    ArchivedRead first = readOf(QStringLiteral("A1"), QDateTime(day, QTime(7, 5, 9, 321)),
                                QStringLiteral("bench-1"));
    first.complete = false;
    first.lastStep = 12;
    first.scale = 1;
    archive.store(first);
    for (const auto& [sensor, at, station] : {
             std::tuple{"A1", QDateTime(day.addDays(-1), QTime(23, 59, 59)), "bench-2"},
             std::tuple{"B2", QDateTime(day, QTime(0, 0)), "bench-2"},
             std::tuple{"A1", QDateTime(day.addDays(1), QTime(0, 0)), "bench-1"},
         }) {
        ArchivedRead read = readOf(QLatin1String(sensor), at, QLatin1String(station));
        archive.store(read);
    }
    const ArchivedRead back = archive.load(first.id);
    EXPECT_EQ(back.readAt, first.readAt);
    EXPECT_FALSE(back.complete);
    EXPECT_EQ(back.lastStep, 12);
    EXPECT_EQ(back.scale, 1);
    EXPECT_EQ(back.executorName, first.executorName);
    EXPECT_EQ(back.city, first.city);
    EXPECT_EQ(back.station, QStringLiteral("bench-1"));
    EXPECT_EQ(back.uuid, first.uuid);
    EXPECT_EQ(back.samples, first.samples);

    EXPECT_EQ(archive.count({}), 4);
    EXPECT_EQ(archive.count({QStringLiteral("A1"), {}, {}, {}}), 3);
    EXPECT_EQ(archive.count({{}, day, day, {}}), 2);
    EXPECT_EQ(archive.count({{}, {}, {}, QStringLiteral("bench-2")}), 2);
    EXPECT_EQ(archive.count({QStringLiteral("A1"), {}, {}, QStringLiteral("bench-1")}), 2);
    std::vector<QDateTime> order;
    archive.forEach({}, [&](const ArchivedRead& read) { order.push_back(read.readAt); });
    ASSERT_EQ(order.size(), 4u);
    EXPECT_TRUE(std::is_sorted(order.rbegin(), order.rend())) << "newest first";
    const auto rows = archive.list({{}, {}, {}, QStringLiteral("bench-2")}, 10);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].station, QStringLiteral("bench-2"));
    const auto all = archive.list({}, 10);
    ASSERT_EQ(all.size(), 4u);
    const auto after = archive.list({}, 10, &all[1]);
    ASSERT_EQ(after.size(), 2u) << "the page after the second read";
    EXPECT_EQ(after[0].id, all[2].id);
    EXPECT_EQ(
        server->adminValue(QStringLiteral("SELECT version FROM schema_version"), database).toInt(),
        ReadArchive::kSchemaVersion);
}

// The station's connection died after the server committed the read but
// before the station heard so: the retry finds it there.
TEST_F(PostgresArchive, AReadStoredAgainWithItsUuidIsKeptOnce) {
    ReadArchive archive(location);
    ArchivedRead read =
        readOf(QStringLiteral("7700125"), QDateTime::currentDateTime(), QStringLiteral("S"));
    archive.store(read);
    const qint64 id = read.id;
    ReadArchive retried(location);
    ArchivedRead again = read;
    again.id = 0;
    retried.store(again);
    EXPECT_EQ(again.id, id);
    EXPECT_EQ(rows(), 1);
}

TEST_F(PostgresArchive, TwoStationsMeetingAnEmptyDatabaseCreateItsSchemaOnce) {
    ReadArchive first(location), second(location);
    first.open();
    second.open();
    EXPECT_EQ(
        server->adminValue(QStringLiteral("SELECT COUNT(*) FROM schema_version"), database).toInt(),
        1);
}

TEST_F(PostgresArchive, WrongPasswordMissingDatabaseAndNoServerSayWhatIsWrong) {
    PasswordFile wrong(*server);
    wrong.add(QLatin1String(kStationRole), QStringLiteral("not-the-password"));
    const QString refused = errorOf([&] { ReadArchive(location).open(); });
    EXPECT_TRUE(refused.startsWith(QStringLiteral("cannot connect to %1: ").arg(location)))
        << refused.toStdString();
    EXPECT_TRUE(refused.contains(
        QStringLiteral("password authentication failed for user \"%1\"").arg(kStationRole)))
        << refused.toStdString();
    EXPECT_TRUE(refused.contains(QStringLiteral("~/.pgpass"))) << refused.toStdString();

    passwords.emplace(*server);  // the right password again
    passwords->add(QLatin1String(kStationRole), QLatin1String(kStationPassword));
    const QString missing = server->uri(QLatin1String(kStationRole), QStringLiteral("no_such_db"));
    const QString noDatabase = errorOf([&] { ReadArchive(missing).open(); });
    EXPECT_TRUE(noDatabase.contains(QStringLiteral("database \"no_such_db\" does not exist")))
        << noDatabase.toStdString();
    EXPECT_TRUE(noDatabase.contains(QStringLiteral("must be created on the server first")))
        << noDatabase.toStdString();

    const QString nowhere = QStringLiteral("postgresql://%1@127.0.0.1:1/quorvan").arg(kStationRole);
    const QString noServer = errorOf([&] { ReadArchive(nowhere).open(); });
    EXPECT_TRUE(noServer.contains(QStringLiteral("Connection refused"))) << noServer.toStdString();
}

TEST_F(PostgresArchive, ARoleThatMayNotCreateTheSchemaIsToldWhatIsMissing) {
    server->ensureRole(QStringLiteral("quorvan_reader"), QStringLiteral("Reader-1"));
    passwords->add(QStringLiteral("quorvan_reader"), QStringLiteral("Reader-1"));
    const QString asReader = server->uri(QStringLiteral("quorvan_reader"), database);
    const QString refused = errorOf([&] { ReadArchive(asReader).open(); });
    EXPECT_TRUE(refused.startsWith(
        QStringLiteral("the database %1 has no archive yet, and the role quorvan_reader may not "
                       "create its tables (")
            .arg(asReader)))
        << refused.toStdString();
    EXPECT_TRUE(refused.contains(QStringLiteral("permission denied for schema public")))
        << refused.toStdString();
    EXPECT_TRUE(refused.contains(QStringLiteral("GRANT CREATE ON SCHEMA")))
        << refused.toStdString();
    EXPECT_TRUE(
        server->adminValue(QStringLiteral("SELECT to_regclass('reads')::text"), database).isNull())
        << "nothing half made";

    ReadArchive(location).open();  // the owner creates it
    ArchivedRead read =
        readOf(QStringLiteral("1"), QDateTime::currentDateTime(), QStringLiteral("S"));
    const QString cannotStore = errorOf([&] { ReadArchive(asReader).store(read); });
    EXPECT_TRUE(cannotStore.contains(QStringLiteral("permission denied for table")))
        << cannotStore.toStdString();
}

// The README's floor with an owner that made the schema and a station
// role that may only read and add reads.
TEST_F(PostgresArchive, AStationRoleWithOnlySelectAndInsertStoresAndLists) {
    ReadArchive(location).open();  // the owner creates the tables
    server->ensureRole(QStringLiteral("quorvan_station"), QStringLiteral("Station-1"));
    passwords->add(QStringLiteral("quorvan_station"), QStringLiteral("Station-1"));
    ASSERT_TRUE(server->admin({QStringLiteral("GRANT SELECT, INSERT ON reads, schema_version TO "
                                              "quorvan_station")},
                              database));
    ReadArchive station(server->uri(QStringLiteral("quorvan_station"), database));
    ArchivedRead read =
        readOf(QStringLiteral("2310457"), QDateTime::currentDateTime(), QStringLiteral("bench-4"));
    station.store(read);
    EXPECT_GT(read.id, 0);
    EXPECT_EQ(station.count({}), 1);
    EXPECT_EQ(station.list({}, 10).size(), 1u);
}
