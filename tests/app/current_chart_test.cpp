#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "app/current_chart.h"

namespace {

const QColor kScrollBarGrey(200, 200, 200);
const QColor kGreen(0, 128, 0);
const QColor kBlue(0, 0, 255);

QColor pixel(TImage* image, int x, int y) { return image->Bitmap().pixelColor(x, y); }

// Draws a log of words on a fresh chart the way the read sequence does.
void drawLog(TForm1& form, const std::vector<std::uint16_t>& words, int scale, int pageSize = 60) {
    form.CurrentScale = scale;
    form.chartStartLog();
    for (std::size_t k = 0; k < words.size(); ++k) {
        const int height = (words[k] * scale) & 0x3FFF;
        if (k == 0) {
            form.chartMoveToFirstSample(height);
        } else {
            const int previous = k % std::size_t(pageSize) == 0 ? form.StatusLevel
                                                                : statusLevelOf(words[k - 1]);
            form.chartDrawSample(height, words[k], previous);
        }
    }
}

[[maybe_unused]] int countColour(TImage* image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image->Bitmap().height(); ++y)
        for (int x = 0; x < image->Bitmap().width(); ++x) count += pixel(image, x, y) == colour;
    return count;
}

}  // namespace

TEST(ChartGrid, ScreenCopyHasBlackFillWhiteAxesAndGreyDots) {
    TForm1 form;
    TImage* image = form.Image1;
    EXPECT_EQ(pixel(image, 0, 0), Qt::black);
    EXPECT_EQ(pixel(image, 948, 360), Qt::black);
    EXPECT_EQ(pixel(image, 500, 331), Qt::white);
    EXPECT_EQ(pixel(image, 0, 331), Qt::white);
    EXPECT_EQ(pixel(image, 948, 331), Qt::white);
    EXPECT_EQ(pixel(image, 46, 0), Qt::white);
    EXPECT_EQ(pixel(image, 46, 360), Qt::white);
    EXPECT_EQ(pixel(image, 45, 100), Qt::black);
    // Dots every 3 pixels from the right edge on row 130, every 10 on rows 30 and 230.
    EXPECT_EQ(pixel(image, 948, 130), Qt::black) << "the dots start at x = W, outside the image";
    EXPECT_EQ(pixel(image, 946, 130), kScrollBarGrey);
    EXPECT_EQ(pixel(image, 943, 130), kScrollBarGrey);
    EXPECT_EQ(pixel(image, 944, 130), Qt::black);
    EXPECT_EQ(pixel(image, 1, 130), kScrollBarGrey);
    EXPECT_EQ(pixel(image, 939, 30), kScrollBarGrey);
    EXPECT_EQ(pixel(image, 939, 230), kScrollBarGrey);
    EXPECT_EQ(pixel(image, 938, 30), Qt::black);
    EXPECT_EQ(pixel(image, 9, 230), kScrollBarGrey);
    EXPECT_EQ(pixel(image, 940, 131), Qt::black);
    EXPECT_EQ(image->Canvas().Pen.Color, clScrollBar);
}

TEST(ChartGrid, PrintCopyIsTheSameGridInk) {
    TForm1 form;
    TImage* image = form.Image3;
    EXPECT_EQ(pixel(image, 0, 0), Qt::white);
    EXPECT_EQ(pixel(image, 500, 331), Qt::black);
    EXPECT_EQ(pixel(image, 46, 200), Qt::black);
    EXPECT_EQ(pixel(image, 946, 130), Qt::black);
    EXPECT_EQ(pixel(image, 945, 130), Qt::white);
    EXPECT_EQ(pixel(image, 939, 30), Qt::black);
    EXPECT_EQ(image->Canvas().Pen.Color, clBlack);
    EXPECT_TRUE(form.Image3->isHidden());
}

TEST(ChartGrid, LabelsAreWhiteBoxesAtTheirCorners) {
    TForm1 form;
    // Text boxes are opaque white on the black screen chart.
    for (QPoint corner : {QPoint(10, 15), QPoint(10, 115), QPoint(10, 215), QPoint(230, 341),
                          QPoint(404, 341), QPoint(578, 341), QPoint(750, 341)}) {
        EXPECT_EQ(pixel(form.Image1, corner.x(), corner.y()), Qt::white) << corner.x() << "," << corner.y();
        EXPECT_EQ(pixel(form.Image1, corner.x() - 1, corner.y()), Qt::black) << corner.x();
    }
    // The time header is empty until a language is set: no box at (5, 341).
    EXPECT_EQ(pixel(form.Image1, 5, 341), Qt::black);
    form.StringGrid1->setCells(0, 0, QStringLiteral("Czas"));
    form.DrawChartGrid15();
    EXPECT_EQ(pixel(form.Image1, 5, 341), Qt::white);
    EXPECT_EQ(pixel(form.Image3, 5, 341), Qt::white);
    EXPECT_EQ(pixel(form.Image1, 4, 341), Qt::black);
}

