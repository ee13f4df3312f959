#include <QDate>
#include <QDir>
#include <QPrinterInfo>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/Unit1.h"

namespace {

// Records what the report draws instead of drawing it.
class RecordingCanvas : public TCanvas {
public:
    struct Text {
        QPoint at;
        QString text;
        int fontSize;
    };
    void MoveTo(int x, int y) override {
        TCanvas::MoveTo(x, y);
        moves.emplace_back(x, y);
    }
    void LineTo(int x, int y) override {
        lines.push_back({PenPos(), QPoint(x, y), Pen.Width});
        TCanvas::MoveTo(x, y);
    }
    void TextOut(int x, int y, const QString& text) override {
        texts.push_back({QPoint(x, y), text, Font.Size});
    }
    void CopyRect(const QRect& dest, const TCanvas& source, const QRect& sourceRect) override {
        copies.push_back({dest, sourceRect});
        sources.push_back(source.Device());
    }
    struct Line {
        QPoint from, to;
        int width;
    };
    std::vector<QPoint> moves;
    std::vector<Line> lines;
    std::vector<Text> texts;
    std::vector<std::pair<QRect, QRect>> copies;
    std::vector<QPaintDevice*> sources;
};

}  // namespace

TEST(PrintedReport, WorkedExampleOfA4956DotPage) {
    TForm1 form;
    RecordingCanvas canvas;
    form.Label19->setCaption(QStringLiteral("2310457"));
    form.SetPrintImage(canvas, 4956 / 21);
    ASSERT_EQ(canvas.texts.size(), 17u);
    EXPECT_EQ(canvas.texts[0].at, QPoint(1227, 377));
    EXPECT_EQ(canvas.texts[0].text, QStringLiteral("TEST CZUJNIKA RUCHU"));
    EXPECT_EQ(canvas.texts[0].fontSize, 16) << "the title is twice the canvas font";
    const int rows[] = {708, 849, 991, 1132, 1274, 1416, 1557, 1699};
    for (int row = 0; row < 8; ++row) {
        EXPECT_EQ(canvas.texts[std::size_t(1 + 2 * row)].at, QPoint(424, rows[row])) << row;
        EXPECT_EQ(canvas.texts[std::size_t(2 + 2 * row)].at, QPoint(1793, rows[row])) << row;
        EXPECT_EQ(canvas.texts[std::size_t(1 + 2 * row)].fontSize, 8);
    }
    EXPECT_EQ(canvas.texts[1].text, QStringLiteral("Numer czujnika:"));
    EXPECT_EQ(canvas.texts[2].text, QStringLiteral("2310457"));
    EXPECT_EQ(canvas.texts[16].text, QStringLiteral("---"));
    ASSERT_EQ(canvas.lines.size(), 2u);
    EXPECT_EQ(canvas.lines[0].from, QPoint(354, 542));
    EXPECT_EQ(canvas.lines[0].to, QPoint(4602, 542));
    EXPECT_EQ(canvas.lines[1].from, QPoint(354, 1892));
    EXPECT_EQ(canvas.lines[1].to, QPoint(4602, 1892));
    EXPECT_EQ(canvas.lines[0].width, 5);
    ASSERT_EQ(canvas.copies.size(), 1u);
    EXPECT_EQ(canvas.copies[0].first, QRect(QPoint(354, 2407), QPoint(2831, 3657)))
        << "(354, 2407)-(2832, 3658), right and bottom edges exclusive";
    EXPECT_EQ(canvas.copies[0].second, QRect(0, 0, 949, 361));
    EXPECT_EQ(canvas.sources[0], &form.Image3->Bitmap()) << "the print copy of the chart";
    EXPECT_EQ(canvas.Font.Size, 8) << "the font size is restored";
}

TEST(PrintedReport, PageWidthNotAMultipleOf21AndThinPens) {
    TForm1 form;
    RecordingCanvas canvas;
    form.SetPrintImage(canvas, 1000 / 21);  // u = 47, W = 987 < 1000
    EXPECT_EQ(canvas.lines[0].to.x(), 916) << "987 - 70.5 truncated: 1.5 units before W, not the page edge";
    EXPECT_EQ(canvas.lines[0].width, 1);
    RecordingCanvas thin;
    form.SetPrintImage(thin, 39);
    EXPECT_EQ(thin.lines[0].width, 0);
}

