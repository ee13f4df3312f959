#pragma once

#include <QStringList>

#include "app/archive_location.h"

// The archive's schema, the same tables and versions on SQLite and on
// PostgreSQL: each migration takes it from one version to the next, written
// once for both where their SQL agrees and twice where it does not.
namespace archive_schema {

constexpr int kVersion = 3;

// The statements that take the schema from version `from` to from + 1.
QStringList migration(ArchiveLocation::Kind kind, int from);

// Starts a transaction that writes. SQLite takes the file's write lock at
// once, so that a busy file makes the station wait here, not fail later.
QString beginWrite(ArchiveLocation::Kind kind);

// One row, one value: 1 when the schema_version table is there, else 0.
QString versionTableQuery(ArchiveLocation::Kind kind);

// Taken inside the migration's transaction: two stations that meet an
// empty database at once create its tables one after the other. Empty for
// SQLite, whose write transaction already excludes the other.
QString migrationLock(ArchiveLocation::Kind kind);

// The columns every read row has, in the order of ArchivedRead's text fields.
extern const char* const kTextColumns[16];

}  // namespace archive_schema
