#include "postgres_server.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <atomic>
#include <cstdio>

namespace {

QString stateFile() {
    return QStringLiteral(QUORVAN_PG_STATE "/server.env");
}

bool runScript(const char* command) {
    return QProcess::execute(QStringLiteral(QUORVAN_PG_SERVER_SCRIPT),
                             {QLatin1String(command), QStringLiteral(QUORVAN_PG_STATE)}) == 0;
}

}  // namespace

const PostgresServer* PostgresServer::get() {
    static const std::optional<PostgresServer> server = []() -> std::optional<PostgresServer> {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) return std::nullopt;
        QFile file(stateFile());
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        PostgresServer found;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QString text = QString::fromUtf8(line);
            if (text.startsWith(QStringLiteral("QUORVAN_PG_PORT=")))
                found.port_ = text.section('=', 1).toInt();
            if (text.startsWith(QStringLiteral("QUORVAN_PG_SOCKET=")))
                found.socket_ = text.section('=', 1);
        }
        if (found.port_ == 0 || found.socket_.isEmpty()) return std::nullopt;
        return found;
    }();
    return server ? &*server : nullptr;
}

QString PostgresServer::whyMissing() {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return QStringLiteral("Qt's PostgreSQL driver is not installed (libqt6sql6-psql)");
    return QStringLiteral(
               "no PostgreSQL server for the tests (%1 is missing: PostgreSQL is not "
               "installed, or the test ran without its CTest fixture)")
        .arg(stateFile());
}

QString PostgresServer::adminOptions(const QString& database) const {
    return QStringLiteral("host='%1' port=%2 user=postgres dbname='%3'")
        .arg(socket_)
        .arg(port_)
        .arg(database.isEmpty() ? QStringLiteral("postgres") : database);
}

bool PostgresServer::admin(const QStringList& statements, const QString& database) const {
    static std::atomic<int> serial{0};
    const QString name = QStringLiteral("test-admin-%1").arg(++serial);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setConnectOptions(adminOptions(database));
        ok = db.open();
        if (!ok) std::fprintf(stderr, "admin: %s\n", qPrintable(db.lastError().text()));
        for (const QString& sql : statements) {
            if (!ok) break;
            QSqlQuery query(db);
            ok = query.exec(sql);
            if (!ok)
                std::fprintf(stderr, "admin: %s: %s\n", qPrintable(sql),
                             qPrintable(query.lastError().text()));
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

QVariant PostgresServer::adminValue(const QString& sql, const QString& database) const {
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("v"));
        db.setConnectOptions(adminOptions(database));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql) && query.next()) value = query.value(0);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v"));
    return value;
}

void PostgresServer::ensureRole(const QString& role, const QString& password,
                                const QString& extra) const {
    admin({QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = '%1') "
                          "THEN CREATE ROLE %1 LOGIN PASSWORD '%2' %3; END IF; END $$")
               .arg(role, password, extra)});
}

QString PostgresServer::createDatabase(const QString& owner) const {
    const QString name = QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    admin({QStringLiteral("CREATE DATABASE %1 OWNER %2").arg(name, owner)});
    return name;
}

QString PostgresServer::uri(const QString& role, const QString& database) const {
    return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(role).arg(port_).arg(database);
}

bool PostgresServer::stop() const {
    return runScript("stop");
}

bool PostgresServer::start() const {
    return runScript("start");
}

PasswordFile::PasswordFile(const PostgresServer& server)
    : server_(server), previous_(qgetenv("PGPASSFILE")) {
    qputenv("PGPASSFILE", path().toLocal8Bit());
    add(QString(), QString());  // the file exists, if empty
}

PasswordFile::~PasswordFile() {
    if (previous_.isEmpty())
        qunsetenv("PGPASSFILE");
    else
        qputenv("PGPASSFILE", previous_);
}

QString PasswordFile::path() const {
    return dir_.filePath(QStringLiteral("pgpass"));
}

void PasswordFile::add(const QString& role, const QString& password) {
    if (!role.isEmpty())
        lines_ << QStringLiteral("127.0.0.1:%1:*:%2:%3").arg(server_.port()).arg(role, password);
    QFile file(path());
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write((lines_.join('\n') + '\n').toUtf8());
    file.close();
    // libpq ignores a password file that others may read.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}
