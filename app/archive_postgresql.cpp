// The archive on a PostgreSQL server: the connection through Qt's driver,
// and messages that say what is missing when it cannot be used.
#include <QRegularExpression>
#include <QSqlQuery>

#include "app/archive_backend.h"

namespace {

// How long a store waits for a lock another session holds, as the SQLite
// file waits for another station's transaction; and no notices ("relation
// ... already exists, skipping") on the operator's terminal.
const char* const kSessionSettings[] = {"SET lock_timeout = '10s'",
                                        "SET client_min_messages = warning"};

const char* const kPasswordHint =
    "libpq takes the password from ~/.pgpass, the file PGPASSFILE names, or a service file";

// libpq's text without its severity and its hints for the terminal, on one line.
QString oneLine(QString text) {
    text.remove(QRegularExpression(QStringLiteral("\\b(ERROR|FATAL):\\s+")));
    text.replace(QRegularExpression(QStringLiteral("\\s*\\n\\s*")), QStringLiteral(" "));
    return text.trimmed();
}

QString hintFor(const QString& reason, const ArchiveLocation& location) {
    if (reason.contains(QLatin1String("password authentication failed")) ||
        reason.contains(QLatin1String("no password supplied")))
        return QStringLiteral(" (%1)").arg(QLatin1String(kPasswordHint));
    if (reason.contains(QRegularExpression(QStringLiteral("database \".*\" does not exist"))))
        return QStringLiteral(
                   " (the database %1 must be created on the server first, as the "
                   "README's section \"The read archive\" shows)")
            .arg(location.database());
    if (reason.contains(QRegularExpression(QStringLiteral("role \".*\" does not exist"))))
        return QStringLiteral(" (the role must be created on the server first)");
    return QString();
}

}  // namespace

QString serverMessage(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    // The statement's position, and the line it quotes, say nothing to an operator.
    text = text.section(QRegularExpression(QStringLiteral("\\n\\s*LINE \\d+:")), 0, 0);
    if (text.isEmpty()) text = error.driverText();
    return oneLine(text);
}

QSqlDatabase openPostgreSQL(const ArchiveLocation& location, const QString& connectionName) {
    const QString driver = QStringLiteral("QPSQL");
    if (!QSqlDatabase::isDriverAvailable(driver))
        throw EArchiveError(QStringLiteral("cannot use %1: Qt's PostgreSQL driver is not "
                                           "installed (Debian package libqt6sql6-psql)")
                                .arg(location.text()));
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, connectionName);
    // The whole connection string goes as options: Qt hands them to libpq as
    // they are, with hosts and ports lists, service files and all.
    db.setConnectOptions(location.connectionString());
    QString reason;
    if (!db.open()) {
        reason = oneLine(db.lastError().databaseText());
        if (reason.isEmpty()) reason = db.lastError().text();
    } else {
        for (const char* sql : kSessionSettings) {
            QSqlQuery setting(db);
            if (setting.exec(QLatin1String(sql))) continue;
            reason = serverMessage(setting.lastError());
            break;
        }
    }
    if (reason.isEmpty()) return db;
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName);
    throw EArchiveError(QStringLiteral("cannot connect to %1: %2%3")
                            .arg(location.text(), reason, hintFor(reason, location)));
}

QString missingSchemaRights(const ArchiveLocation& location, int storedVersion, int version,
                            const QString& reason) {
    const QString role = location.user().isEmpty()
                             ? QStringLiteral("the station's role")
                             : QStringLiteral("the role %1").arg(location.user());
    const QString what =
        storedVersion == 0
            ? QStringLiteral("has no archive yet, and %1 may not create its tables").arg(role)
            : QStringLiteral("holds an archive of schema %1, and %2 may not bring it up to %3")
                  .arg(storedVersion)
                  .arg(role)
                  .arg(version);
    return QStringLiteral(
               "the database %1 %2 (%3). Start the station, or quorvan "
               "--copy-archive, once with the database's owner, or let the role "
               "create in it (GRANT CREATE ON SCHEMA public TO ...).")
        .arg(location.text(), what, reason);
}
