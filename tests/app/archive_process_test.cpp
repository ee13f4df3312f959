// The archive shared with other processes: stations storing into one file
// at once, a station killed in the middle of a store, and a folder the
// station may not write.
#include <gtest/gtest.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>

#include "app/read_archive.h"
#include "archive_query.h"

namespace {

QProcess* startWriter(const QString& file, int count, const QString& sensor,
                      const QStringList& extra = {}) {
    auto* writer = new QProcess;
    writer->start(QStringLiteral(QUORVAN_ARCHIVE_WRITER),
                  QStringList{file, QString::number(count), sensor} + extra);
    return writer;
}

// The last "stored N" line the writer has printed so far, waiting for more
// until it has stored at least `least` reads.
int waitForStored(QProcess& writer, int least) {
    int stored = 0;
    while (stored < least && writer.waitForReadyRead(30000)) {
        while (writer.canReadLine()) {
            const QString line = QString::fromUtf8(writer.readLine()).trimmed();
            if (line.startsWith(QStringLiteral("stored "))) stored = line.mid(7).toInt();
        }
    }
    return stored;
}

QString integrityOf(const QString& file) {
    return scalar(file, QStringLiteral("PRAGMA integrity_check")).toString();
}

}  // namespace

TEST(ArchiveProcesses, TwoStationsStoringAtOnceKeepEveryRead) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("shared.sqlite"));
    std::unique_ptr<QProcess> first(startWriter(file, 200, QStringLiteral("first")));
    std::unique_ptr<QProcess> second(startWriter(file, 200, QStringLiteral("second")));
    for (QProcess* writer : {first.get(), second.get()}) {
        ASSERT_TRUE(writer->waitForFinished(120000));
        EXPECT_EQ(writer->exitCode(), 0) << writer->readAllStandardError().toStdString();
    }
    ReadArchive archive(file);
    EXPECT_EQ(archive.count({}), 400);
    EXPECT_EQ(archive.count({QStringLiteral("first"), {}, {}, {}}), 200);
    EXPECT_EQ(archive.count({QStringLiteral("second"), {}, {}, {}}), 200);
    EXPECT_EQ(integrityOf(file), QStringLiteral("ok"));
}

TEST(ArchiveProcesses, AStationKilledMidStoreLeavesEveryEarlierRead) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("killed.sqlite"));
    std::unique_ptr<QProcess> writer(startWriter(file, 1000000, QStringLiteral("K")));
    const int reported = waitForStored(*writer, 40);
    ASSERT_GE(reported, 40) << writer->readAllStandardError().toStdString();
    writer->kill();  // SIGKILL, while the writer is in its next store
    ASSERT_TRUE(writer->waitForFinished(30000));
    EXPECT_EQ(writer->exitStatus(), QProcess::CrashExit);

    EXPECT_EQ(integrityOf(file), QStringLiteral("ok"));
    ReadArchive archive(file);
    const int kept = archive.count({});
    EXPECT_GE(kept, reported);
    int expected = kept;
    archive.forEach({}, [&](const ArchivedRead& read) {
        EXPECT_EQ(read.executorName, QString::fromUtf8("Zażółć gęślą jaźń %1").arg(expected));
        EXPECT_EQ(read.samples, std::vector<std::uint16_t>(300, std::uint16_t(expected)));
        --expected;
    });
    EXPECT_EQ(expected, 0) << "reads 1 to " << kept << ", none missing";
    ArchivedRead next;
    next.readAt = QDateTime::currentDateTime();
    archive.store(next);
    EXPECT_EQ(archive.count({}), kept + 1) << "the archive goes on";
}

TEST(ArchiveProcesses, AReadOnlyFolderFailsTheStoreWithoutAFile) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("read-only"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther |
                                                  QFile::ReadGroup | QFile::ExeGroup));
    // As root the writer gives up its powers first; the temporary folder
    // above must let it reach the read-only one.
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther);
    const QString file = folder + QStringLiteral("/archive.sqlite");
    std::unique_ptr<QProcess> writer(
        startWriter(file, 1, QStringLiteral("R"), {QStringLiteral("--as-nobody")}));
    ASSERT_TRUE(writer->waitForFinished(30000));
    EXPECT_EQ(writer->exitCode(), 1);
    EXPECT_TRUE(writer->readAllStandardError().contains("cannot open " + file.toUtf8()));
    EXPECT_FALSE(QFile::exists(file));
}
