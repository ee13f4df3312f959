// What only the SQLite file has: opening it (creating its folder), WAL, and
// the set-aside of a file that SQLite finds damaged.
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include "app/archive_backend.h"
#include "app/read_archive.h"

namespace {

// Waiting this long for another station's transaction is better than
// losing the read; the wait comes after the read's last step.
constexpr int kBusyTimeoutMs = 10000;

constexpr int kSqliteBusy = 5;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

int sqliteCode(const QSqlError& error) {
    return error.nativeErrorCode().toInt() & 0xFF;
}

}  // namespace

void ReadArchive::openFile() {
    const QString& fileName = location();
    // An export never creates an archive where there was none.
    if (use_ == ArchiveUse::Export && !QFileInfo::exists(fileName))
        throw EArchiveError(QStringLiteral("no archive at %1").arg(fileName));
    const QFileInfo file(fileName);
    if (!QDir().mkpath(file.absolutePath()))
        throw EArchiveError(QStringLiteral("cannot create the folder %1").arg(file.absolutePath()));
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db_.setDatabaseName(fileName);
    db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db_.open()) {
        const QString reason = db_.lastError().text();
        closeConnection();
        throw EArchiveError(QStringLiteral("cannot open %1: %2").arg(fileName, reason));
    }
}

bool ReadArchive::damaged(const QSqlQuery& query) const {
    if (location_.isPostgreSQL()) return false;
    const int code = sqliteCode(query.lastError());
    return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

// The station sets a damaged file aside and says so at once, wherever the
// damage was found; an export or a copy stops and leaves the file as it is.
void ReadArchive::handleDamage(const QString& reason) {
    closeConnection();
    if (use_ != ArchiveUse::Station)
        throw EArchiveError(QStringLiteral("the archive %1 is damaged (%2); it was left as it is")
                                .arg(location(), reason));
    setAsideDamagedFile();
    if (OnSetAside) OnSetAside(setAside_);
}

// The damaged file and its journal files keep their names with a suffix
// that says when they were set aside; nothing is deleted.
void ReadArchive::setAsideDamagedFile() {
    closeConnection();
    const QString& fileName = location();
    const QString suffix = QStringLiteral(".damaged-") +
                           QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = fileName + suffix;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = fileName + suffix + QStringLiteral("-%1").arg(n);
    if (!QFile::rename(fileName, target))
        throw EArchiveError(
            QStringLiteral("the archive %1 is damaged and cannot be set aside").arg(fileName));
    for (const char* journal : {"-wal", "-shm"}) {
        const QString from = fileName + QLatin1String(journal);
        if (QFileInfo::exists(from)) QFile::rename(from, target + QLatin1String(journal));
    }
    setAside_ = target;
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
        const bool busy = sqliteCode(query.lastError()) == kSqliteBusy;
        if (!busy || deadline.hasExpired()) fail(QStringLiteral("PRAGMA journal_mode=WAL"), query);
        QThread::msleep(20);
    }
}
