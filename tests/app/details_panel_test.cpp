#include <QCursor>
#include <QTest>
#include <gtest/gtest.h>

#include "app/Unit1.h"

namespace {

class DetailsPanel : public ::testing::Test {
protected:
    void SetUp() override {
        form.show();
        form.Timer6Timer();  // main panel on screen
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    void fill(int count) {
        for (int i = 0; i < count; ++i) form.SampleText[std::size_t(i)] = QString::number(i) + ".5";
        form.SampleTextCount = count;
    }

    // Clicks the chart at (x, y) of the chart image.
    void clickChart(int x, int y) {
        QCursor::setPos(form.Image1->mapToGlobal(QPoint(x, y)));
        form.Image1Click();
    }

    void expectRow(int row, const QString& time, const QString& value) {
        EXPECT_EQ(form.StringGrid1->Cells(0, row), time) << "row " << row;
        EXPECT_EQ(form.StringGrid1->Cells(1, row), value) << "row " << row;
    }

    bool allHidden() const {
        return form.Panel8->isHidden() && form.Panel91->isHidden() && form.Label33->isHidden();
    }

    TForm1 form;
};

}  // namespace

TEST_F(DetailsPanel, BeforeAnyReadEveryClickHidesTheDetails) {
    form.Panel91->show();
    form.Label33->show();
    for (int x : {46, 300, 900}) {
        clickChart(x, 100);
        EXPECT_TRUE(allHidden()) << x;
    }
}

TEST_F(DetailsPanel, ClickOnTheFirstSample) {
    fill(300);
    clickChart(46, 100);
    EXPECT_TRUE(form.Panel91->isVisible());
    EXPECT_TRUE(form.Panel8->isVisible());
    EXPECT_TRUE(form.Label33->isVisible());
    for (int row = 1; row <= 5; ++row) expectRow(row, "---", "---");
    expectRow(6, "0:00", "0.5");
    expectRow(7, "0:01", "1.5");
    expectRow(11, "0:05", "5.5");
    EXPECT_EQ(form.Label33->text(), QStringLiteral("0.5"));
    EXPECT_EQ(form.StringGrid1->Row(), 6);
    EXPECT_EQ(form.Panel8->x(), 46) << "the marker stands at the mouse";
    EXPECT_EQ(form.Label33->pos(), QPoint(46, 136 + 100)) << "the value's corner is at the mouse";
}

TEST_F(DetailsPanel, ClickOnTheLastSampleOfAFullLog) {
    fill(300);
    clickChart(46 + 3 * 299, 50);
    expectRow(6, "4:59", "299.5");
    expectRow(5, "4:58", "298.5");
    for (int row = 7; row <= 11; ++row) expectRow(row, "---", "---");
}

TEST_F(DetailsPanel, TimesOfSamples) {
    fill(300);
    for (auto [sample, time] : {std::pair{9, "0:09"}, {60, "1:00"}, {65, "1:05"}, {250, "4:10"}}) {
        clickChart(46 + 3 * sample, 50);
        expectRow(6, QString::fromLatin1(time), QString::number(sample) + ".5");
    }
}

TEST_F(DetailsPanel, ClickJustRightOfTheLastSampleReadHidesTheDetails) {
    fill(61);
    clickChart(46 + 3 * 60, 50);
    expectRow(6, "1:00", "60.5");
    clickChart(46 + 3 * 61, 50);
    EXPECT_TRUE(allHidden());
    EXPECT_EQ(form.StringGrid1->Cells(0, 6), QStringLiteral("1:00")) << "the table keeps its content";
}

TEST_F(DetailsPanel, DivisionTruncatesTowardZero) {
    fill(300);
    for (int x = 44; x <= 48; ++x) {  // xf 61 to 65
        clickChart(x, 50);
        EXPECT_FALSE(allHidden()) << x;
        EXPECT_EQ(form.Label33->text(), QStringLiteral("0.5")) << x;
    }
    clickChart(43, 50);  // xf 60
    EXPECT_TRUE(allHidden());
}

TEST_F(DetailsPanel, PanelSideFollowsTheClick) {
    fill(300);
    clickChart(400, 300);  // markerLeft / 2 = 200 < labelTop = 436: right edge
    EXPECT_EQ(form.Panel91->x(), 949 - 122 - 5);
    clickChart(700, 100);  // 350 >= 236: left edge
    EXPECT_EQ(form.Panel91->x(), 5);
    EXPECT_EQ(form.Panel91->y(), 176);
}

TEST_F(DetailsPanel, ClosePictureHidesOnlyThePanel) {
    fill(300);
    clickChart(100, 100);
    QTest::mouseClick(form.Image36, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(form.Panel91->isHidden());
    EXPECT_TRUE(form.Panel8->isVisible());
    EXPECT_TRUE(form.Label33->isVisible());
}

TEST_F(DetailsPanel, RealMouseClickOnTheChart) {
    fill(300);
    const QPoint at(46 + 3 * 20 + 1, 120);
    QTest::mouseMove(form.Image1, at);
    QCursor::setPos(form.Image1->mapToGlobal(at));
    QTest::mouseClick(form.Image1, Qt::LeftButton, {}, at);
    EXPECT_EQ(form.Label33->text(), QStringLiteral("20.5"));
    EXPECT_EQ(form.StringGrid1->Cells(0, 6), QStringLiteral("0:20"));
}
