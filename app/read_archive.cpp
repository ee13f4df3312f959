// The archive on either back end: opening, the schema and its migrations,
// storing one read per transaction, and the queries behind the archive
// window and the exports. What only the SQLite file has (WAL, the set-aside
// of a damaged file) is in archive_file.cpp, the PostgreSQL connection in
// archive_postgresql.cpp.
#include "app/read_archive.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <QVariant>
#include <array>
#include <atomic>

#include "app/archive_backend.h"
#include "app/archive_schema.h"

namespace {

using archive_schema::kTextColumns;

constexpr const char* kTimeFormat = "yyyy-MM-dd HH:mm:ss.zzz";
constexpr const char* kDayFormat = "yyyy-MM-dd";

// Reads come from the archive this many at a time, so that an export of a
// large archive never holds all of it in memory (PostgreSQL's driver
// fetches a whole result at once).
constexpr int kPageSize = 500;

// The record's text fields in the order of kTextColumns.
template <typename Read>
auto textFields(Read& read) {
    return std::array{
        &read.testerNumber, &read.testerModel, &read.executorName,   &read.postalCode,
        &read.city,         &read.street,      &read.executorId,     &read.sensorNumber,
        &read.pairing,      &read.sensorType,  &read.productionDate, &read.maxCurrentH,
        &read.minCurrentH,  &read.maxCurrentL, &read.minCurrentL,    &read.station};
}

QByteArray packSamples(const std::vector<std::uint16_t>& words) {
    QByteArray bytes;
    bytes.reserve(qsizetype(words.size() * 2));
    for (std::uint16_t word : words) {
        bytes.append(char(word & 0xFF));
        bytes.append(char(word >> 8));
    }
    return bytes;
}

std::vector<std::uint16_t> unpackSamples(const QByteArray& bytes) {
    std::vector<std::uint16_t> words(std::size_t(bytes.size() / 2));
    for (std::size_t k = 0; k < words.size(); ++k) {
        const auto low = std::uint8_t(bytes[qsizetype(2 * k)]);
        const auto high = std::uint8_t(bytes[qsizetype(2 * k + 1)]);
        words[k] = std::uint16_t(low | high << 8);
    }
    return words;
}

ArchivedRead readFrom(const QSqlQuery& query) {
    const QSqlRecord record = query.record();
    const auto value = [&](const char* column) {
        return query.value(record.indexOf(QLatin1String(column)));
    };
    ArchivedRead read;
    read.id = value("id").toLongLong();
    read.readAt = QDateTime::fromString(value("read_at").toString(), QLatin1String(kTimeFormat));
    read.complete = value("complete").toInt() != 0;
    read.lastStep = value("last_step").toInt();
    const auto fields = textFields(read);
    for (std::size_t i = 0; i < fields.size(); ++i) *fields[i] = value(kTextColumns[i]).toString();
    read.uuid = value("read_uuid").toString();
    read.scale = value("scale").toInt() == 1 ? 1 : 2;
    read.samples = unpackSamples(value("samples").toByteArray());
    return read;
}

QString insertStatement() {
    QStringList columns{QStringLiteral("read_at"),   QStringLiteral("complete"),
                        QStringLiteral("last_step"), QStringLiteral("scale"),
                        QStringLiteral("samples"),   QStringLiteral("read_uuid")};
    for (const char* column : kTextColumns) columns << QLatin1String(column);
    // A read that is there already (a store retried after its commit was
    // lost, a second copy of an archive) is left as it is.
    return QStringLiteral("INSERT INTO reads (%1) VALUES (%2) ON CONFLICT (read_uuid) DO NOTHING")
        .arg(columns.join(','), QStringLiteral("?,").repeated(columns.size()).chopped(1));
}

}  // namespace

ReadArchive::ReadArchive(QString location, ArchiveUse use)
    : location_(std::move(location)), use_(use) {
    static std::atomic<int> serial{0};
    connectionName_ = QStringLiteral("quorvan-archive-%1").arg(++serial);
}

