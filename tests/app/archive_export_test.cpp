// Exports of the archive from the shell, as a quality engineer runs them:
// the station program with no display, CSV read back by Python, PDFs counted.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "app/archive_export.h"
#include "app/read_archive.h"

namespace {

class ArchiveExport : public ::testing::Test {
protected:
    void SetUp() override {
        ReadArchive archive(archiveFile());
        store(archive, QStringLiteral("2310457"), QDateTime(QDate(2026, 3, 1), QTime(8, 0)),
              {0x807B, 0x0028, 0x2000});
        store(archive, QStringLiteral("2310457"), QDateTime(QDate(2026, 3, 1), QTime(9, 30)),
              {0x0001});
        store(archive, QStringLiteral("77,\"8\""), QDateTime(QDate(2026, 3, 5), QTime(12, 0)), {});
    }

    void store(ReadArchive& archive, const QString& sensor, const QDateTime& at,
               std::vector<std::uint16_t> words) {
        ArchivedRead read;
        read.readAt = at;
        read.sensorNumber = sensor;
        read.executorName = QString::fromUtf8("Paweł Żółkiewski");
        read.street = QStringLiteral("line one\nline two");
        read.maxCurrentH = QStringLiteral("12.5");
        read.scale = words.size() == 1 ? 1 : 2;
        read.station = at.time().hour() < 9 ? QStringLiteral("bench-1") : QStringLiteral("bench-2");
        read.samples = std::move(words);
        archive.store(read);
    }

    QString archiveFile() const { return dir.filePath(QStringLiteral("archive.sqlite")); }

    // Runs the station program as a shell user would, without a display.
    int station(const QStringList& arguments, QString* errors = nullptr) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("QUORVAN_ARCHIVE"), archiveFile());
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(QUORVAN_STATION_PROGRAM), arguments);
        if (!program.waitForFinished(120000)) return -1;
        if (errors) *errors = QString::fromUtf8(program.readAllStandardError());
        return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    }

    // Both CSV files as Python's csv module reads them, as JSON.
    QJsonObject readBack(const QString& csv) {
        const char* script =
            "import csv, json, sys\n"
            "def rows(name):\n"
            "    with open(name, newline='', encoding='utf-8-sig') as f:\n"
            "        return [dict(r) for r in csv.DictReader(f)]\n"
            "print(json.dumps({'reads': rows(sys.argv[1]), 'samples': rows(sys.argv[2])}))\n";
        QProcess python;
        python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(script),
                                                 csv, samplesFileName(csv)});
        if (!python.waitForFinished(60000) || python.exitCode() != 0) return {};
        return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(ArchiveExport, CsvFromTheShellReadsBackInPythonWithFieldsAndSamples) {
    const QString csv = dir.filePath(QStringLiteral("reads.csv"));
    ASSERT_EQ(station({QStringLiteral("--export-csv"), csv}), 0);
    const QJsonObject data = readBack(csv);
    ASSERT_FALSE(data.isEmpty()) << "python3 could not read the files";
    const QJsonArray reads = data[QStringLiteral("reads")].toArray();
    ASSERT_EQ(reads.size(), 3);
    const QJsonObject newest = reads[0].toObject();
    EXPECT_EQ(newest[QStringLiteral("sensor_number")].toString(), QStringLiteral("77,\"8\""));
    EXPECT_EQ(newest[QStringLiteral("read_at")].toString(), QStringLiteral("2026-03-05 12:00:00"));
    const QJsonObject oldest = reads[2].toObject();
    EXPECT_EQ(oldest[QStringLiteral("executor_name")].toString(),
              QString::fromUtf8("Paweł Żółkiewski"));
    EXPECT_EQ(oldest[QStringLiteral("street")].toString(), QStringLiteral("line one\nline two"));
    EXPECT_EQ(oldest[QStringLiteral("max_current_h_ma")].toString(), QStringLiteral("12.5"));
    EXPECT_EQ(oldest[QStringLiteral("chart_full_scale_ma")].toString(), QStringLiteral("15"));
    EXPECT_EQ(oldest[QStringLiteral("sample_count")].toString(), QStringLiteral("3"));
    EXPECT_EQ(oldest[QStringLiteral("complete")].toString(), QStringLiteral("1"));

    const QJsonArray samples = data[QStringLiteral("samples")].toArray();
    ASSERT_EQ(samples.size(), 4);
    // Newest read first, its samples in order: the 30 mA read's one sample,
    // then the 15 mA read's three.
    const QJsonObject first = samples[1].toObject();
    EXPECT_EQ(first[QStringLiteral("read_id")].toString(),
              oldest[QStringLiteral("read_id")].toString());
    EXPECT_EQ(first[QStringLiteral("sample")].toString(), QStringLiteral("1"));
    EXPECT_EQ(first[QStringLiteral("time")].toString(), QStringLiteral("0:00"));
    EXPECT_EQ(first[QStringLiteral("current_ma")].toString(), QStringLiteral("12.3"));
    EXPECT_EQ(first[QStringLiteral("status")].toString(), QStringLiteral("1"));
    EXPECT_EQ(first[QStringLiteral("word")].toString(), QStringLiteral("32891"));
    EXPECT_EQ(samples[3].toObject()[QStringLiteral("current_ma")].toString(), QStringLiteral("0.0"))
        << "819.2 mA is masked away on the 15 mA chart, as on screen";
}

