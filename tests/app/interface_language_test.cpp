#include "station_fixture.h"

using InterfaceLanguage = StationTest;

TEST_F(InterfaceLanguage, SwitchingWithReadingDisabledSendsNothing) {
    start("tester-type 3");
    identify();
    clearTranscript();
    form->RadioButton1->setChecked(true);
    EXPECT_EQ(form->GroupBox1->title(), QStringLiteral("Testing device"));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("Name of the executor"));
    EXPECT_EQ(form->Szczeg->text(), QStringLiteral("Details"));
    EXPECT_EQ(form->StringGrid1->Cells(0, 0), QStringLiteral("Time"));
    EXPECT_TRUE(writes().isEmpty());
}

TEST_F(InterfaceLanguage, SwitchingIsSentToASensorTester) {
    start("");
    identify();
    clearTranscript();
    form->RadioButton1->setChecked(true);
    form->RadioButton2->setChecked(true);
    EXPECT_EQ(writes(), (QStringList{"49 00", "49 FF"}));
}

TEST_F(InterfaceLanguage, EnglishAndBackRestoresTheLayoutCaptions) {
    start("");
    TForm1 fresh;
    QMap<QString, QString> layout;
    for (TLabel* label : fresh.findChildren<TLabel*>()) layout[label->objectName()] = label->text();
    form->RadioButton1->setChecked(true);
    EXPECT_EQ(form->Label24->text(), QStringLiteral("Maximum current(H) [mA]:"));
    EXPECT_EQ(form->Label12->text(), QStringLiteral("ID:")) << "not switched";
    form->RadioButton2->setChecked(true);
    for (TLabel* label : form->findChildren<TLabel*>())
        EXPECT_EQ(label->text(), layout[label->objectName()]) << label->objectName().toStdString();
    EXPECT_EQ(form->GroupBox1->title(), QString::fromUtf8("Urządzenie testujące"));
    EXPECT_EQ(form->RadioButton1->text(), QStringLiteral("angielski"));
    EXPECT_EQ(form->StringGrid1->Cells(0, 0), QStringLiteral("Czas"));
}

TEST_F(InterfaceLanguage, ChartKeepsItsTimeHeaderUntilRedrawn) {
    start("");
    form->RadioButton1->setChecked(true);
    const QImage before = form->Image1->Bitmap().copy();
    form->RadioButton2->setChecked(true);
    EXPECT_EQ(form->Image1->Bitmap(), before);
}

TEST_F(InterfaceLanguage, FailedLanguageWriteResetsTheLinkButKeepsTheCaptions) {
    start("fail write on 49");
    identify();
    form->RadioButton1->setChecked(true);
    EXPECT_EQ(messages, QStringList{"INFO: Interface not connected !"});
    EXPECT_EQ(form->Button1->text(), QStringLiteral("Read"));
    EXPECT_TRUE(form->Timer3->isActive());
}
