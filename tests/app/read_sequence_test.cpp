#include <QCursor>
#include <QElapsedTimer>
#include <QTest>
#include <functional>

#include "station_fixture.h"
#include "test_support.h"

namespace {

const QColor kGreen(0, 128, 0);

QColor chartPixel(const TForm1& form, int x, int y) { return form.Image1->Bitmap().pixelColor(x, y); }

// Which record commands went out, in order (the bytes after each attention byte).
QStringList commands(const QStringList& writes) {
    QStringList result;
    for (qsizetype i = 0; i + 1 < writes.size(); ++i)
        if (writes[i] == QStringLiteral("02")) result << writes[i + 1];
    return result;
}

}  // namespace

using ReadSequence = StationTest;

TEST_F(ReadSequence, FullReadFillsTheSheetAndEnablesBothCommands) {
    start("executor \"Jan Kowalski\" \"30-418\" \"Kraków\" \"Długa 17\"\n"
          "executor-id \"EX-0427\"\nsensor-number \"2310457\"\npairing \"PR-88213\"\n"
          "sensor-type \"MS-401\"\nproduction-date \"03/23\"\n"
          "max-current-h \"12.5\"\nmin-current-h \"11.0\"\nmax-current-l \"5.5\"\nmin-current-l \"4.0\"\n"
          "log-samples 300 curve 5.0 12.0");
    identify();
    clearTranscript();
    read();
    EXPECT_EQ(form->Label13->text(), QStringLiteral("Jan Kowalski"));
    EXPECT_EQ(form->Label15->text(), QString::fromUtf8("Kraków"));
    EXPECT_EQ(form->Label16->text(), QString::fromUtf8("Długa 17"));
    EXPECT_EQ(form->Label17->text(), QStringLiteral("EX-0427"));
    EXPECT_EQ(form->Label19->text(), QStringLiteral("2310457"));
    EXPECT_EQ(form->Label21->text(), QStringLiteral("PR-88213"));
    EXPECT_EQ(form->Label23->text(), QStringLiteral("MS-401"));
    EXPECT_EQ(form->Label32->text(), QStringLiteral("03/23"));
    EXPECT_EQ(form->Label25->text(), QStringLiteral("12.5"));
    EXPECT_EQ(form->Label35->text(), QStringLiteral("4.0"));
    EXPECT_EQ(form->Label28->text(), QStringLiteral("---"));
    EXPECT_EQ(form->SampleTextCount, 300);
    EXPECT_EQ(form->PlotX, 946);
    EXPECT_EQ(form->CurrentScale, 2);
    EXPECT_TRUE(form->Button1->isEnabled());
    EXPECT_TRUE(form->Button18->isEnabled());
    EXPECT_EQ(form->ReadStep, 17u);
    EXPECT_EQ(commands(writes()), (QStringList{"16", "13", "3C", "36", "37", "38", "42", "3A", "3B",
                                               "45", "46", "3D", "3E", "3F", "43", "47"}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ReadSequence, SampleCountsDecideThePages) {
    struct Case {
        int count;
        QStringList pages;
        int texts;
        int plotX;
    };
    const Case cases[] = {
        {1, {"3D"}, 1, 49},
        {60, {"3D"}, 60, 226},
        {61, {"3D", "3E"}, 61, 229},
        {240, {"3D", "3E", "3F", "43"}, 240, 766},
        {300, {"3D", "3E", "3F", "43", "47"}, 300, 946},
        {65535, {"3D", "3E", "3F", "43", "47"}, 300, 946},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        start(logOf(c.count, "5.0"));
        identify();
        clearTranscript();
        read();
        const QStringList sent = commands(writes());
        EXPECT_EQ(sent.mid(11), c.pages);
        EXPECT_EQ(form->SampleTextCount, c.texts);
        EXPECT_EQ(form->PlotX, c.plotX);
        EXPECT_EQ(form->SampleText[std::size_t(c.texts - 1)], QStringLiteral("5.0"));
        EXPECT_TRUE(form->Button18->isEnabled());
    }
}

TEST_F(ReadSequence, OneSampleDrawsNothingButTheGrid) {
    start(logOf(1, "5.0"));
    identify();
    read();
    for (int x = 47; x < 949; ++x) ASSERT_NE(chartPixel(*form, x, 231), kGreen) << x;
}

TEST_F(ReadSequence, RecordWithoutLogAsksForNothingAfterTheHeader) {
    start("log-samples 0");
    identify();
    form->Label32->setCaption(QStringLiteral("old date"));
    form->SampleTextCount = 5;
    clearTranscript();
    read();
    EXPECT_EQ(commands(writes()), (QStringList{"16", "13", "3C"}));
    EXPECT_EQ(form->Label19->text(), QStringLiteral("---"));
    EXPECT_EQ(form->Label32->text(), QStringLiteral("old date"));
    EXPECT_EQ(form->SampleTextCount, 0) << "the previous sensor's samples are gone";
    EXPECT_TRUE(form->Button1->isEnabled());
    EXPECT_TRUE(form->Button18->isEnabled());
}

TEST_F(ReadSequence, FifteenMilliampsKeepsTheFineScale) {
    start("max-current-h \"15.0\"\nmax-current-l \"9.0\"\n" + logOf(2, "15.0"));
    identify();
    read();
    EXPECT_EQ(form->CurrentScale, 2);
    EXPECT_EQ(chartPixel(*form, 46, 31), kGreen) << "15.0 mA lies on row 31";
}

TEST_F(ReadSequence, TwentyMilliampsInTheLowStateWidensTheScaleAtStep9) {
    start("max-current-h \"12.0\"\nmax-current-l \"20.0\"\n" + logOf(2, "30.0"));
    identify();
    read();
    EXPECT_EQ(form->CurrentScale, 1);
    EXPECT_EQ(chartPixel(*form, 46, 31), kGreen) << "30.0 mA lies on row 31";
}

TEST_F(ReadSequence, MaximumThatIsNoNumber) {
    start("max-current-h \"ab\" 00 00\nmax-current-l \"x\" 00 00 00\n" + logOf(2, "10.0"));
    identify();
    read();
    EXPECT_EQ(form->Label25->text(), QStringLiteral("----"));
    EXPECT_EQ(form->Label1->text(), QStringLiteral("x")) << "the L maximum keeps its text";
    EXPECT_EQ(form->CurrentScale, 2);
}

TEST_F(ReadSequence, StatusBitAndMaskAtBothScales) {
    // 7B 80: 12.3 mA with the flag; 00 20: 819.2 mA, beyond the fine scale's mask.
    start("max-current-h \"12.3\"\nmax-current-l \"5.0\"\nlog-samples 2 list 0x807B 0x2000");
    identify();
    read();
    EXPECT_EQ(form->SampleText[0], QStringLiteral("12.3"));
    EXPECT_EQ(form->SampleText[1], QStringLiteral("0.0"));
    EXPECT_EQ(chartPixel(*form, 46, 331 - 246), kGreen);
    EXPECT_EQ(chartPixel(*form, 49, 5), Qt::black) << "the segment's end is left out";
    EXPECT_EQ(chartPixel(*form, 46, 5), QColor(0, 0, 255)) << "status trace starts high";

    start("max-current-h \"20.0\"\nmax-current-l \"5.0\"\nlog-samples 2 list 0x807B 0x2000");
    identify();
    read();
    EXPECT_EQ(form->CurrentScale, 1);
    EXPECT_EQ(form->SampleText[0], QStringLiteral("12.3"));
    EXPECT_EQ(form->SampleText[1], QStringLiteral("819.2"));
    EXPECT_EQ(chartPixel(*form, 46, 331 - 123), kGreen);
}

TEST_F(ReadSequence, ExecutorFieldsShareOnePosition) {
    start("reply executor 01 01 01 02 00*96");
    identify();
    read();
    for (TLabel* field : {form->Label13, form->Label14, form->Label15, form->Label16})
        EXPECT_EQ(field->text(), QString());

    start("reply executor \"" + std::string(31, 'N') + "\" 01 \"30-418\" 01 \"Krakow\" 01 \"Dluga\" 02 00*48");
    identify();
    read();
    EXPECT_EQ(form->Label13->text(), QString(31, 'N'));
    EXPECT_EQ(form->Label14->text(), QString()) << "the name's delimiter ends the postal code at once";
    EXPECT_EQ(form->Label15->text(), QStringLiteral("30-418"));
    EXPECT_EQ(form->Label16->text(), QString::fromLatin1("Krakow\x01" "Dluga"));
}

TEST_F(ReadSequence, WriteFailureMidReadStopsAndPollingFindsTheTesterAgain) {
    // Identification, language query and five record steps get through; the
    // sixth record step's first write finds the cable pulled.
    start("cable-pulled after 7\n" + logOf(300, "5.0"));
    identify();
    read();
    EXPECT_EQ(messages, QStringList{"INFO: Interface not connected !"});
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_TRUE(form->Timer3->isActive());
    EXPECT_FALSE(form->Button1->isEnabled());
    EXPECT_FALSE(form->Button18->isEnabled());
    EXPECT_EQ(form->Label23->text(), QString()) << "the failed step shows its empty reply";
    EXPECT_EQ(form->Label19->text(), QStringLiteral("---"));
    EXPECT_EQ(form->ReadStep, 6u);
    poll();
    poll();
    EXPECT_TRUE(form->Button1->isEnabled()) << "identified again";
    EXPECT_FALSE(form->Timer3->isActive());
}

TEST_F(ReadSequence, MissingReplyAtStep3LeavesTheNumberEmptyAndGoesOn) {
    start("no-reply sensor-number\n" + logOf(10, "5.0"));
    identify();
    read();
    EXPECT_EQ(form->Label19->text(), QString());
    EXPECT_EQ(form->SampleTextCount, 10);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(form->Button18->isEnabled());
}

TEST_F(ReadSequence, ShortLogPageCountsMissingWordsAsZero) {
    start("page-length 20\n" + logOf(60, "5.0"));
    identify();
    read();
    EXPECT_EQ(form->SampleTextCount, 60);
    EXPECT_EQ(form->SampleText[9], QStringLiteral("5.0"));
    EXPECT_EQ(form->SampleText[10], QStringLiteral("0.0"));
}

TEST_F(ReadSequence, StartOfAReadHidesTheDetailsAndBlanksTheFields) {
    start(logOf(5, "5.0"));
    identify();
    form->Panel91->show();
    form->Label21->setCaption(QStringLiteral("old"));
    form->Button1Click();
    EXPECT_TRUE(form->Panel91->isHidden());
    EXPECT_EQ(form->Label21->text(), QStringLiteral("---"));
    EXPECT_FALSE(form->Button1->isEnabled());
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->ReadStep, 0u);
}

TEST_F(ReadSequence, MarkupFromTheTesterIsShownAsSent) {
    start("executor \"<b>Jan</b>\" \"30-418\" \"Krakow\" \"Dluga\"\n"
          "sensor-number \"<i>42</i>\"\nmin-current-l \"<b>\" 00\n" + logOf(2, "5.0"));
    identify();
    read();
    EXPECT_EQ(form->Label13->text(), QStringLiteral("<b>Jan</b>"));
    EXPECT_EQ(form->Label19->text(), QStringLiteral("<i>42</i>"));
    EXPECT_EQ(form->Label35->text(), QStringLiteral("<b>"));
    for (TLabel* field : {form->Label13, form->Label19, form->Label35})
        EXPECT_TRUE(showsTextLiterally(*field)) << field->objectName().toStdString();
}

TEST_F(ReadSequence, LateReplyWithFreeStatusCallsShiftsNoLaterField) {
    // Status calls cost nothing here, so a wait bounded by their count alone
    // would be over long before the sensor number comes.
    start("late sensor-number 30\nsensor-number \"2310457\"\npairing \"PR-88213\"\n"
          "sensor-type \"MS-401\"\nproduction-date \"03/23\"\n" + logOf(10, "5.0"));
    identify();
    read();
    EXPECT_EQ(form->Label19->text(), QStringLiteral("2310457"));
    EXPECT_EQ(form->Label21->text(), QStringLiteral("PR-88213"));
    EXPECT_EQ(form->Label23->text(), QStringLiteral("MS-401"));
    EXPECT_EQ(form->Label32->text(), QStringLiteral("03/23"));
    EXPECT_EQ(form->SampleTextCount, 10);
    EXPECT_EQ(form->SampleText[9], QStringLiteral("5.0"));
}

namespace {

// Sets the default locale for one test and puts the previous one back.
class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(previous_); }

private:
    QLocale previous_;
};

