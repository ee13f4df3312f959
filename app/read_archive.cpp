// The archive file: opening (with the set-aside of a damaged file), the
// schema and its migrations, storing one read per transaction, and the
// queries behind the archive window and the exports.
#include "app/read_archive.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QVariant>
#include <array>
#include <atomic>

namespace {

// A file that SQLite finds damaged: the error that starts its set-aside.
class EArchiveDamaged : public EArchiveError {
public:
    using EArchiveError::EArchiveError;
};

// Waiting this long for another station's transaction is better than
// losing the read; the wait comes after the read's last step.
constexpr int kBusyTimeoutMs = 10000;

constexpr int kSqliteBusy = 5;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

constexpr const char* kTimeFormat = "yyyy-MM-dd HH:mm:ss.zzz";
constexpr const char* kDayFormat = "yyyy-MM-dd";

// Each step takes the schema from the version before it to its own.
const QStringList kMigrations[ReadArchive::kSchemaVersion] = {
    {QStringLiteral("CREATE TABLE reads ("
                    " id INTEGER PRIMARY KEY,"
                    " read_at TEXT NOT NULL,"
                    " complete INTEGER NOT NULL,"
                    " last_step INTEGER NOT NULL,"
                    " tester_number TEXT NOT NULL, tester_model TEXT NOT NULL,"
                    " executor_name TEXT NOT NULL, postal_code TEXT NOT NULL,"
                    " city TEXT NOT NULL, street TEXT NOT NULL, executor_id TEXT NOT NULL,"
                    " sensor_number TEXT NOT NULL, pairing TEXT NOT NULL,"
                    " sensor_type TEXT NOT NULL, production_date TEXT NOT NULL,"
                    " max_current_h TEXT NOT NULL, min_current_h TEXT NOT NULL,"
                    " max_current_l TEXT NOT NULL, min_current_l TEXT NOT NULL,"
                    " scale INTEGER NOT NULL,"
                    " samples BLOB NOT NULL)")},
    // The station that stored a read, for archives shared by several
    // benches; indexes for the newest-first list and the sensor filter.
    {QStringLiteral("ALTER TABLE reads ADD COLUMN station TEXT NOT NULL DEFAULT ''"),
     QStringLiteral("CREATE INDEX reads_by_time ON reads (read_at)"),
     QStringLiteral("CREATE INDEX reads_by_sensor ON reads (sensor_number, read_at)")},
};

const char* const kTextColumns[] = {
    "tester_number", "tester_model",  "executor_name",   "postal_code",
    "city",          "street",        "executor_id",     "sensor_number",
    "pairing",       "sensor_type",   "production_date", "max_current_h",
    "min_current_h", "max_current_l", "min_current_l",   "station",
};

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
    read.complete = value("complete").toBool();
    read.lastStep = value("last_step").toInt();
    const auto fields = textFields(read);
    for (std::size_t i = 0; i < fields.size(); ++i) *fields[i] = value(kTextColumns[i]).toString();
    read.scale = value("scale").toInt() == 1 ? 1 : 2;
    read.samples = unpackSamples(value("samples").toByteArray());
    return read;
}

QString& overriddenFileName() {
    static QString fileName;
    return fileName;
}

}  // namespace

QString archiveFileName() {
    if (!overriddenFileName().isEmpty()) return overriddenFileName();
    const QString fromEnvironment = qEnvironmentVariable("QUORVAN_ARCHIVE");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir(folder).filePath(QStringLiteral("archive.sqlite"));
}

void setArchiveFileName(const QString& fileName) {
    overriddenFileName() = fileName;
}

ReadArchive::ReadArchive(QString fileName, ArchiveUse use)
    : fileName_(std::move(fileName)), use_(use) {
    static std::atomic<int> serial{0};
    connectionName_ = QStringLiteral("quorvan-archive-%1").arg(++serial);
}

ReadArchive::~ReadArchive() {
    closeConnection();
}

void ReadArchive::open() {
    if (db_.isOpen()) return;
    // An export never creates an archive where there was none.
    if (use_ == ArchiveUse::Export && !QFileInfo::exists(fileName_))
        throw EArchiveError(QStringLiteral("no archive at %1").arg(fileName_));
    try {
        connect();
    } catch (const EArchiveDamaged& damage) {
        handleDamage(damage.Message());
        connect();
    }
}

