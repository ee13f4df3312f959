#pragma once

#include <QString>

// Where the archive is kept: an SQLite file (the default), or a PostgreSQL
// database named by a libpq connection URI,
//   postgresql://user@host:5432/quorvan?sslmode=require
// The location never holds a password: libpq takes it from ~/.pgpass,
// PGPASSFILE or a service file, as its users expect.
class ArchiveLocation {
public:
    enum class Kind { SQLite, PostgreSQL };

    // Takes the location as the operator gave it. A PostgreSQL location
    // that cannot be used (a password in it, a malformed URI) keeps the
    // reason in error().
    explicit ArchiveLocation(QString text);

    Kind kind() const { return kind_; }
    bool isPostgreSQL() const { return kind_ == Kind::PostgreSQL; }
    // As given: the file name, or the URI. Fit to show, it holds no secret.
    const QString& text() const { return text_; }
    QString error() const { return error_; }
    // The libpq connection string (keyword='value' ...) of a PostgreSQL
    // location, with the station's defaults for what the URI leaves out.
    const QString& connectionString() const { return connection_; }
    // The user the connection names, or empty when libpq chooses it.
    const QString& user() const { return user_; }
    const QString& database() const { return database_; }

private:
    void parsePostgreSQL();
    void addParameter(const QString& key, const QString& value);

    QString text_;
    Kind kind_ = Kind::SQLite;
    QString error_;
    QString connection_;
    QString user_, database_;
};

// The archive the station and the exports use: the one set here (the
// --archive option), else QUORVAN_ARCHIVE, else archive.sqlite in the
// user's application data folder.
QString archiveLocation();
void setArchiveLocation(const QString& location);

// The name each stored read carries: QUORVAN_STATION_NAME, else the host name.
QString stationName();