TEST(ChartGrid, ThirtyMilliampLabelsDifferOnlyInTheCurrentTexts) {
    TForm1 form;
    const QImage grid15 = form.Image1->Bitmap().copy();
    form.DrawChartGrid30();
    const QImage grid30 = form.Image1->Bitmap();
    QRect differences;
    for (int y = 0; y < grid15.height(); ++y)
        for (int x = 0; x < grid15.width(); ++x)
            if (grid15.pixel(x, y) != grid30.pixel(x, y)) differences |= QRect(x, y, 1, 1);
    EXPECT_FALSE(differences.isEmpty());
    EXPECT_GE(differences.left(), 10);
    EXPECT_LT(differences.right(), 46);
    EXPECT_GE(differences.top(), 15);
    EXPECT_LT(differences.bottom(), 240);
}

TEST(ChartSamples, OneSampleOnlyMovesThePen) {
    TForm1 form;
    const QImage before = form.Image1->Bitmap().copy();
    drawLog(form, {0x807B}, 2);
    EXPECT_EQ(form.Image1->Bitmap(), before);
    EXPECT_EQ(form.PlotX, 49);
    EXPECT_EQ(form.Image1->Canvas().PenPos(), QPoint(46, 331 - 246));
    EXPECT_EQ(form.Image1->Canvas().Pen.Color, clGreen);
}

TEST(ChartSamples, StatusFlagsGiveSlopedSteps) {
    TForm1 form;
    drawLog(form, {0x0000, 0x8000, 0x8000, 0x0000}, 2);
    for (TImage* image : {form.Image1, form.Image3}) {
        // (46, 25) -> (49, 5): starts on the low row and leaves out its end.
        EXPECT_EQ(pixel(image, 46, 25), kBlue);
        EXPECT_EQ(pixel(image, 47, 20), kBlue);
        EXPECT_NE(pixel(image, 46, 26), kBlue);
        // (49, 5) -> (52, 5) -> (55, 25), each end point left out.
        EXPECT_EQ(pixel(image, 49, 5), kBlue);
        EXPECT_EQ(pixel(image, 51, 5), kBlue);
        EXPECT_EQ(pixel(image, 52, 5), kBlue);
        EXPECT_EQ(pixel(image, 55, 24), kBlue);
        EXPECT_NE(pixel(image, 55, 25), kBlue);
        EXPECT_NE(pixel(image, 53, 5), kBlue);
        // The current line runs along the baseline from 46 to 55 (end left out).
        EXPECT_EQ(pixel(image, 46, 331), kGreen);
        EXPECT_EQ(pixel(image, 54, 331), kGreen);
    }
    EXPECT_EQ(form.StatusLevel, 25);
    EXPECT_EQ(form.PlotX, 58);
}

TEST(ChartSamples, PageBoundaryCarriesTheStatusLevel) {
    TForm1 form;
    std::vector<std::uint16_t> words(61, 0x0000);
    words[59] = 0x8000;  // last sample of page 1 flagged, first of page 2 not
    drawLog(form, words, 2);
    const int x = 46 + 3 * 60;
    EXPECT_EQ(pixel(form.Image1, x - 3, 5), kBlue) << "the segment starts on the high row";
    for (int y = 5; y < 25; ++y) {
        bool reached = false;
        for (int column = x - 3; column <= x; ++column) reached |= pixel(form.Image1, column, y) == kBlue;
        EXPECT_TRUE(reached) << "the step falls through row " << y;
    }
    EXPECT_EQ(form.StatusLevel, 25);
}

TEST(ChartSamples, FullLogEndsAt943) {
    TForm1 form;
    std::vector<std::uint16_t> words(300, 50);  // 5.0 mA: 100 pixels at scale 2
    drawLog(form, words, 2);
    EXPECT_EQ(form.PlotX, 946);
    EXPECT_EQ(form.Image1->Canvas().PenPos(), QPoint(943, 231));
    EXPECT_EQ(pixel(form.Image1, 942, 231), kGreen);
    EXPECT_EQ(pixel(form.Image1, 944, 231), Qt::black);
    EXPECT_EQ(pixel(form.Image3, 46, 231), kGreen);
}

TEST(ChartSamples, HeightsMapToRowsAndAreCutAtTheEdge) {
    TForm1 form;
    drawLog(form, {150, 150, 165, 165}, 2);  // 15.0 mA at row 31, 16.5 mA at row 1
    EXPECT_EQ(pixel(form.Image1, 46, 31), kGreen);
    EXPECT_EQ(pixel(form.Image1, 52, 1), kGreen);
    TForm1 wide;
    drawLog(wide, {300, 300, 400, 400}, 1);  // 30.0 mA at row 31; 40 mA is above the image
    EXPECT_EQ(pixel(wide.Image1, 46, 31), kGreen);
    EXPECT_EQ(pixel(wide.Image1, 48, 31), kGreen);
    EXPECT_EQ(pixel(wide.Image1, 50, 0), kGreen) << "the rise is cut at the top edge";
    int beyond = 0;
    for (int x = 53; x < 949; ++x)
        for (int y = 0; y < 331; ++y) beyond += pixel(wide.Image1, x, y) == kGreen;
    EXPECT_EQ(beyond, 0) << "the samples above the image leave no trace";
}

TEST(ChartSamples, MaskedWordsLieOnTheBaseline) {
    TForm1 form;
    drawLog(form, {0x2000, 0x2000, 0x2000}, 2);
    EXPECT_EQ(pixel(form.Image1, 46, 331), kGreen);
    EXPECT_EQ(pixel(form.Image1, 51, 331), kGreen);
    EXPECT_EQ(countColour(form.Image3, kGreen), 6);
}
