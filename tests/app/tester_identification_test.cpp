#include "station_fixture.h"
#include "test_support.h"

using TesterIdentification = StationTest;

TEST_F(TesterIdentification, TenByteReplyIsTheNumberAndJEnablesReading) {
    start("identification \"123456J890\"");
    identify();
    EXPECT_EQ(form->NR->text(), QStringLiteral("123456J890"));
    EXPECT_EQ(form->TYPE->text(), QStringLiteral("Station Tester S3"));
    EXPECT_TRUE(form->Button1->isEnabled());
    EXPECT_FALSE(form->Button18->isEnabled());
    EXPECT_FALSE(form->Timer3->isActive()) << "polling stops while the tester is identified";
    EXPECT_EQ(writes().mid(0, 3), (QStringList{"02", "0B", "48"}));
}

TEST_F(TesterIdentification, TwelveByteReplyLeavesOutByte10) {
    start("identification \"ABCDEFJHIJ\" 00 \"K\"");
    identify();
    EXPECT_EQ(form->NR->text(), QStringLiteral("ABCDEFJHIJK"));
    start("identification \"12345\" 00*5");
    identify();
    EXPECT_EQ(form->NR->text(), QStringLiteral("12345")) << "the caption ends at the first zero";
}

TEST_F(TesterIdentification, OtherModelsNeitherReadNorAskForTheLanguage) {
    start("tester-type 3");
    form->Button18->setEnabled(true);
    identify();
    EXPECT_EQ(form->TYPE->text(), QStringLiteral("Bench Tester C1"));
    EXPECT_FALSE(form->Button18->isEnabled());
    EXPECT_FALSE(form->Button1->isEnabled());
    EXPECT_EQ(writes(), (QStringList{"02", "0B"}));
}

TEST_F(TesterIdentification, UnknownTypeCodeChangesNothingElse) {
    start("tester-type Z");
    form->Button1->setEnabled(true);
    form->Button18->setEnabled(true);
    identify();
    EXPECT_EQ(form->TYPE->text(), QStringLiteral("Not specified !!!"));
    EXPECT_TRUE(form->Button1->isEnabled());
    EXPECT_TRUE(form->Button18->isEnabled());
    EXPECT_EQ(writes(), (QStringList{"02", "0B"}));
}

TEST_F(TesterIdentification, EnglishTesterSwitchesAPolishWindowAndIsToldBack) {
    start("language english");
    identify();
    EXPECT_TRUE(form->RadioButton1->isChecked());
    EXPECT_FALSE(form->RadioButton2->isChecked());
    EXPECT_EQ(form->Button1->text(), QStringLiteral("Read"));
    EXPECT_EQ(form->StringGrid1->Cells(0, 0), QStringLiteral("Time"));
    EXPECT_EQ(writes(), (QStringList{"02", "0B", "48", "49 00"}));
    // The grid was redrawn with the new time header: a white box at (5, 341).
    EXPECT_EQ(form->Image1->Bitmap().pixelColor(5, 341), Qt::white);
}

TEST_F(TesterIdentification, PolishTesterSetsTheTimeHeaderAndSendsNothing) {
    start("language 01");
    identify();
    EXPECT_TRUE(form->RadioButton2->isChecked());
    EXPECT_EQ(form->StringGrid1->Cells(0, 0), QStringLiteral("Czas"));
    EXPECT_EQ(form->Button1->text(), QStringLiteral("Czytaj"));
    EXPECT_EQ(writes(), (QStringList{"02", "0B", "48"}));
    EXPECT_EQ(form->Image1->Bitmap().pixelColor(5, 341), Qt::white);
}

TEST_F(TesterIdentification, MissingRepliesStopSilently) {
    start("no-reply identification\ntester-type J");
    identify();
    EXPECT_EQ(form->NR->text(), QStringLiteral("--"));
    EXPECT_FALSE(form->Timer3->isActive()) << "polling stays stopped";
    EXPECT_TRUE(messages.isEmpty());

    start("no-reply language-query");
    identify();
    EXPECT_TRUE(form->Button1->isEnabled());
    EXPECT_TRUE(form->RadioButton2->isChecked());
    EXPECT_EQ(form->StringGrid1->Cells(0, 0), QString());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(TesterIdentification, FailedWriteRunsTheErrorReset) {
    start("fail write at 2");
    identify();
    EXPECT_EQ(messages, QStringList{"INFO: Interface not connected !"});
    EXPECT_TRUE(form->Timer3->isActive());
    EXPECT_EQ(form->NR->text(), QStringLiteral("--"));
}

TEST_F(TesterIdentification, MarkupInTheNumberIsShownAsSent) {
    // Byte 10, the zero, is left out: the number reads AB<b>CJ</b>.
    start("identification \"AB<b>CJ</b\" 00 \">\"");
    identify();
    EXPECT_EQ(form->NR->text(), QStringLiteral("AB<b>CJ</b>"));
    EXPECT_TRUE(showsTextLiterally(*form->NR));
    EXPECT_EQ(form->TYPE->text(), QStringLiteral("Station Tester S3"));
}