ReadArchive::~ReadArchive() {
    closeConnection();
}

void ReadArchive::open() {
    // After a failed statement a server connection may be dead: the next
    // use connects afresh rather than fail on the old one.
    if (db_.isOpen() && !reconnect_) return;
    reconnect_ = false;
    try {
        connect();
    } catch (const EArchiveDamaged& damage) {
        handleDamage(damage.Message());
        connect();
    }
}

// A query that finds the file damaged is asked again of the new archive
// that took its place.
template <typename Operation>
auto ReadArchive::retryAfterDamage(Operation operation) {
    try {
        return operation();
    } catch (const EArchiveDamaged& damage) {
        handleDamage(damage.Message());
        return operation();
    }
}

// A read, or a run of reads, from a damaged file is gone with it: the
// caller learns that it was set aside rather than get an empty answer.
template <typename Operation>
void ReadArchive::withoutRetry(Operation operation) {
    try {
        operation();
    } catch (const EArchiveDamaged& damage) {
        handleDamage(damage.Message());
        throw EArchiveError(
            QStringLiteral("the archive was damaged and has been set aside as %1").arg(setAside_));
    }
}

// Open only once the schema is up to date: an archive that refused it
// (read only, from a newer station, a role without the right to create
// it) is tried afresh by the next call.
void ReadArchive::connect() {
    openConnection();
    try {
        migrate();
    } catch (...) {
        closeConnection();
        throw;
    }
}

void ReadArchive::openConnection() {
    closeConnection();
    if (!location_.error().isEmpty()) throw EArchiveError(location_.error());
    if (location_.isPostgreSQL()) {
        db_ = openPostgreSQL(location_, connectionName_);
    } else {
        openFile();
    }
}

