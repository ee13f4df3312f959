// The details panel: a click on the screen chart marks the sample under the
// mouse and lists the eleven samples around it.
#include <QCursor>

#include "app/current_chart.h"
#include "app/main_window.h"
#include "link/tester_protocol.h"

namespace {

constexpr int kChartFrameOffset = 17;  // the click position is measured from 17 pixels left of the chart
constexpr int kFirstSampleX = kChartFrameOffset + kChartLeft;  // 63
constexpr int kClickedRow = 6;
constexpr int kPanelMargin = 5;

}  // namespace

// The mouse position is taken relative to the chart and to the sheet rather
// than from the window's outer corner, so the sample under the mouse is
// picked whatever frame the window manager draws.
void TForm1::Image1Click() {
    const QPoint cursor = QCursor::pos();
    const QPoint inImage = Image1->mapFromGlobal(cursor);
    const int labelTop = Panel1->mapFromGlobal(cursor).y();
    const int xf = inImage.x() + Image1->x() + kChartFrameOffset;
    const int markerLeft = xf - Image1->x() - kChartFrameOffset;
    const int index = (xf - kFirstSampleX) / kSampleStep;

    const auto hideAll = [this] {
        Panel8->hide();
        Panel91->hide();
        Label33->hide();
    };
    if (index < 0 || index >= tester::kMaxSamples) return hideAll();
    Panel8->move(markerLeft, Panel8->y());
    Label33->move(markerLeft, labelTop);
    if (index >= SampleTextCount) return hideAll();

    Panel8->show();
    for (int row = 1; row <= 11; ++row) fillDetailsRow(row, index + row - kClickedRow);
    Label33->setCaption(SampleText[std::size_t(index)]);
    const bool right = markerLeft / 2 < labelTop;
    Panel91->move(right ? Image1->width() - Panel91->width() - kPanelMargin : Image1->x() + kPanelMargin,
                  Panel91->y());
    StringGrid1->setRow(kClickedRow);
    Panel91->show();
    Label33->show();
    Label33->raise();
}

void TForm1::fillDetailsRow(int row, int sample) {
    const bool outside = sample < 0 || sample >= SampleTextCount;
    StringGrid1->setCells(0, row, outside ? QStringLiteral("---") : sampleTimeText(sample));
    StringGrid1->setCells(1, row, outside ? QStringLiteral("---") : SampleText[std::size_t(sample)]);
}

void TForm1::Image36Click() { Panel91->hide(); }
