#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "app/Unit1.h"

namespace {

const QString kBanner = QStringLiteral("Quorvan v1.02.008");

void expectCaption(const TForm1& form, const char* name, const QString& caption) {
    const auto* label = form.findChild<QLabel*>(QString::fromLatin1(name));
    ASSERT_NE(label, nullptr) << name;
    EXPECT_EQ(label->text(), caption) << name;
}

}  // namespace

TEST(MainWindowStartUp, SplashShowsTheBannerWithoutBorder) {
    TForm1 form;
    form.show();
    EXPECT_EQ(form.Label4->text(), kBanner);
    EXPECT_EQ(form.Label66->text(), kBanner);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("l"));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(form.Panel2->isVisible());
    EXPECT_FALSE(form.Panel4->isVisible());
    EXPECT_EQ(form.size(), QSize(289, 154)) << "the window fits the splash panel";
    EXPECT_FALSE(form.Image2->Bitmap().isNull());
    EXPECT_EQ(form.Image2->Bitmap().size(), QSize(289, 154));
}

TEST(MainWindowStartUp, TimersAfterCreation) {
    TForm1 form;
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_TRUE(form.Timer3->isActive());
    EXPECT_TRUE(form.Timer5->isActive());
    EXPECT_TRUE(form.Timer6->isActive());
    EXPECT_EQ(form.Timer1->interval(), 50);
    EXPECT_EQ(form.Timer3->interval(), 300);
    EXPECT_EQ(form.Timer5->interval(), 2000);
    EXPECT_EQ(form.Timer6->interval(), 1500);
}

TEST(MainWindowStartUp, ControlsStartEmptyAndDisabled) {
    TForm1 form;
    EXPECT_EQ(form.NR->text(), QStringLiteral("--"));
    EXPECT_EQ(form.TYPE->text(), QStringLiteral("--"));
    EXPECT_TRUE(form.RadioButton2->isChecked());
    EXPECT_FALSE(form.RadioButton1->isChecked());
    EXPECT_FALSE(form.Button1->isEnabled());
    EXPECT_FALSE(form.Button18->isEnabled());
    EXPECT_EQ(form.Button1->text(), QStringLiteral("Czytaj"));
    EXPECT_EQ(form.Button18->text(), QStringLiteral("Drukuj"));
    for (const char* value : {"Label19", "Label21", "Label23", "Label32", "Label25", "Label27",
                              "Label1", "Label35", "Label13", "Label14", "Label15", "Label16",
                              "Label17", "Label28"}) {
        expectCaption(form, value, QStringLiteral("---"));
    }
    expectCaption(form, "Label24", QString::fromUtf8("Prąd maksymalny(H) [mA]:"));
    expectCaption(form, "Label26", QString::fromUtf8("Prąd minimalny (H)[mA]:"));
    expectCaption(form, "Label2", QStringLiteral("TEST CZUJNIKA RUCHU"));
    EXPECT_EQ(form.StringGrid1->Cells(0, 0), QString());
    EXPECT_EQ(form.SampleTextCount, 0);
    EXPECT_EQ(form.ReadStep, 0u);
    EXPECT_FALSE(form.DllLoaded);
}

TEST(MainWindowStartUp, LayoutPositionsAndVisibility) {
    TForm1 form;
    form.show();
    EXPECT_EQ(form.Panel1->geometry(), QRect(8, 104, 949, 497));
    EXPECT_EQ(form.Image1->geometry(), QRect(0, 136, 949, 361));
    EXPECT_EQ(form.Label19->pos(), QPoint(312, 48));
    EXPECT_EQ(form.Label1->pos(), QPoint(616, 80));
    EXPECT_EQ(form.Button1->geometry(), QRect(552, 56, 97, 41));
    EXPECT_EQ(form.Panel91->geometry(), QRect(633, 176, 122, 288));
    EXPECT_EQ(form.StringGrid1->columnWidth(0), 53);
    EXPECT_EQ(form.StringGrid1->columnWidth(1), 58);
    EXPECT_EQ(form.StringGrid1->rowHeight(11), 20);
    EXPECT_FALSE(form.StringGrid1->isEnabled());
    for (QWidget* hidden : std::initializer_list<QWidget*>{
             form.Label13, form.Label3, form.Label17, form.Label28, form.Panel8, form.Label33,
             form.Panel91, form.Image3, form.Image50, form.Panel5, form.Panel7}) {
        EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
    }
    for (QWidget* widget : form.findChildren<QWidget*>()) {
        if (widget->parent() == &form || qobject_cast<TLabel*>(widget) || qobject_cast<TImage*>(widget)) {
            EXPECT_FALSE(widget->objectName().isEmpty()) << widget->metaObject()->className();
        }
    }
}

TEST(MainWindowStartUp, MainPanelReplacesTheSplashAfter1500ms) {
    QElapsedTimer clock;
    clock.start();
    TForm1 form;
    form.show();
    QSignalSpy ticks(form.Timer6, &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(3000));
    EXPECT_GE(clock.elapsed(), 1400) << "1500 ms, less the coarse timer's 5 % slack";
    QCoreApplication::processEvents();
    EXPECT_FALSE(form.Panel2->isVisible());
    EXPECT_TRUE(form.Panel4->isVisible());
    EXPECT_FALSE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(form.Timer6->isActive()) << "the splash timer fires once";
    EXPECT_EQ(form.Panel5->y(), 100);
    EXPECT_EQ(form.Panel4->pos(), QPoint(0, 0));
    EXPECT_EQ(form.size(), QSize(965, 609)) << "the window fits the main panel";
}
