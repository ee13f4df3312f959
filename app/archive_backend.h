#pragma once

// What the archive's back ends share behind ReadArchive: the error that
// starts the set-aside of a damaged file, and the PostgreSQL connection
// with its messages.
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include "app/archive_location.h"
#include "app/read_archive.h"

// A file that SQLite finds damaged: the error that starts its set-aside.
class EArchiveDamaged : public EArchiveError {
public:
    using EArchiveError::EArchiveError;
};

// SQLSTATE of a statement the role has no right to run.
inline constexpr const char* kInsufficientPrivilege = "42501";

// Connects to the location's database through Qt's PostgreSQL driver, or
// throws EArchiveError saying what is missing: the driver, the server, the
// database, the role, its password.
QSqlDatabase openPostgreSQL(const ArchiveLocation& location, const QString& connectionName);

// The server's own words for a failed statement, on one line.
QString serverMessage(const QSqlError& error);

// Why a database without the station's schema (or with an older one) is
// not brought up to date: the role may not create tables there.
QString missingSchemaRights(const ArchiveLocation& location, int storedVersion, int version,
                            const QString& reason);
