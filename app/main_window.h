#pragma once

#include <QFrame>
#include <QPointer>
#include <QGroupBox>
#include "toolkit/label.h"
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/archived_read.h"

#include "link/d2xx.h"
#include "link/d2xx_library.h"
#include "link/tester_protocol.h"
#include "link/usb_device_diagnosis.h"
#include "toolkit/image.h"
#include "toolkit/string_grid.h"
#include "toolkit/timer.h"

class ArchiveWindow;
class QAction;
class QPrinter;
class QPrintDialog;
class ReadArchive;
class TCanvas;

// The three current labels of the chart's grid, from the top row down.
struct ChartLabels {
    const char* top;
    const char* middle;
    const char* bottom;
};

// The station's one window: every control, every timer and all of the
// station's state. The operations live in one file per concern.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Window and start-up
    void FormCreate();
    void Timer6Timer();
    void FormClose();

    // Interface link
    void Timer5Timer();
    void Timer3Timer();
    void CheckFT();
    bool WaitFT(DWORD count);
    void ErrorFT();

    // Tester identification and interface language
    void OdczytNrDev();
    void SetPL();
    void SetEN();
    void RadioButton1Click();
    void RadioButton2Click();

    // Sensor record protocol and read sequence
    QByteArray OdczytFT(std::uint8_t command, DWORD count);
    void Button1Click();
    void Timer1Timer();

    // Details panel and printed report
    void Image1Click();
    void Image36Click();
    void Button18Click();
    void SetPrintImage(TCanvas& canvas, int u);
    static void DrawHorizLine(int y, int x1, int x2, TCanvas& canvas);
    static void DrawVertLine(int x, int y1, int y2, TCanvas& canvas);
    static void DrawRect(int top, int right, int bottom, int left, TCanvas& canvas);
    static void DrawRectBlack(int top, int right, int bottom, int left, TCanvas& canvas);
    // Runs the print dialog on the printer; true when the operator accepts.
    // Tests put their own answer here.
    std::function<bool(QPrinter&)> ExecutePrintDialog;

    // Draws the report on any printer; the print command and the PDF export use it.
    void printReport(QPrinter& printer);
    // The report's file name for a sensor read on a day, as the print dialog offers it.
    static QString reportFileName(const QString& sensor, QDate day);

    // Read archive: every read that reaches its last step, or is cut short
    // by a link fault, is stored after its last step.
    ReadArchive& archive();
    void openArchiveWindow();
    // Puts a stored read into the window as it was after its read; refused
    // while a read runs.
    bool showArchivedRead(const ArchivedRead& read);
    // The window's language: 0 Polish, 1 English.
    int language() const;
    ArchiveWindow* archiveWindow() const;
    QAction* ArchiveAction;
    std::vector<std::uint16_t> SampleWords;  // the raw log words of the read on screen
    qint64 ShownArchiveId = 0;               // the stored read on screen, 0 for a fresh read
    std::uint32_t FinishedSteps = 0;         // bit n: step n of the read on screen has run
    QDate ShownArchiveDay;

    // Current chart
    void DrawChartGrid15();
    void DrawChartGrid30();
    void chartStartLog();
    void chartMoveToFirstSample(int height);
    void chartDrawSample(int height, std::uint16_t word, int previousLevel);

    // Controls, named as in the layout
    QWidget* Panel2;
    TImage* Image2;
    TLabel *Label66, *Label36, *Label37;
    QWidget* Panel4;
    TImage* Image4;
    TLabel* Label4;
    QGroupBox* GroupBox1;
    TLabel *Label74, *NR, *Label86, *TYPE;
    QRadioButton *RadioButton2, *RadioButton1;
    QPushButton *Button1, *Button18;
    QFrame* Panel1;
    TLabel *Label2, *Label18, *Label19, *Label20, *Label21, *Label22, *Label23, *Label30, *Label32;
    TLabel *Label24, *Label25, *Label26, *Label27, *Label29, *Label1, *Label34, *Label35;
    TLabel *Label3, *Label13, *Label6, *Label14, *Label7, *Label15, *Label11, *Label16;
    TLabel *Label12, *Label17, *Label28;
    QFrame *Panel3, *Panel6;
    TImage* Image1;
    QFrame* Panel8;
    TLabel* Label33;
    QFrame* Panel91;
    TImage* Image36;
    TLabel* Szczeg;
    TStringGrid* StringGrid1;
    TImage* Image3;
    TImage* Image50;
    QFrame* Panel5;
    TLabel *Label9, *Label5, *Label31, *Label8;
    QFrame* Panel7;
    TLabel *StrIn, *Label10;
    QPushButton* Button4;
    TTimer *Timer1, *Timer3, *Timer5, *Timer6;
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPrintDialog> PrintDialog1;

    // Private state, in declaration order; public so that tests can see it.
    bool FTConnected = false;
    bool DllLoaded = false;
    std::int32_t CurrentScale = 0;
    std::uint32_t ReadStep = 0;
    std::int32_t PageLength = 0;
    std::int32_t SampleCount = 0;
    std::int32_t PlotX = 0;
    std::int32_t StatusLevel = 0;
    QPrinter* PrintPrinter = nullptr;
    std::array<QString, 300> SampleText;
    std::int32_t SampleTextCount = 0;
    void* DllHandle = nullptr;
    std::int32_t FTStatus = 0;
    FT_HANDLE FTHandle = nullptr;
    std::uint32_t DevCount = 0;
    std::array<std::uint8_t, 256> RxBuf{};
    std::array<std::uint8_t, 128> TxBuf{};
    DWORD BytesRead = 0, BytesWritten = 0, EventStatus = 0, TxQueue = 0, RxQueue = 0;
    FT_ListDevices_t FT_ListDevices = nullptr;
    FT_Open_t FT_Open = nullptr;
    FT_Close_t FT_Close = nullptr;
    FT_SetTimeouts_t FT_SetTimeouts = nullptr;
    FT_Write_t FT_Write = nullptr;
    FT_Read_t FT_Read = nullptr;
    FT_GetStatus_t FT_GetStatus = nullptr;
    FT_ClrRts_t FT_ClrRts = nullptr;

    // Where the reason for an interface that does not open is looked up;
    // tests point it at fake trees.
    SystemTrees usbTrees;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ArchivedRead readOnScreen(bool complete) const;
    void archiveRead(ArchivedRead read);
    void replayLog(int scale, const std::vector<std::uint16_t>& words);
    void buildArchiveAction();
    void setArchiveCaptions(int language);

    std::unique_ptr<ReadArchive> archive_;
    QPointer<ArchiveWindow> archiveWindow_;
    std::optional<ArchivedRead> faultedRead_;
    std::vector<ArchivedRead> unstoredReads_;

