// Builds the window's controls with the positions, sizes, captions, colours
// and fonts of the station's layout.
#include "app/main_window.h"
#include "toolkit/colors.h"

namespace {

constexpr TColor kPanelColor = RGB(210, 206, 198);

void setBackground(QWidget* widget, TColor color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, toQColor(color));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setPixelFont(QWidget* widget, int pixelSize, bool bold) {
    QFont font = widget->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    widget->setFont(font);
}

void setTextColor(QWidget* widget, TColor color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, toQColor(color));
    widget->setPalette(palette);
}

template <typename W>
W* place(W* widget, int left, int top, int width = -1, int height = -1) {
    widget->move(left, top);
    if (width >= 0) widget->resize(width, height);
    return widget;
}

TLabel* label(QWidget* parent, const char* name, const QString& caption, int left, int top,
              int pixelSize = 11, bool bold = false) {
    auto* result = new TLabel(parent, QString::fromLatin1(name), caption);
    setPixelFont(result, pixelSize, bold);
    result->adjustSize();
    return place(result, left, top);
}

QFrame* panel(QWidget* parent, const char* name, int left, int top, int width, int height,
              TColor color = clBtnFace) {
    auto* result = new QFrame(parent);
    result->setObjectName(QString::fromLatin1(name));
    setBackground(result, color);
    return place(result, left, top, width, height);
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int left, int top,
                    int width, int height) {
    auto* result = new QPushButton(caption, parent);
    result->setObjectName(QString::fromLatin1(name));
    return place(result, left, top, width, height);
}

TLabel* banner(QWidget* parent, const char* name, int left, int top) {
    TLabel* result = label(parent, name, QStringLiteral("Quorvan "), left, top, 19, true);
    setTextColor(result, clNavy);
    return result;
}

QImage closeIcon() {
    QImage icon(21, 21, QImage::Format_RGB32);
    icon.fill(toQColor(clBtnFace));
    TCanvas canvas(&icon);
    canvas.Pen.Color = RGB(128, 0, 0);
    for (int offset = -1; offset <= 1; ++offset) {
        canvas.MoveTo(5 + offset, 5);
        canvas.LineTo(16 + offset, 16);
        canvas.MoveTo(15 + offset, 5);
        canvas.LineTo(4 + offset, 16);
    }
    return icon;
}

}  // namespace

void TForm1::buildLayout() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("l"));
    setBackground(this, clBtnFace);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    setFont(font);
    move(480, 267);
    resize(1293, 804);

    buildSplashPanel();
    buildMainPanel();
    buildHiddenControls();

    Timer1 = new TTimer(this, QStringLiteral("Timer1"), 50);
    Timer3 = new TTimer(this, QStringLiteral("Timer3"), 300);
    Timer5 = new TTimer(this, QStringLiteral("Timer5"), 2000);
    Timer6 = new TTimer(this, QStringLiteral("Timer6"), 1500);
    for (TTimer* timer : {Timer1, Timer3, Timer5, Timer6}) timer->setEnabled(true);
}

void TForm1::buildSplashPanel() {
    Panel2 = panel(this, "Panel2", 0, 239, 289, 154, kPanelColor);
    Image2 = new TImage(Panel2, QStringLiteral("Image2"), 289, 154);
    Label66 = banner(Panel2, "Label66", 49, 29);
    Label36 = label(Panel2, "Label36", QStringLiteral("Quorvan Test Systems"), 49, 96, 13, true);
    Label37 = label(Panel2, "Label37", QStringLiteral("Motion sensor test station"), 49, 116);
}

void TForm1::buildMainPanel() {
    Panel4 = panel(this, "Panel4", 312, 0, 965, 609, kPanelColor);
    Image4 = place(new TImage(Panel4, QStringLiteral("Image4"), 1008, 274), -1, 0);
    Label4 = banner(Panel4, "Label4", 9, 13);
    buildTesterGroup();
    Button1 = button(Panel4, "Button1", QStringLiteral("Czytaj"), 552, 56, 97, 41);
    Button18 = button(Panel4, "Button18", QStringLiteral("Drukuj"), 680, 56, 97, 41);
    for (QPushButton* command : {Button1, Button18}) {
        setPixelFont(command, 16, true);
        command->setEnabled(false);
    }
    buildSensorSheet();
}

void TForm1::buildTesterGroup() {
    GroupBox1 = place(new QGroupBox(QStringLiteral("Urządzenie testujące"), Panel4), 8, 56, 417, 46);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label74 = label(GroupBox1, "Label74", QStringLiteral("Numer:"), 11, 17);
    NR = label(GroupBox1, "NR", QStringLiteral("--"), 61, 18);
    Label86 = label(GroupBox1, "Label86", QStringLiteral("Typ:"), 160, 17);
    TYPE = label(GroupBox1, "TYPE", QStringLiteral("--"), 196, 18);
    RadioButton2 = place(new QRadioButton(QStringLiteral("polski"), GroupBox1), 320, 8, 89, 17);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setChecked(true);
    RadioButton1 = place(new QRadioButton(QStringLiteral("angielski"), GroupBox1), 320, 24, 81, 17);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
}

