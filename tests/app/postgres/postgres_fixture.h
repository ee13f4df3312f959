#pragma once

#include <gtest/gtest.h>
#include <optional>

#include "postgres_server.h"

// A database of the test's own on the test run's server, owned by the
// station's role, whose password libpq finds in the test's password file.
struct TestDatabase {
    // False when there is no server to make it on.
    bool make() {
        server = PostgresServer::get();
        if (!server) return false;
        server->ensureRole(QLatin1String(kStationRole), QLatin1String(kStationPassword));
        passwords.emplace(*server);
        passwords->add(QLatin1String(kStationRole), QLatin1String(kStationPassword));
        name = server->createDatabase(QLatin1String(kStationRole));
        location = server->uri(QLatin1String(kStationRole), name);
        return true;
    }

    // How many reads a condition finds, asked as the administrator.
    int rows(const QString& where = QString()) const {
        return server->adminValue(QStringLiteral("SELECT COUNT(*) FROM reads ") + where, name)
            .toInt();
    }

    const PostgresServer* server = nullptr;
    std::optional<PasswordFile> passwords;
    QString name, location;
};

class PostgresArchive : public ::testing::Test {
protected:
    void SetUp() override {
        if (!db.make()) GTEST_SKIP() << PostgresServer::whyMissing().toStdString();
        server = db.server;
        database = db.name;
        location = db.location;
    }

    int rows(const QString& where = QString()) const { return db.rows(where); }

    TestDatabase db;
    const PostgresServer* server = nullptr;
    QString database, location;
    std::optional<PasswordFile>& passwords = db.passwords;
};