private:
    enum class Request { Replied, Failed, FinalReadFailed };
    Request request(std::uint8_t command, DWORD count, bool pauseBeforeWait);
    void bindEntryPoints(const D2xxEntryPoints& entries);
    bool writeTxBuf(DWORD count);
    QByteArray reply() const;
    void releaseLink();
    void explainOpenFailure();
    void sendLanguage(std::uint8_t language);
    void setCaptions(int language);
    std::uint32_t performReadStep(std::uint32_t step);
    void readCurrentLimit(TLabel* label, const tester::RecordCommand& command, bool setsScale);
    void blankRecordFields();
    void processLogPage(int page, const QByteArray& reply);

    void fillDetailsRow(int row, int sample);
    bool runPrintDialog(QPrinter& printer);
    QString defaultReportFileName(const QString& lastFile) const;

    void buildLayout();
    void buildSplashPanel();
    void buildMainPanel();
    void buildTesterGroup();
    void buildSensorSheet();
    void buildDetailsPanel();
    void buildHiddenControls();
    void connectHandlers();
    void setBorderless(bool borderless);
    void autoSize();
    void drawChartGrid(const ChartLabels& labels);
    void drawGridOn(TImage* image, TColor background, TColor axes, TColor dots,
                    const ChartLabels& labels);

    QString openFailureHint_;  // the last reason told, so that it is told once
};