// The C locale as the system hands it out (LANG=C) groups digits, unlike
// QLocale::c().
QLocale systemC() {
    QLocale locale(QLocale::C);
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale;
}

}  // namespace

TEST_F(ReadSequence, SampleTextsHaveOneDecimalAndNoGrouping) {
    struct Case {
        QLocale locale;
        QString largest, small;
    };
    const Case cases[] = {
        {systemC(), "1638.3", "12.3"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "1638.3", "12.3"},
        {QLocale(QLocale::Polish, QLocale::Poland), "1638,3", "12,3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        const DefaultLocale locale(c.locale);
        // 20 mA selects the 30 mA scale, where a word of 0x3FFF is 1638.3 mA.
        start("max-current-h \"20.0\"\nlog-samples 2 list 0x3FFF 0x807B");
        identify();
        read();
        ASSERT_EQ(form->CurrentScale, 1);
        EXPECT_EQ(form->SampleText[0], c.largest);
        EXPECT_EQ(form->SampleText[1], c.small);

        form->show();
        form->Timer6Timer();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QCursor::setPos(form->Image1->mapToGlobal(QPoint(46, 100)));  // sample 0
        form->Image1Click();
        EXPECT_EQ(form->Label33->text(), c.largest);
        EXPECT_EQ(form->StringGrid1->Cells(1, 6), c.largest);
        EXPECT_EQ(form->StringGrid1->Cells(1, 7), c.small);
    }
}

namespace {

bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < timeoutMs) QTest::qWait(10);
    return condition();
}

}  // namespace

TEST_F(ReadSequence, TimersIdentifyTheTesterAndAClickReadsTheSensor) {
    QElapsedTimer clock;
    clock.start();
    start(logOf(61, "7.5"));
    form->show();
    ASSERT_TRUE(waitFor([&] { return form->Button1->isEnabled(); }, 5000));
    EXPECT_GE(clock.elapsed(), 1900) << "the driver loads 2 s after start";
    EXPECT_TRUE(form->Panel4->isVisible());
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_FALSE(form->Button1->isEnabled());
    ASSERT_TRUE(waitFor([&] { return form->Button18->isEnabled(); }, 10000));
    EXPECT_EQ(form->SampleTextCount, 61);
    EXPECT_EQ(form->SampleText[60], QStringLiteral("7.5"));
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_TRUE(messages.isEmpty());
}
