// The window's two languages; the choice is kept by the tester.
#include "app/main_window.h"
#include "link/tester_protocol.h"

namespace {

enum Language { kPolishCaptions = 0, kEnglishCaptions = 1 };

struct Caption {
    const char* control;
    const char* text[2];  // Polish, English
};

// In the order both languages set them; the last entry is the grid's time header.
constexpr Caption kCaptions[] = {
    {"GroupBox1", {"Urządzenie testujące", "Testing device"}},
    {"Label74", {"Numer:", "Number:"}},
    {"Label86", {"Typ:", "Type:"}},
    {"RadioButton2", {"polski", "Polish"}},
    {"RadioButton1", {"angielski", "English"}},
    {"Button1", {"Czytaj", "Read"}},
    {"Button18", {"Drukuj", "Print"}},
    {"Label2", {"TEST CZUJNIKA RUCHU", "MOTION SENSOR TEST"}},
    {"Label3", {"Nazwa wykonującego:", "Name of the executor"}},
    {"Label6", {"Kod pocztowy:", "ZIP code:"}},
    {"Label7", {"Miasto:", "City:"}},
    {"Label11", {"Ulica:", "Street:"}},
    {"Label18", {"Numer czujnika:", "Sensor number:"}},
    {"Label20", {"Parowanie:", "Pairing:"}},
    {"Label22", {"Typ:", "Type:"}},
    {"Label30", {"Data produkcji:", "Manufacture date:"}},
    {"Label24", {"Prąd maksymalny(H) [mA]:", "Maximum current(H) [mA]:"}},
    {"Label26", {"Prąd minimalny (H)[mA]:", "Minimum current(H)[mA]:"}},
    {"Label29", {"Prąd maksymalny(L) [mA]:", "Maximum current(L) [mA]:"}},
    {"Label34", {"Prąd minimalny(L)[mA]:", "Minimum current(L)[mA]:"}},
    {"Szczeg", {"Szczegóły", "Details"}},
    {"StringGrid1", {"Czas", "Time"}},
};

}  // namespace

void TForm1::setCaptions(int language) {
    for (const Caption& caption : kCaptions) {
        const QString text = QString::fromUtf8(caption.text[language]);
        QObject* control = findChild<QObject*>(QString::fromLatin1(caption.control));
        if (auto* label = qobject_cast<TLabel*>(control)) {
            label->setCaption(text);
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            button->setText(text);
        } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
            group->setTitle(text);
        } else if (auto* grid = qobject_cast<TStringGrid*>(control)) {
            grid->setCells(0, 0, text);
        }
    }
    setArchiveCaptions(language);
}

void TForm1::SetPL() { setCaptions(kPolishCaptions); }

void TForm1::SetEN() { setCaptions(kEnglishCaptions); }

void TForm1::RadioButton1Click() {
    SetEN();
    sendLanguage(tester::kEnglish);
}

void TForm1::RadioButton2Click() {
    SetPL();
    sendLanguage(tester::kPolish);
}

// The tester keeps the choice; it is told only while the read command is
// available, i.e. a sensor tester is identified and no read is running.
void TForm1::sendLanguage(std::uint8_t language) {
    if (!Button1->isEnabled()) return;
    TxBuf[0] = tester::kLanguageSetting;
    TxBuf[1] = language;
    writeTxBuf(2);
}