void ReadArchive::closeConnection() {
    if (!db_.isValid()) return;
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

QString ReadArchive::takeSetAsideFileName() {
    return std::exchange(setAside_, QString());
}

// The version as the archive holds it, 0 for one without the station's schema.
int ReadArchive::storedVersion() {
    QSqlQuery table = exec(archive_schema::versionTableQuery(location_.kind()));
    if (!table.next() || table.value(0).toInt() == 0) return 0;
    QSqlQuery current = exec(QStringLiteral("SELECT version FROM schema_version"));
    return current.next() ? current.value(0).toInt() : 0;
}

void ReadArchive::migrate() {
    if (!location_.isPostgreSQL() && use_ == ArchiveUse::Station) useWriteAheadLog();
    // An archive that is up to date is opened without a write transaction,
    // so that opening never waits for another station's store.
    const int stored = storedVersion();
    if (stored == kSchemaVersion) return;
    if (stored > kSchemaVersion)
        throw EArchiveError(QStringLiteral("%1 was written by a newer station (schema %2)")
                                .arg(location())
                                .arg(stored));
    if (use_ == ArchiveUse::Export && stored == 0)
        throw EArchiveError(QStringLiteral("%1 holds no archive").arg(location()));
    try {
        inWriteTransaction([this] { runMigrations(); });
    } catch (const EArchiveError& error) {
        if (!location_.isPostgreSQL() || lastState_ != QLatin1String(kInsufficientPrivilege)) throw;
        throw EArchiveError(
            missingSchemaRights(location_, stored, kSchemaVersion, error.Message()));
    }
}

void ReadArchive::runMigrations() {
    const QString lock = archive_schema::migrationLock(location_.kind());
    if (!lock.isEmpty()) exec(lock);
    exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"));
    QSqlQuery current = exec(QStringLiteral("SELECT version FROM schema_version"));
    int version = 0;
    if (current.next()) {
        version = current.value(0).toInt();
    } else {
        exec(QStringLiteral("INSERT INTO schema_version (version) VALUES (0)"));
    }
    current.finish();
    // Another station may have brought it up to date while this one waited.
    if (version > kSchemaVersion)
        throw EArchiveError(QStringLiteral("%1 was written by a newer station (schema %2)")
                                .arg(location())
                                .arg(version));
    for (; version < kSchemaVersion; ++version) {
        for (const QString& statement : archive_schema::migration(location_.kind(), version))
            exec(statement);
        exec(QStringLiteral("UPDATE schema_version SET version = %1").arg(version + 1));
    }
}

template <typename Operation>
void ReadArchive::inWriteTransaction(Operation operation) {
    exec(archive_schema::beginWrite(location_.kind()));
    try {
        operation();
        exec(QStringLiteral("COMMIT"));
    } catch (...) {
        if (db_.isOpen()) QSqlQuery(db_).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

void ReadArchive::store(ArchivedRead& read) {
    retryAfterDamage([&] {
        open();
        inWriteTransaction([&] { insert(read); });
    });
}

int ReadArchive::storeAll(std::vector<ArchivedRead>& reads) {
    int added = 0;
    retryAfterDamage([&] {
        open();
        added = 0;
        inWriteTransaction([&] {
            for (ArchivedRead& read : reads) added += insert(read) ? 1 : 0;
        });
    });
    return added;
}

// True when the read was not there before; either way it takes the id the
// archive keeps it under.
bool ReadArchive::insert(ArchivedRead& read) {
    if (read.uuid.isEmpty()) read.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QSqlQuery query(db_);
    query.prepare(insertStatement());
    query.addBindValue(read.readAt.toString(QLatin1String(kTimeFormat)));
    query.addBindValue(read.complete ? 1 : 0);
    query.addBindValue(read.lastStep);
    query.addBindValue(read.scale);
    query.addBindValue(packSamples(read.samples));
    query.addBindValue(read.uuid);
    for (const QString* field : textFields(read))
        query.addBindValue(field->isNull() ? QStringLiteral("") : *field);
    if (!query.exec()) fail(QStringLiteral("cannot store the read"), query);
    const bool added = query.numRowsAffected() > 0;
    QSqlQuery id(db_);
    id.prepare(QStringLiteral("SELECT id FROM reads WHERE read_uuid = ?"));
    id.addBindValue(read.uuid);
    if (!id.exec() || !id.next()) fail(QStringLiteral("cannot store the read"), id);
    read.id = id.value(0).toLongLong();
    return added;
}

QSqlQuery ReadArchive::exec(const QString& sql) {
    QSqlQuery query(db_);
    if (!query.exec(sql)) fail(sql.section(' ', 0, 1), query);
    return query;
}

void ReadArchive::fail(const QString& what, const QSqlQuery& query) {
    const QSqlError error = query.lastError();
    if (location_.isPostgreSQL()) {
        lastState_ = error.nativeErrorCode();
        reconnect_ = true;
        throw EArchiveError(QStringLiteral("%1: %2").arg(what, serverMessage(error)));
    }
    const QString message = QStringLiteral("%1: %2").arg(what, error.text());
    if (damaged(query)) throw EArchiveDamaged(message);
    throw EArchiveError(message);
}

QSqlQuery ReadArchive::select(const QString& columns, const ReadFilter& filter, const QString& tail,
                              bool forwardOnly, const QString& condition,
                              const QVariantList& conditionValues) {
    open();
    QStringList conditions;
    QVariantList values;
    if (!filter.sensor.trimmed().isEmpty()) {
        conditions << QStringLiteral("sensor_number = ?");
        values << filter.sensor.trimmed();
    }
    if (!filter.station.trimmed().isEmpty()) {
        conditions << QStringLiteral("station = ?");
        values << filter.station.trimmed();
    }
    if (filter.from.isValid()) {
        conditions << QStringLiteral("read_at >= ?");
        values << filter.from.toString(QLatin1String(kDayFormat));
    }
    if (filter.to.isValid()) {
        conditions << QStringLiteral("read_at < ?");
        values << filter.to.addDays(1).toString(QLatin1String(kDayFormat));
    }
    if (!condition.isEmpty()) {
        conditions << condition;
        values << conditionValues;
    }
    QSqlQuery query(db_);
    query.setForwardOnly(forwardOnly);
    const QString where =
        conditions.isEmpty() ? QString() : QStringLiteral(" WHERE ") + conditions.join(u" AND ");
    query.prepare(QStringLiteral("SELECT %1 FROM reads%2 %3").arg(columns, where, tail));
    for (const QVariant& value : values) query.addBindValue(value);
    if (!query.exec()) fail(QStringLiteral("cannot query the archive"), query);
    return query;
}

int ReadArchive::count(const ReadFilter& filter) {
    return retryAfterDamage([&] {
        QSqlQuery query = select(QStringLiteral("COUNT(*)"), filter, QString());
        if (!query.next()) fail(QStringLiteral("cannot count the reads"), query);
        return query.value(0).toInt();
    });
}

ArchivedRead ReadArchive::load(qint64 id) {
    ArchivedRead read;
    withoutRetry([&] {
        open();
        QSqlQuery query(db_);
        query.prepare(QStringLiteral("SELECT * FROM reads WHERE id = ?"));
        query.addBindValue(id);
        if (!query.exec()) fail(QStringLiteral("cannot load read %1").arg(id), query);
        if (!query.next()) {
            if (query.lastError().isValid())
                fail(QStringLiteral("cannot load read %1").arg(id), query);
            throw EArchiveError(QStringLiteral("read %1 is not in the archive").arg(id));
        }
        read = readFrom(query);
    });
    return read;
}

// Page after page, each starting after the last read of the one before:
// reads stored meanwhile neither repeat nor shift one out.
void ReadArchive::forEach(const ReadFilter& filter,
                          const std::function<void(const ArchivedRead&)>& visit, Order order) {
    const bool newest = order == Order::NewestFirst;
    const QString orderBy = newest ? QStringLiteral("ORDER BY read_at DESC, id DESC LIMIT %1")
                                   : QStringLiteral("ORDER BY read_at, id LIMIT %1");
    const QString after = newest ? QStringLiteral("(read_at < ? OR (read_at = ? AND id < ?))")
                                 : QStringLiteral("(read_at > ? OR (read_at = ? AND id > ?))");
    withoutRetry([&] {
        QString lastAt;
        qint64 lastId = 0;
        for (bool first = true;; first = false) {
            QSqlQuery query = select(QStringLiteral("*"), filter, orderBy.arg(kPageSize), true,
                                     first ? QString() : after, {lastAt, lastAt, lastId});
            int rows = 0;
            while (query.next()) {
                const ArchivedRead read = readFrom(query);
                lastAt = query.value(QStringLiteral("read_at")).toString();
                lastId = read.id;
                ++rows;
                visit(read);
            }
            // A damaged page halfway through ends the rows as quietly as the last one.
            if (query.lastError().isValid()) fail(QStringLiteral("cannot read the archive"), query);
            if (rows < kPageSize) return;
        }
    });
}

std::vector<ListedRead> ReadArchive::list(const ReadFilter& filter, int limit,
                                          const ListedRead* after) {
    return retryAfterDamage([&] {
        QSqlQuery query = select(
            QStringLiteral("id, read_at, sensor_number, sensor_type, tester_number, complete, "
                           "station"),
            filter, QStringLiteral("ORDER BY read_at DESC, id DESC LIMIT %1").arg(limit), true,
            after ? QStringLiteral("(read_at < ? OR (read_at = ? AND id < ?))") : QString(),
            after ? QVariantList{after->readAt, after->readAt, after->id} : QVariantList());
        std::vector<ListedRead> rows;
        while (query.next()) {
            ListedRead row;
            row.id = query.value(0).toLongLong();
            row.readAt = query.value(1).toString();
            row.sensorNumber = query.value(2).toString();
            row.sensorType = query.value(3).toString();
            row.testerNumber = query.value(4).toString();
            row.complete = query.value(5).toInt() != 0;
            row.station = query.value(6).toString();
            rows.push_back(std::move(row));
        }
        if (query.lastError().isValid()) fail(QStringLiteral("cannot list the reads"), query);
        return rows;
    });
}