void TForm1::buildSensorSheet() {
    Panel1 = panel(Panel4, "Panel1", 8, 104, 949, 497, clWhite);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label2 = label(Panel1, "Label2", QStringLiteral("TEST CZUJNIKA RUCHU"), 368, 8, 13);
    struct Field {
        TLabel** caption;
        const char* captionName;
        const char* text;
        TLabel** value;
        const char* valueName;
        int left, valueLeft, top;
    };
    const Field fields[] = {
        {&Label18, "Label18", "Numer czujnika:", &Label19, "Label19", 200, 312, 48},
        {&Label20, "Label20", "Parowanie:", &Label21, "Label21", 200, 312, 64},
        {&Label22, "Label22", "Typ:", &Label23, "Label23", 200, 312, 80},
        {&Label30, "Label30", "Data produkcji:", &Label32, "Label32", 200, 312, 96},
        {&Label24, "Label24", "Prąd maksymalny(H) [mA]:", &Label25, "Label25", 439, 616, 48},
        {&Label26, "Label26", "Prąd minimalny (H)[mA]:", &Label27, "Label27", 439, 616, 64},
        {&Label29, "Label29", "Prąd maksymalny(L) [mA]:", &Label1, "Label1", 439, 616, 80},
        {&Label34, "Label34", "Prąd minimalny(L)[mA]:", &Label35, "Label35", 439, 616, 96},
        {&Label3, "Label3", "Nazwa wykonującego:", &Label13, "Label13", 4, 4, 40},
        {&Label6, "Label6", "Kod pocztowy:", &Label14, "Label14", 4, 4, 56},
        {&Label7, "Label7", "Miasto:", &Label15, "Label15", 4, 4, 72},
        {&Label11, "Label11", "Ulica:", &Label16, "Label16", 4, 4, 88},
        {&Label12, "Label12", "ID:", &Label17, "Label17", 4, 28, 104},
    };
    for (const Field& field : fields) {
        *field.caption = label(Panel1, field.captionName, QString::fromUtf8(field.text), field.left,
                               field.top, 13);
        *field.value = label(Panel1, field.valueName, QStringLiteral("---"), field.valueLeft,
                             field.top, 13, true);
        const bool executorField = field.left == 4;
        (*field.caption)->setVisible(!executorField);
        (*field.value)->setVisible(!executorField);
    }
    Label28 = label(Panel1, "Label28", QStringLiteral("---"), 600, 8, 13, true);
    Label28->hide();
    Panel3 = panel(Panel1, "Panel3", 53, 32, 800, 2);
    Panel6 = panel(Panel1, "Panel6", 52, 128, 800, 2);
    Image1 = place(new TImage(Panel1, QStringLiteral("Image1"), 949, 361), 0, 136);
    Panel8 = panel(Panel1, "Panel8", 344, 136, 2, 361);
    Panel8->hide();
    Label33 = label(Panel1, "Label33", QString(), 344, 344, 16, true);
    setBackground(Label33, clCream);
    Label33->hide();
    buildDetailsPanel();
}

void TForm1::buildDetailsPanel() {
    Panel91 = panel(Panel1, "Panel91", 633, 176, 122, 288, clActiveCaption);
    Panel91->hide();
    Image36 = place(new TImage(Panel91, QStringLiteral("Image36"), 21, 21), 97, 3);
    Image36->setPicture(closeIcon());
    Image36->setCursor(Qt::PointingHandCursor);
    Szczeg = label(Panel91, "Szczeg", QStringLiteral("Szczegóły"), 8, 8);
    StringGrid1 = place(new TStringGrid(Panel91, QStringLiteral("StringGrid1"), 2, 12, 1), 3, 26,
                        115, 257);
    StringGrid1->setColWidth(0, 53);
    StringGrid1->setColWidth(1, 58);
    StringGrid1->setDefaultRowHeight(20);
    StringGrid1->setEnabled(false);
}

void TForm1::buildHiddenControls() {
    Image3 = place(new TImage(this, QStringLiteral("Image3"), 949, 361), 0, 256);
    Image3->hide();
    Image50 = place(new TImage(this, QStringLiteral("Image50"), 167, 57), 1104, 709);
    Image50->hide();
    Panel5 = panel(this, "Panel5", 520, 54, 91, 400);
    Label9 = label(Panel5, "Label9", QStringLiteral("Label9"), 8, 8);
    Label5 = label(Panel5, "Label5", QStringLiteral("Read1 - Label5->"), 8, 24);
    Label31 = label(Panel5, "Label31", QStringLiteral("Label31"), 8, 40);
    Label8 = label(Panel5, "Label8", QStringLiteral("Send -Label8"), 8, 56);
    Panel5->hide();
    Panel7 = panel(this, "Panel7", 552, 533, 107, 40);
    StrIn = label(Panel7, "StrIn", QStringLiteral("StrIn"), 4, 4);
    Label10 = label(Panel7, "Label10", QStringLiteral("Label10"), 4, 20);
    Button4 = button(Panel7, "Button4", QStringLiteral("<<< Return"), 40, 8, 64, 25);
    Panel7->hide();
}