// The station sets a damaged file aside and says so at once, wherever the
// damage was found; an export stops and leaves the file as it is.
void ReadArchive::handleDamage(const QString& reason) {
    closeConnection();
    if (use_ == ArchiveUse::Export)
        throw EArchiveError(QStringLiteral("the archive %1 is damaged (%2); it was left as it is")
                                .arg(fileName_, reason));
    setAsideDamagedFile();
    if (OnSetAside) OnSetAside(setAside_);
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

// Open only once the schema is up to date: a file that refused it (read
// only, from a newer station) is tried afresh by the next call.
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
    const QFileInfo file(fileName_);
    if (!QDir().mkpath(file.absolutePath()))
        throw EArchiveError(QStringLiteral("cannot create the folder %1").arg(file.absolutePath()));
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db_.setDatabaseName(fileName_);
    db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db_.open()) {
        const QString reason = db_.lastError().text();
        closeConnection();
        throw EArchiveError(QStringLiteral("cannot open %1: %2").arg(fileName_, reason));
    }
}

void ReadArchive::closeConnection() {
    if (!db_.isValid()) return;
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

// The damaged file and its journal files keep their names with a suffix
// that says when they were set aside; nothing is deleted.
void ReadArchive::setAsideDamagedFile() {
    closeConnection();
    const QString suffix = QStringLiteral(".damaged-") +
                           QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = fileName_ + suffix;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = fileName_ + suffix + QStringLiteral("-%1").arg(n);
    if (!QFile::rename(fileName_, target))
        throw EArchiveError(
            QStringLiteral("the archive %1 is damaged and cannot be set aside").arg(fileName_));
    for (const char* journal : {"-wal", "-shm"}) {
        const QString from = fileName_ + QLatin1String(journal);
        if (QFileInfo::exists(from)) QFile::rename(from, target + QLatin1String(journal));
    }
    setAside_ = target;
}

QString ReadArchive::takeSetAsideFileName() {
    return std::exchange(setAside_, QString());
}

// WAL is a property of the file: set once, kept by every later connection.
// Two stations that start a new file at once both switch it; SQLite refuses
// the switch to the one that finds the other's lock without waiting for it,
// so the wait is done here.
void ReadArchive::useWriteAheadLog() {
    const QDeadlineTimer deadline(kBusyTimeoutMs);
    for (;;) {
        QSqlQuery query(db_);
        if (query.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) return;
        const bool busy = (query.lastError().nativeErrorCode().toInt() & 0xFF) == kSqliteBusy;
        if (!busy || deadline.hasExpired()) fail(QStringLiteral("PRAGMA journal_mode=WAL"), query);
        QThread::msleep(20);
    }
}

// The version as the file holds it, 0 for a file without the station's schema.
int ReadArchive::storedVersion() {
    QSqlQuery table = exec(QStringLiteral(
        "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'"));
    if (!table.next() || table.value(0).toInt() == 0) return 0;
    QSqlQuery current = exec(QStringLiteral("SELECT version FROM schema_version"));
    return current.next() ? current.value(0).toInt() : 0;
}

void ReadArchive::migrate() {
    if (use_ == ArchiveUse::Station) useWriteAheadLog();
    // An archive that is up to date is opened without a write transaction,
    // so that opening never waits for another station's store.
    const int stored = storedVersion();
    if (stored == kSchemaVersion) return;
    if (use_ == ArchiveUse::Export && stored == 0)
        throw EArchiveError(QStringLiteral("%1 holds no archive").arg(fileName_));
    exec(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        exec(
            QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"));
        QSqlQuery current = exec(QStringLiteral("SELECT version FROM schema_version"));
        int version = 0;
        if (current.next()) {
            version = current.value(0).toInt();
        } else {
            exec(QStringLiteral("INSERT INTO schema_version (version) VALUES (0)"));
        }
        current.finish();
        if (version > kSchemaVersion)
            throw EArchiveError(QStringLiteral("%1 was written by a newer station (schema %2)")
                                    .arg(fileName_)
                                    .arg(version));
        for (; version < kSchemaVersion; ++version) {
            for (const QString& statement : kMigrations[version]) exec(statement);
            exec(QStringLiteral("UPDATE schema_version SET version = %1").arg(version + 1));
        }
        exec(QStringLiteral("COMMIT"));
    } catch (...) {
        QSqlQuery(db_).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

void ReadArchive::store(ArchivedRead& read) {
    qint64 id = 0;
    retryAfterDamage([&] {
        open();
        insert(read, id);
    });
    read.id = id;
}

void ReadArchive::insert(const ArchivedRead& read, qint64& id) {
    exec(QStringLiteral("BEGIN IMMEDIATE"));
    try {
        QStringList columns{QStringLiteral("read_at"), QStringLiteral("complete"),
                            QStringLiteral("last_step"), QStringLiteral("scale"),
                            QStringLiteral("samples")};
        for (const char* column : kTextColumns) columns << QLatin1String(column);
        QSqlQuery query(db_);
        query.prepare(
            QStringLiteral("INSERT INTO reads (%1) VALUES (%2)")
                .arg(columns.join(','), QStringLiteral("?,").repeated(columns.size()).chopped(1)));
        query.addBindValue(read.readAt.toString(QLatin1String(kTimeFormat)));
        query.addBindValue(read.complete ? 1 : 0);
        query.addBindValue(read.lastStep);
        query.addBindValue(read.scale);
        query.addBindValue(packSamples(read.samples));
        for (const QString* field : textFields(read))
            query.addBindValue(field->isNull() ? QStringLiteral("") : *field);
        if (!query.exec()) fail(QStringLiteral("cannot store the read"), query);
        id = query.lastInsertId().toLongLong();
        exec(QStringLiteral("COMMIT"));
    } catch (...) {
        QSqlQuery(db_).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

QSqlQuery ReadArchive::exec(const QString& sql) {
    QSqlQuery query(db_);
    if (!query.exec(sql)) fail(sql.section(' ', 0, 1), query);
    return query;
}

bool ReadArchive::damaged(const QSqlQuery& query) const {
    const int code = query.lastError().nativeErrorCode().toInt() & 0xFF;
    return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

void ReadArchive::fail(const QString& what, const QSqlQuery& query) {
    const QString message = QStringLiteral("%1: %2").arg(what, query.lastError().text());
    if (damaged(query)) throw EArchiveDamaged(message);
    throw EArchiveError(message);
}

QSqlQuery ReadArchive::select(const QString& columns, const ReadFilter& filter, const QString& tail,
                              bool forwardOnly) {
    open();
    QStringList conditions;
    QVariantList values;
    if (!filter.sensor.trimmed().isEmpty()) {
        conditions << QStringLiteral("sensor_number = ?");
        values << filter.sensor.trimmed();
    }
    if (filter.from.isValid()) {
        conditions << QStringLiteral("read_at >= ?");
        values << filter.from.toString(QLatin1String(kDayFormat));
    }
    if (filter.to.isValid()) {
        conditions << QStringLiteral("read_at < ?");
        values << filter.to.addDays(1).toString(QLatin1String(kDayFormat));
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

void ReadArchive::forEach(const ReadFilter& filter,
                          const std::function<void(const ArchivedRead&)>& visit) {
    withoutRetry([&] {
        QSqlQuery query =
            select(QStringLiteral("*"), filter, QStringLiteral("ORDER BY read_at DESC, id DESC"));
        while (query.next()) visit(readFrom(query));
        // A damaged page halfway through ends the rows as quietly as the last one.
        if (query.lastError().isValid()) fail(QStringLiteral("cannot read the archive"), query);
    });
}

void ReadArchive::fillListModel(QSqlQueryModel& model, const ReadFilter& filter) {
    retryAfterDamage([&] {
        QSqlQuery query = select(
            QStringLiteral("id, read_at, sensor_number, sensor_type, tester_number, complete"),
            filter, QStringLiteral("ORDER BY read_at DESC, id DESC"), false);
        model.setQuery(std::move(query));
        if (model.lastError().isValid())
            fail(QStringLiteral("cannot list the reads"), model.query());
    });
}