TEST(PrintedReport, CaptionsFollowTheLanguageAtOnceButTheChartKeepsItsHeader) {
    TForm1 form;
    form.StringGrid1->setCells(0, 0, QStringLiteral("Czas"));
    form.DrawChartGrid15();
    const QImage chart = form.Image3->Bitmap().copy();
    form.RadioButton1->setChecked(true);
    RecordingCanvas canvas;
    form.SetPrintImage(canvas, 236);
    EXPECT_EQ(canvas.texts[0].text, QStringLiteral("MOTION SENSOR TEST"));
    EXPECT_EQ(canvas.texts[1].text, QStringLiteral("Sensor number:"));
    EXPECT_EQ(canvas.texts[15].text, QStringLiteral("Minimum current(L)[mA]:"));
    EXPECT_EQ(form.Image3->Bitmap(), chart);
}

TEST(PrintedReport, DrawingHelpers) {
    RecordingCanvas canvas;
    TForm1::DrawRect(10, 50, 30, 20, canvas);
    ASSERT_EQ(canvas.lines.size(), 4u);
    EXPECT_EQ(canvas.moves.front(), QPoint(20, 10));
    EXPECT_EQ(canvas.lines[0].to, QPoint(50, 10));
    EXPECT_EQ(canvas.lines[1].to, QPoint(50, 30));
    EXPECT_EQ(canvas.lines[2].to, QPoint(20, 30));
    EXPECT_EQ(canvas.lines[3].to, QPoint(20, 10));
    RecordingCanvas filled;
    TForm1::DrawRectBlack(5, 9, 7, 1, filled);
    ASSERT_EQ(filled.lines.size(), 3u);
    EXPECT_EQ(filled.lines[2].from, QPoint(1, 7));
    EXPECT_EQ(filled.lines[2].to, QPoint(9, 7));
    RecordingCanvas vertical;
    TForm1::DrawVertLine(3, 4, 8, vertical);
    EXPECT_EQ(vertical.lines[0].from, QPoint(3, 4));
    EXPECT_EQ(vertical.lines[0].to, QPoint(3, 8));
}

TEST(PrintedReport, CancellingTheDialogPrintsNothing) {
    TForm1 form;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("cancelled.pdf"));
    form.ExecutePrintDialog = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        return false;
    };
    form.Button18Click();
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(form.PrintPrinter, nullptr);
}

TEST(PrintedReport, PrintsOnePortraitPdfPageWithTextAndChart) {
    TForm1 form;
    form.Label19->setCaption(QStringLiteral("2310457"));
    form.Label25->setCaption(QStringLiteral("12.5"));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("report.pdf"));
    form.ExecutePrintDialog = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        printer.setPageOrientation(QPageLayout::Landscape);  // the report turns it back
        return true;
    };
    form.Button18Click();
    ASSERT_TRUE(QFile::exists(file));
    ASSERT_NE(form.PrintPrinter, nullptr);
    EXPECT_EQ(form.PrintPrinter->pageLayout().orientation(), QPageLayout::Portrait);

    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    if (!text.waitForStarted()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    ASSERT_TRUE(text.waitForFinished());
    const QString html = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_EQ(html.count(QStringLiteral("<page ")), 1);
    EXPECT_GT(html.section(QStringLiteral("height=\""), 1).section('"', 0, 0).toDouble(),
              html.section(QStringLiteral("width=\""), 1).section('"', 0, 0).toDouble())
        << "portrait";
    for (const char* word : {"TEST", "CZUJNIKA", "RUCHU", "czujnika:", "Parowanie:", "produkcji:",
                             "minimalny(L)[mA]:", "2310457", "12.5", "---"}) {
        EXPECT_TRUE(html.contains(QString::fromUtf8(word))) << word;
    }
    QProcess images;
    images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), file});
    ASSERT_TRUE(images.waitForFinished());
    const QStringList rows = QString::fromUtf8(images.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(rows.size(), 3) << "a header, a rule and the chart";
    EXPECT_TRUE(rows[2].contains(QStringLiteral("949"))) << rows[2].toStdString();
    EXPECT_FALSE(rows[2].contains(QStringLiteral("jpeg"))) << "the chart is not compressed lossily";
}

TEST(PrintedReport, WithoutPrintersTheDialogOffersANamedPdfFile) {
    if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "this machine has printers";
    TForm1 form;
    form.Label19->setCaption(QStringLiteral("23/10 457"));
    QString offered;
    form.ExecutePrintDialog = [&](QPrinter& printer) {
        offered = printer.outputFileName();
        return false;
    };
    form.Button18Click();
    EXPECT_TRUE(offered.endsWith(QStringLiteral("Quorvan-2310457-%1.pdf")
                                     .arg(QDate::currentDate().toString(Qt::ISODate))))
        << offered.toStdString();
}
