// The current chart: the grid of both chart images and the log samples drawn
// on them, stroke for stroke, the screen copy on black and the print copy on
// white.
#include "app/main_window.h"
#include "app/current_chart.h"

namespace {

constexpr ChartLabels kLabels15 = {"15mA", "10mA", "5mA"};
constexpr ChartLabels kLabels30 = {"30mA", "20mA", "10mA"};

struct TimeLabel {
    const char* text;
    int x;
};
constexpr TimeLabel kTimeLabels[] = {{"1min", 230}, {"2min", 404}, {"3min", 578}, {"4min", 750}};

// A single pixel at (x, y): a line to the left neighbour leaves out its end.
void dot(TCanvas& canvas, int x, int y) {
    canvas.MoveTo(x, y);
    canvas.LineTo(x - 1, y);
}

int baselineOf(const TImage* image) { return image->Bitmap().height() - kBaselineOffset; }

}  // namespace

int sampleHeight(std::uint16_t word, int scale) { return (word * scale) & 0x3FFF; }

QString sampleTimeText(int sample) {
    return QStringLiteral("%1:%2").arg(sample / 60).arg(sample % 60, 2, 10, QLatin1Char('0'));
}

int statusLevelOf(std::uint16_t word) { return (word & 0x8000) ? kStatusHigh : kStatusLow; }

void TForm1::DrawChartGrid15() { drawChartGrid(kLabels15); }

void TForm1::DrawChartGrid30() { drawChartGrid(kLabels30); }

void TForm1::drawChartGrid(const ChartLabels& labels) {
    drawGridOn(Image1, clBlack, clWhite, clScrollBar, labels);
    drawGridOn(Image3, clWhite, clBlack, clBlack, labels);
}

void TForm1::drawGridOn(TImage* image, TColor background, TColor axes, TColor dots,
                        const ChartLabels& labels) {
    TCanvas& canvas = image->Canvas();
    const int width = image->Bitmap().width();
    const int height = image->Bitmap().height();

    canvas.Pen.Color = background;
    for (int x = 0; x <= width; ++x) {
        canvas.MoveTo(x, 0);
        canvas.LineTo(x, height);
    }
    canvas.Pen.Color = axes;
    canvas.MoveTo(0, height - kBaselineOffset);
    canvas.LineTo(width, height - kBaselineOffset);
    canvas.MoveTo(kChartLeft, 0);
    canvas.LineTo(kChartLeft, height);

    canvas.TextOut(5, height - 20, StringGrid1->Cells(0, 0));
    for (const TimeLabel& label : kTimeLabels) {
        canvas.TextOut(label.x, height - 20, QString::fromLatin1(label.text));
    }
    canvas.TextOut(10, 15, QString::fromLatin1(labels.top));
    canvas.TextOut(10, 115, QString::fromLatin1(labels.middle));
    canvas.TextOut(10, 215, QString::fromLatin1(labels.bottom));

    canvas.Pen.Color = dots;
    for (int x = width; x >= 0; x -= 3) dot(canvas, x, 130);
    for (int x = width; x >= 0; x -= 10) {
        dot(canvas, x, 30);
        dot(canvas, x, 230);
    }
}

void TForm1::chartStartLog() {
    PlotX = kChartLeft;
    Image1->Canvas().Pen.Color = clGreen;
    Image3->Canvas().Pen.Color = clGreen;
}

void TForm1::chartMoveToFirstSample(int height) {
    for (TImage* image : {Image1, Image3}) image->Canvas().MoveTo(PlotX, baselineOf(image) - height);
    PlotX += kSampleStep;
}

void TForm1::chartDrawSample(int height, std::uint16_t word, int previousLevel) {
    const int x = PlotX;
    QPoint ends[2];
    int i = 0;
    for (TImage* image : {Image1, Image3}) {
        image->Canvas().LineTo(x, baselineOf(image) - height);
        ends[i++] = image->Canvas().PenPos();
    }
    const int level = statusLevelOf(word);
    StatusLevel = level;
    for (TImage* image : {Image1, Image3}) {
        TCanvas& canvas = image->Canvas();
        canvas.Pen.Color = clBlue;
        canvas.MoveTo(x - kSampleStep, previousLevel);
        canvas.LineTo(x, level);
    }
    i = 0;
    for (TImage* image : {Image1, Image3}) {
        image->Canvas().Pen.Color = clGreen;
        image->Canvas().MoveTo(ends[i].x(), ends[i].y());
        ++i;
    }
    PlotX += kSampleStep;
}
