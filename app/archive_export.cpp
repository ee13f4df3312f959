// CSV and PDF exports of stored reads.
#include "app/archive_export.h"

#include <QDir>
#include <QPrinter>
#include <QSaveFile>
#include <algorithm>

#include "app/current_chart.h"
#include "app/main_window.h"
#include "app/read_archive.h"

namespace {

const char* const kReadColumns[] = {
    "read_id",
    "read_at",
    "complete",
    "station",
    "tester_number",
    "tester_model",
    "executor_name",
    "postal_code",
    "city",
    "street",
    "executor_id",
    "sensor_number",
    "pairing",
    "sensor_type",
    "production_date",
    "max_current_h_ma",
    "min_current_h_ma",
    "max_current_l_ma",
    "min_current_l_ma",
    "chart_full_scale_ma",
    "sample_count",
};
const char* const kSampleColumns[] = {"read_id", "sensor_number", "read_at", "sample",
                                      "time",    "current_ma",    "status",  "word"};

// RFC 4180: a field with a separator, a quote or a line break is quoted.
QString csvField(const QString& text) {
    // Called for every field of every sample row: a plain scan, no pattern.
    const bool plain = std::none_of(text.begin(), text.end(), [](QChar c) {
        return c == QLatin1Char('"') || c == QLatin1Char(',') || c == QLatin1Char('\r') ||
               c == QLatin1Char('\n');
    });
    if (plain) return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Writes a whole file or nothing: a failed export leaves no half file.
class CsvFile {
public:
    explicit CsvFile(const QString& fileName) : file_(fileName) {
        if (!file_.open(QIODevice::WriteOnly))
            throw Exception(
                QStringLiteral("cannot write %1: %2").arg(fileName, file_.errorString()));
        file_.write("\xEF\xBB\xBF");  // spreadsheets take the file as UTF-8 only with this mark
    }
    template <typename Range>
    void row(const Range& fields) {
        QStringList line;
        for (const auto& field : fields) line << csvField(QString(field));
        file_.write((line.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8());
    }
    void commit() {
        if (!file_.commit())
            throw Exception(
                QStringLiteral("cannot write %1: %2").arg(file_.fileName(), file_.errorString()));
    }

private:
    QSaveFile file_;
};

QString timeText(const ArchivedRead& read) {
    return read.readAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QStringList readRow(const ArchivedRead& read) {
    return {QString::number(read.id),
            timeText(read),
            read.complete ? QStringLiteral("1") : QStringLiteral("0"),
            read.station,
            read.testerNumber,
            read.testerModel,
            read.executorName,
            read.postalCode,
            read.city,
            read.street,
            read.executorId,
            read.sensorNumber,
            read.pairing,
            read.sensorType,
            read.productionDate,
            read.maxCurrentH,
            read.minCurrentH,
            read.maxCurrentL,
            read.minCurrentL,
            read.scale == 1 ? QStringLiteral("30") : QStringLiteral("15"),
            QString::number(read.samples.size())};
}

// The current is written with a decimal point whatever the locale, as a
// number a spreadsheet and a script both read.
QString milliampText(std::uint16_t word, int scale) {
    const int tenths = sampleHeight(word, scale) / scale;
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

QString uniqueFileName(const QDir& folder, const QString& name) {
    QString candidate = folder.filePath(name);
    const QString stem = name.chopped(4);  // ".pdf"
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = folder.filePath(QStringLiteral("%1-%2.pdf").arg(stem).arg(n));
    return candidate;
}

}  // namespace

QString samplesFileName(const QString& csvFileName) {
    QString stem = csvFileName;
    if (stem.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) stem.chop(4);
    return stem + QStringLiteral("-samples.csv");
}

int exportCsv(ReadArchive& archive, const ReadFilter& filter, const QString& fileName) {
    CsvFile reads(fileName);
    CsvFile samples(samplesFileName(fileName));
    reads.row(kReadColumns);
    samples.row(kSampleColumns);
    int count = 0;
    archive.forEach(filter, [&](const ArchivedRead& read) {
        reads.row(readRow(read));
        for (std::size_t k = 0; k < read.samples.size(); ++k) {
            const std::uint16_t word = read.samples[k];
            samples.row(QStringList{QString::number(read.id), read.sensorNumber, timeText(read),
                                    QString::number(k + 1), sampleTimeText(int(k)),
                                    milliampText(word, read.scale),
                                    (word & 0x8000) ? QStringLiteral("1") : QStringLiteral("0"),
                                    QString::number(word)});
        }
        ++count;
    });
    reads.commit();
    samples.commit();
    return count;
}

int exportPdfReports(ReadArchive& archive, const ReadFilter& filter, const QString& folder,
                     int language) {
    if (!QDir().mkpath(folder))
        throw Exception(QStringLiteral("cannot create the folder %1").arg(folder));
    // A window of its own, never shown and with its timers stopped, so that
    // the station's window keeps what it shows.
    TForm1 report;
    report.FormClose();
    if (language == 1) report.SetEN();
    const QDir target(folder);
    int count = 0;
    archive.forEach(filter, [&](const ArchivedRead& read) {
        report.showArchivedRead(read);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString file =
            uniqueFileName(target, TForm1::reportFileName(read.sensorNumber, read.readAt.date()));
        printer.setOutputFileName(file);
        report.printReport(printer);
        if (!QFileInfo::exists(file)) throw Exception(QStringLiteral("cannot write %1").arg(file));
        ++count;
    });
    return count;
}
