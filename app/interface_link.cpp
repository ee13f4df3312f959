// The link to the test interface: loading the driver library, polling for
// the interface, the wait for a reply, the error reset and the request
// framing every exchange uses.
#include <QThread>
#include <chrono>
#include <cstdio>

#include "app/main_window.h"
#include "link/d2xx_library.h"
#include "link/tester_protocol.h"
#include "link/usb_device_diagnosis.h"
#include "toolkit/message_box.h"

namespace {

constexpr ULONG kReadTimeoutMs = 10;
constexpr ULONG kWriteTimeoutMs = 10;
constexpr unsigned long kRequestPauseMs = 50;
constexpr std::uint32_t kWaitLimit = 300000;  // status calls
// How long a status call takes is the driver's business: on a fast one the
// count runs out within milliseconds, a tester that answers a little late
// loses its reply, and every later reply lands one request late. So the wait
// also never gives up before this time. The station sets no baud rate, so
// the interface runs at its default 9600 baud, about 1 ms a byte: the
// longest reply, a 255-byte log page, needs some 270 ms on the wire, which
// leaves the tester over 200 ms to start answering. A reply that never
// comes holds the window for half a second; polling is stopped while the
// tester is asked anything, so it misses nothing.
constexpr std::chrono::milliseconds kMinimumWait{500};

// For the operator's terminal and the desktop's log; the window says what
// the station's layout says and no more.
void tellOperator(const QString& line) {
    std::fprintf(stderr, "quorvan: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace

void TForm1::Timer5Timer() {
    D2xxEntryPoints entries;
    DllHandle = loadD2xxLibrary(entries);
    if (!DllHandle) {
        tellOperator(QString::fromStdString(d2xxLoadError()));
        Timer1->setEnabled(false);
        Timer3->setEnabled(false);
        Timer5->setEnabled(false);
        MessageBox(QStringLiteral("Not find ftd2xx.dll"), QStringLiteral("INFO"));
        DllLoaded = false;
        return;
    }
    DllLoaded = true;
    Timer3->setEnabled(true);
    Timer5->setEnabled(false);
    bindEntryPoints(entries);
}

void TForm1::bindEntryPoints(const D2xxEntryPoints& entries) {
    FT_ListDevices = entries.ListDevices;
    FT_Open = entries.Open;
    FT_Close = entries.Close;
    FT_Write = entries.Write;
    FT_Read = entries.Read;
    FT_GetStatus = entries.GetStatus;
    FT_SetTimeouts = entries.SetTimeouts;
    FT_ClrRts = entries.ClrRts;
}

void TForm1::Timer3Timer() { CheckFT(); }

void TForm1::CheckFT() {
    if (!DllLoaded) {
        FTConnected = false;
        return;
    }
    FTStatus = FT_ListDevices(&DevCount, nullptr, FT_LIST_NUMBER_ONLY);
    if (FTStatus != FT_OK) {
        FTConnected = false;
        return;
    }
    FTConnected = true;
    // Opened into a local handle: a failed open must not lose the handle of
    // an earlier connection, which is closed here so the next step can open.
    FT_HANDLE opened = nullptr;
    FTStatus = FT_Open(0, &opened);
    if (FTStatus != FT_OK) {
        FTConnected = false;
        // With a handle of our own still open, the station itself is what
        // kept the interface from opening: nothing to explain.
        if (FTHandle)
            FTStatus = FT_Close(FTHandle);
        else
            explainOpenFailure();
        FTHandle = nullptr;
        return;
    }
    openFailureHint_.clear();
    // A replugged interface opens while the handle of the pulled one is
    // still held: release that one rather than lose it.
    if (FTHandle) FT_Close(FTHandle);
    FTHandle = opened;
    FTStatus = FT_SetTimeouts(FTHandle, kReadTimeoutMs, kWriteTimeoutMs);
    FTConnected = FTStatus == FT_OK;
    if (!FTConnected) {
        FTStatus = FT_Close(FTHandle);
        FTHandle = nullptr;
        return;
    }
    Timer3->setEnabled(false);
    OdczytNrDev();
}

// The driver's status says nothing of why the interface did not open; Linux
// shows it. Polling fails every 300 ms, so each new reason is told once.
void TForm1::explainOpenFailure() {
    const QString hint =
        interfaceHint(diagnoseInterface(interfaceUsbIds(), usbTrees, AccessIdentity::current()));
    if (!hint.isEmpty() && hint != openFailureHint_) tellOperator(hint);
    openFailureHint_ = hint;
}

bool TForm1::WaitFT(DWORD count) {
    if (!DllLoaded) return false;
    const auto earliestEnd = std::chrono::steady_clock::now() + kMinimumWait;
    for (std::uint32_t calls = 0;; ++calls) {
        FTStatus = FT_GetStatus(FTHandle, &RxQueue, &TxQueue, &EventStatus);
        if (FTStatus != FT_OK) {
            ErrorFT();
            return false;
        }
        if (RxQueue >= count) {
            RxQueue = std::min<DWORD>(RxQueue, DWORD(RxBuf.size()));
            FTStatus = FT_Read(FTHandle, RxBuf.data(), RxQueue, &BytesRead);
            if (FTStatus != FT_OK) {
                ErrorFT();
                return false;
            }
            return true;
        }
        if (calls >= kWaitLimit && std::chrono::steady_clock::now() >= earliestEnd) return false;
    }
}

void TForm1::ErrorFT() {
    // A read cut short is kept with what its finished steps received, taken
    // before the fields are blanked; it is stored once its step has ended.
    if (Timer1->isActive()) faultedRead_ = readOnScreen(false);
    Timer1->setEnabled(false);
    Timer3->setEnabled(true);
    blankRecordFields();
    MessageBox(QStringLiteral("Interface not connected !"), QStringLiteral("INFO"));
}

// A tick that came after the release would call into the freed library, so
// every timer stops first, whatever the window was doing.
void TForm1::FormClose() {
    for (TTimer* timer : {Timer1, Timer3, Timer5, Timer6}) timer->setEnabled(false);
    releaseLink();
}

void TForm1::releaseLink() {
    if (!DllLoaded) return;
    if (FTHandle) FTStatus = FT_Close(FTHandle);
    FTHandle = nullptr;
    freeD2xxLibrary(DllHandle);
    DllHandle = nullptr;
    DllLoaded = false;
    bindEntryPoints(D2xxEntryPoints());
}

// Once the link is released an exchange fails quietly: the window that
// would tell the operator is closing, and no entry point is left to call.
bool TForm1::writeTxBuf(DWORD count) {
    if (!DllLoaded) return false;
    FTStatus = FT_Write(FTHandle, TxBuf.data(), count, &BytesWritten);
    if (FTStatus == FT_OK) return true;
    ErrorFT();
    return false;
}

// One request: the attention byte, a pause, the command byte, the wait for
// the awaited length, and a last short read for stragglers.
TForm1::Request TForm1::request(std::uint8_t command, DWORD count, bool pauseBeforeWait) {
    TxBuf[0] = tester::kAttention;
    if (!writeTxBuf(1)) return Request::Failed;
    QThread::msleep(kRequestPauseMs);
    TxBuf[0] = command;
    if (!writeTxBuf(1)) return Request::Failed;
    if (pauseBeforeWait) QThread::msleep(kRequestPauseMs);
    if (!WaitFT(count)) return Request::Failed;
    FTStatus = FT_Read(FTHandle, RxBuf.data(), RxQueue, &BytesRead);
    if (FTStatus != FT_OK) {
        ErrorFT();
        return Request::FinalReadFailed;
    }
    return Request::Replied;
}

QByteArray TForm1::reply() const {
    return QByteArray(reinterpret_cast<const char*>(RxBuf.data()), qsizetype(RxQueue));
}