TEST_F(ArchiveExport, FiltersNarrowTheExportAndBadOptionsAreRefused) {
    const QString csv = dir.filePath(QStringLiteral("narrow.csv"));
    ASSERT_EQ(
        station({QStringLiteral("--export-csv"), csv, QStringLiteral("--sensor"),
                 QStringLiteral("2310457"), QStringLiteral("--from"), QStringLiteral("2026-03-01"),
                 QStringLiteral("--to"), QStringLiteral("2026-03-01")}),
        0);
    EXPECT_EQ(readBack(csv)[QStringLiteral("reads")].toArray().size(), 2);
    ASSERT_EQ(station({QStringLiteral("--export-csv"), csv, QStringLiteral("--from"),
                       QStringLiteral("2026-03-02")}),
              0);
    EXPECT_EQ(readBack(csv)[QStringLiteral("reads")].toArray().size(), 1);
    ASSERT_EQ(station({QStringLiteral("--export-csv"), csv, QStringLiteral("--station"),
                       QStringLiteral("bench-1")}),
              0);
    const QJsonArray benchOne = readBack(csv)[QStringLiteral("reads")].toArray();
    ASSERT_EQ(benchOne.size(), 1);
    EXPECT_EQ(benchOne[0].toObject()[QStringLiteral("station")].toString(),
              QStringLiteral("bench-1"));

    QString errors;
    EXPECT_EQ(station({QStringLiteral("--export-csv"), csv, QStringLiteral("--from"),
                       QStringLiteral("1.3.2026")},
                      &errors),
              2);
    EXPECT_TRUE(errors.contains(QStringLiteral("YYYY-MM-DD"))) << errors.toStdString();
    EXPECT_EQ(station({QStringLiteral("--sensor"), QStringLiteral("1")}, &errors), 2);
    EXPECT_EQ(station({QStringLiteral("--export-csv"), csv, QStringLiteral("--archive"),
                       dir.filePath(QStringLiteral("none.sqlite"))},
                      &errors),
              1);
    EXPECT_TRUE(errors.contains(QStringLiteral("no archive at"))) << errors.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("none.sqlite"))));
}

TEST_F(ArchiveExport, PdfExportWritesOneOnePageReportPerRead) {
    const QString folder = dir.filePath(QStringLiteral("reports"));
    ASSERT_EQ(station({QStringLiteral("--export-pdf"), folder}), 0);
    const QStringList files =
        QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{"Quorvan-2310457-2026-03-01-2.pdf",
                                  "Quorvan-2310457-2026-03-01.pdf", "Quorvan-778-2026-03-05.pdf"}));
    for (const QString& name : files) {
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {QDir(folder).filePath(name)});
        if (!info.waitForStarted()) GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
        ASSERT_TRUE(info.waitForFinished());
        EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput())
                        .contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))))
            << name.toStdString();
    }
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QDir(folder).filePath(files[1]), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished());
    const QString page = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(page.contains(QStringLiteral("TEST CZUJNIKA RUCHU")));
    EXPECT_TRUE(page.contains(QStringLiteral("2310457")));
    EXPECT_TRUE(page.contains(QStringLiteral("12.5")));
}

// A scheduled export of a damaged archive must fail loudly, not write empty
// files every night over a new archive started behind the user's back.
TEST_F(ArchiveExport, ADamagedArchiveFailsTheExportAndIsLeftWhereItIs) {
    const QString csv = dir.filePath(QStringLiteral("reads.csv"));
    const QString reports = dir.filePath(QStringLiteral("reports"));
    const auto expectRefused = [&](const char* what) {
        SCOPED_TRACE(what);
        QFile file(archiveFile());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        for (const QStringList& arguments :
             {QStringList{QStringLiteral("--export-csv"), csv},
              QStringList{QStringLiteral("--export-pdf"), reports}}) {
            QString errors;
            EXPECT_EQ(station(arguments, &errors), 1) << arguments.join(' ').toStdString();
            EXPECT_TRUE(errors.contains(
                QStringLiteral("quorvan: the archive %1 is damaged").arg(archiveFile())))
                << errors.toStdString();
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("archive.sqlite")})
            << "nothing set aside, no new archive, no export files";
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), before) << "the archive is left as it was";
    };

    // Pages wrecked behind an intact header: found by the export's query.
    {
        QFile file(archiveFile());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_GT(file.size(), 4096);
        file.seek(4096);
        file.write(QByteArray(int(file.size() - 4096), '\xA5'));
    }
    for (const char* journal : {"-wal", "-shm"}) QFile::remove(archiveFile() + journal);
    expectRefused("damaged pages");

    // Not a database at all.
    {
        QFile file(archiveFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(8192, '\x5A'));
    }
    expectRefused("garbage");
}
