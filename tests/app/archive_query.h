#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

// Runs one statement on an archive file over a connection of the test's
// own and gives the first value of its first row (null when there is none).
inline QVariant scalar(const QString& file, const QString& sql) {
    QVariant result;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql) && query.next()) result = query.value(0);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return result;
}
