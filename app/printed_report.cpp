// The one-page report, laid out in twenty-firsts of the printable width.
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include "app/main_window.h"

namespace {

// f·u truncated toward zero, with f given in tenths so that no rounding of
// a decimal fraction can move a position by a dot.
int units(int tenths, int u) { return tenths * u / 10; }

constexpr int kPageUnits = 21;

}  // namespace

void TForm1::Button18Click() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!runPrintDialog(*printer_)) return;
    PrintPrinter = printer_.get();
    printReport(*PrintPrinter);
}

void TForm1::printReport(QPrinter& printer) {
    printer.setPageOrientation(QPageLayout::Portrait);
    const int u = printer.width() / kPageUnits;
    TCanvas canvas(&printer);
    canvas.BeginPainting();
    SetPrintImage(canvas, u);
    canvas.EndPainting();
}

bool TForm1::runPrintDialog(QPrinter& printer) {
    // Every print offers the file of the read being printed, never the last
    // print's: that file holds another sensor's report. Without a printer
    // the dialog offers a PDF file, named up front so that accepting the
    // dialog straight away writes the report; a file of that name that is
    // there already gets the dialog's overwrite question. The document name
    // is what the dialog offers when the operator turns to a file himself.
    const QString file = defaultReportFileName(printer.outputFileName());
    printer.setDocName(QFileInfo(file).completeBaseName());
    if (QPrinterInfo::availablePrinters().isEmpty() ||
        printer.outputFormat() == QPrinter::PdfFormat)
        printer.setOutputFileName(file);
    if (ExecutePrintDialog) return ExecutePrintDialog(printer);
    PrintDialog1 = std::make_unique<QPrintDialog>(&printer, this);
    PrintDialog1->setObjectName(QStringLiteral("PrintDialog1"));
    return PrintDialog1->exec() == QDialog::Accepted;
}

// The folder of the last report printed to a file, else the documents folder.
QString TForm1::defaultReportFileName(const QString& lastFile) const {
    QString folder = lastFile.isEmpty() ? QString() : QFileInfo(lastFile).absolutePath();
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    // A stored read is named after the day it was read.
    const QDate day = ShownArchiveDay.isValid() ? ShownArchiveDay : QDate::currentDate();
    return QDir(folder).filePath(reportFileName(Label19->Caption(), day));
}

QString TForm1::reportFileName(const QString& sensor, QDate day) {
    QString name = sensor;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QString());
    if (name.isEmpty()) name = QStringLiteral("sensor");
    return QStringLiteral("Quorvan-%1-%2.pdf").arg(name, day.toString(Qt::ISODate));
}

void TForm1::SetPrintImage(TCanvas& canvas, int u) {
    canvas.Pen.Color = clBlack;
    canvas.Pen.Width = u / 40;
    const int size = canvas.Font.Size;
    canvas.Font.Size = 2 * size;
    canvas.TextOut(units(52, u), units(16, u), Label2->Caption());
    const int left = units(15, u);
    const int right = units(10 * kPageUnits - 15, u);
    DrawHorizLine(units(23, u), left, right, canvas);
    canvas.Font.Size = size;
    DrawHorizLine(8 * u + 4, left, right, canvas);

    const std::pair<TLabel*, TLabel*> rows[] = {
        {Label18, Label19}, {Label20, Label21}, {Label22, Label23}, {Label30, Label32},
        {Label24, Label25}, {Label26, Label27}, {Label29, Label1},  {Label34, Label35},
    };
    int tenths = 30;
    for (const auto& [caption, value] : rows) {
        canvas.TextOut(units(18, u), units(tenths, u), caption->Caption());
        canvas.TextOut(units(76, u), units(tenths, u), value->Caption());
        tenths += 6;
    }
    const QRect chart(QPoint(units(15, u), units(102, u)), QPoint(12 * u, units(155, u)));
    // QRect's right and bottom are inclusive; the page rectangle ends before them.
    canvas.CopyRect(chart.adjusted(0, 0, -1, -1), Image3->Canvas(),
                    QRect(0, 0, Image3->Bitmap().width(), Image3->Bitmap().height()));
}

void TForm1::DrawHorizLine(int y, int x1, int x2, TCanvas& canvas) {
    canvas.MoveTo(x1, y);
    canvas.LineTo(x2, y);
}

void TForm1::DrawVertLine(int x, int y1, int y2, TCanvas& canvas) {
    canvas.MoveTo(x, y1);
    canvas.LineTo(x, y2);
}

void TForm1::DrawRect(int top, int right, int bottom, int left, TCanvas& canvas) {
    canvas.MoveTo(left, top);
    canvas.LineTo(right, top);
    canvas.LineTo(right, bottom);
    canvas.LineTo(left, bottom);
    canvas.LineTo(left, top);
}

void TForm1::DrawRectBlack(int top, int right, int bottom, int left, TCanvas& canvas) {
    for (int y = top; y <= bottom; ++y) DrawHorizLine(y, left, right, canvas);
}
