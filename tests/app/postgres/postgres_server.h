#pragma once

// The PostgreSQL server that the test run starts for the archive tests
// (tests/app/postgres/server, a CTest fixture), and what a test does on it:
// a database of its own, roles, the password file libpq reads.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <optional>

class PostgresServer {
public:
    // The server of this test run, or nothing when PostgreSQL or Qt's
    // driver for it is not installed (the tests then skip).
    static const PostgresServer* get();
    static QString whyMissing();

    int port() const { return port_; }
    // Runs statements as the administrator, in `database` (default postgres);
    // false with the reason on stderr when one fails.
    bool admin(const QStringList& statements, const QString& database = QString()) const;
    // The first value of the first row of a query run as the administrator.
    QVariant adminValue(const QString& sql, const QString& database) const;

    // Qt's connect options for the administrator, in `database`.
    QString adminOptions(const QString& database) const;
    // A role that logs in with a password over TCP, made once per run.
    void ensureRole(const QString& role, const QString& password,
                    const QString& extra = QString()) const;
    // A new, empty database owned by `owner`; its name is unique to the run.
    QString createDatabase(const QString& owner) const;
    // The location a station uses for the database as `role`.
    QString uri(const QString& role, const QString& database) const;

    // The test of a server that goes away stops it and starts it again.
    bool stop() const;
    bool start() const;

private:
    int port_ = 0;
    QString socket_;
};

// A password file for libpq (PGPASSFILE, for this process and the programs
// it starts), with one line per role; restored to the previous one on exit.
class PasswordFile {
public:
    explicit PasswordFile(const PostgresServer& server);
    ~PasswordFile();
    void add(const QString& role, const QString& password);
    QString path() const;

private:
    const PostgresServer& server_;
    QTemporaryDir dir_;
    QByteArray previous_;
    QStringList lines_;
};

inline constexpr const char* kStationRole = "quorvan_bench";
inline constexpr const char* kStationPassword = "Bench-7f3a";

#define SKIP_WITHOUT_POSTGRES() \
    if (!PostgresServer::get()) GTEST_SKIP() << PostgresServer::whyMissing().toStdString()
