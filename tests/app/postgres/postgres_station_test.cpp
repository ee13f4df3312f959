// The station's window over an archive on a PostgreSQL server: a server that
// goes away in the middle of a store and comes back, and a server the
// station may not use.
#include <QLabel>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <atomic>
#include <thread>

#include "archive_station_fixture.h"
#include "postgres_fixture.h"

namespace {

// Holds the reads table in a session of its own until the station's store
// waits for it, then cuts the store off and stops the server. Its own thread: the
// station's store blocks the test's.
class ServerStopper {
public:
    ServerStopper(const PostgresServer& server, const QString& database)
        : thread_([this, &server, database] { run(server, database); }) {}
    ~ServerStopper() { join(); }
    void join() {
        if (thread_.joinable()) thread_.join();
    }
    bool stopped() const { return stopped_; }
    bool sawTheStoreWait() const { return sawWait_; }

private:
    void run(const PostgresServer& server, const QString& database) {
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("stopper"));
            db.setConnectOptions(server.adminOptions(database));
            if (db.open()) {
                QSqlQuery query(db);
                query.exec(QStringLiteral("BEGIN"));
                query.exec(QStringLiteral("LOCK TABLE reads IN SHARE MODE"));
                for (int poll = 0; poll < 200 && !sawWait_; ++poll) {
                    QThread::msleep(25);
                    query.exec(QStringLiteral(
                        "SELECT COUNT(*) FROM pg_stat_activity WHERE application_name = 'quorvan'"
                        " AND wait_event_type = 'Lock'"));
                    sawWait_ = query.next() && query.value(0).toInt() > 0;
                }
                // Still holding the table, the station's sessions are cut off
                // first: were this one's to end first as the server stops, the
                // waiting store could take the table and commit.
                if (sawWait_) {
                    query.exec(QStringLiteral(
                        "SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity"
                        " WHERE application_name = 'quorvan'"));
                }
            }
            stopped_ = server.stop();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("stopper"));
    }

    std::atomic<bool> stopped_{false}, sawWait_{false};
    std::thread thread_;
};

}  // namespace

class PostgresStation : public StationArchive {
protected:
    void SetUp() override {
        StationArchive::SetUp();
        if (!db.make()) GTEST_SKIP() << PostgresServer::whyMissing().toStdString();
        setArchiveLocation(db.location);
        qputenv("QUORVAN_ARCHIVE", db.location.toUtf8());
    }

    void TearDown() override {
        // A test that failed half-way must not leave the next without a server.
        if (db.server) db.server->start();
        StationArchive::TearDown();
    }

    TestDatabase db;
};

TEST_F(PostgresStation, AServerStoppedDuringAStoreGetsTheReadOnceItIsBack) {
    readSensor(kSensorA);
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    ASSERT_EQ(db.rows(), 1);

    attachSensor(kSensorB);
    ServerStopper stopper(*db.server, db.name);
    read();  // its store waits for the table, then loses the server
    stopper.join();
    ASSERT_TRUE(stopper.sawTheStoreWait()) << "the store never waited for the table";
    ASSERT_TRUE(stopper.stopped());
    ASSERT_EQ(messages.size(), 1) << messages.join('\n').toStdString();
    EXPECT_TRUE(messages[0].startsWith(
        QString::fromUtf8("INFO: Odczytu nie udało się zapisać w archiwum ") + db.location))
        << messages[0].toStdString();
    EXPECT_EQ(form->Label19->Caption(), QStringLiteral("9990001")) << "the read stays on screen";
    EXPECT_TRUE(form->Button18->isEnabled()) << "and printable";

    // Without a server the archive window says so; it does not show an empty archive.
    ArchiveWindow* window = openArchive();
    ASSERT_EQ(messages.size(), 2) << messages.join('\n').toStdString();
    EXPECT_TRUE(messages[1].startsWith(QString::fromUtf8("INFO: Nie można odczytać archiwum ") +
                                       db.location))
        << messages[1].toStdString();
    EXPECT_EQ(in<QLabel>(window, "ArchiveCount")->text(),
              QString::fromUtf8("Archiwum niedostępne"));

    ASSERT_TRUE(db.server->start());
    attachSensor("sensor-number \"5550003\"");
    read();
    EXPECT_EQ(messages.size(), 2) << messages.join('\n').toStdString();
    EXPECT_EQ(db.rows(), 3) << "the read that failed came in with the next";
    EXPECT_EQ(db.rows(QStringLiteral("WHERE sensor_number = '9990001'")), 1) << "once";
    EXPECT_EQ(
        db.server
            ->adminValue(QStringLiteral("SELECT COUNT(DISTINCT read_uuid) FROM reads"), db.name)
            .toInt(),
        3);
    window->refresh();
    EXPECT_EQ(in<QLabel>(window, "ArchiveCount")->text(), QString::fromUtf8("Odczytów: 3"));
}

TEST_F(PostgresStation, AWrongPasswordFailsTheStoreWithOneMessageThatSaysWhy) {
    PasswordFile wrong(*db.server);
    wrong.add(QLatin1String(kStationRole), QStringLiteral("not-the-password"));
    readSensor(kSensorA);
    ASSERT_EQ(messages.size(), 1) << messages.join('\n').toStdString();
    EXPECT_TRUE(messages[0].contains(
        QStringLiteral("password authentication failed for user \"%1\"").arg(kStationRole)))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains(QStringLiteral("~/.pgpass"))) << messages[0].toStdString();
    EXPECT_TRUE(form->Button18->isEnabled());
}
