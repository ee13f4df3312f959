// Identifies the tester behind a freshly opened interface and, for the
// tester that reads sensors, takes over the language it keeps.
#include "app/main_window.h"
#include "link/tester_protocol.h"
#include "toolkit/cp1250.h"

void TForm1::OdczytNrDev() {
    if (request(tester::kIdentify, tester::kIdentityLength, true) != Request::Replied) return;

    const QByteArray identity = reply();
    NR->setCaption(fromCp1250(tester::identityNumber(identity)));
    const char typeCode = identity[tester::kTypeCodeOffset];
    const char* model = tester::testerModelName(typeCode);
    if (!model) {
        TYPE->setCaption(QStringLiteral("Not specified !!!"));
        return;
    }
    TYPE->setCaption(QString::fromLatin1(model));
    Button18->setEnabled(false);
    if (typeCode != tester::kSensorReaderType) return;
    Button1->setEnabled(true);

    TxBuf[0] = tester::kLanguageQuery;
    if (!writeTxBuf(1)) return;
    if (!WaitFT(1)) return;
    // Checking a button that was not checked runs its click handler, which
    // switches the captions and sends the choice back to the tester.
    if (RxBuf[0] == tester::kEnglish) {
        RadioButton1->setChecked(true);
        StringGrid1->setCells(0, 0, QStringLiteral("Time"));
    } else {
        RadioButton2->setChecked(true);
        StringGrid1->setCells(0, 0, QStringLiteral("Czas"));
    }
    DrawChartGrid15();
}
