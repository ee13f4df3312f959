// The read command: one exchange with the tester per tick of Timer1, the
// replies decoded into the sensor sheet, the sample texts and the chart.
#include <QLocale>

#include "app/current_chart.h"
#include "app/main_window.h"
#include "link/tester_protocol.h"
#include "toolkit/cp1250.h"

namespace {

constexpr std::uint32_t kLastStep = 16;
constexpr std::uint32_t kFirstPageStep = 11;
constexpr float kFifteenMilliamps = 15.0f;

// The tester writes its currents with a decimal point; the locale's own
// separator is accepted too, so a comma-decimal locale reads them as well.
bool toMilliamps(const QString& text, float& value) {
    bool ok = false;
    value = QLocale().toFloat(text.trimmed(), &ok);
    if (!ok) value = QLocale::c().toFloat(text.trimmed(), &ok);
    return ok;
}

}  // namespace

QByteArray TForm1::OdczytFT(std::uint8_t command, DWORD count) {
    switch (request(command, count, false)) {
        case Request::Replied: return reply();
        case Request::FinalReadFailed: return QByteArrayLiteral("0");
        case Request::Failed: break;
    }
    return QByteArray();
}

void TForm1::Button1Click() {
    Button1->setEnabled(false);
    Button18->setEnabled(false);
    DrawChartGrid15();
    CurrentScale = 2;
    ReadStep = 0;
    FinishedSteps = 0;
    Timer1->setEnabled(true);
    blankRecordFields();
    Panel91->hide();
    Panel8->hide();
    Label33->hide();
    // The details panel must never show the samples of the previous sensor.
    SampleText.fill(QString());
    SampleTextCount = 0;
    SampleWords.clear();
    ShownArchiveId = 0;
    ShownArchiveDay = QDate();
}

// The executor fields, the sensor's identity and its H-state currents; the
// production date and the L-state currents keep their text.
void TForm1::blankRecordFields() {
    for (TLabel* field : {Label13, Label14, Label15, Label16, Label17, Label19, Label21, Label23,
                          Label25, Label27, Label28}) {
        field->setCaption(QStringLiteral("---"));
    }
}

// Storing waits until the read is over, so that it never delays a step:
// after the last step, or after the step in which a link fault cut it short.
void TForm1::Timer1Timer() {
    const std::uint32_t step = ReadStep;
    ReadStep = performReadStep(step);
    // A step that a link fault cut short received nothing of its own.
    if (!faultedRead_) FinishedSteps |= std::uint32_t(1) << step;
    if (ReadStep == kLastStep + 1) {
        archiveRead(readOnScreen(true));
    } else if (faultedRead_) {
        archiveRead(*std::exchange(faultedRead_, std::nullopt));
    }
}

std::uint32_t TForm1::performReadStep(std::uint32_t step) {
    const auto text = [this](const tester::RecordCommand& command, TLabel* label) {
        label->setCaption(fromCp1250(OdczytFT(command.code, command.replyLength)));
    };
    switch (step) {
        case 0: {
            const auto record = tester::decodeExecutorRecord(
                OdczytFT(tester::kExecutorRecord.code, tester::kExecutorRecord.replyLength));
            Label13->setCaption(fromCp1250(record.name));
            Label14->setCaption(fromCp1250(record.postalCode));
            Label15->setCaption(fromCp1250(record.city));
            Label16->setCaption(fromCp1250(record.street));
            return 1;
        }
        case 1: text(tester::kExecutorId, Label17); return 2;
        case 2: {
            const auto header = tester::decodeLogHeader(
                OdczytFT(tester::kLogHeader.code, tester::kLogHeader.replyLength));
            SampleCount = header.sampleCount;
            if (SampleCount == 0) return kLastStep;
            PageLength = header.pageLength;
            return 3;
        }
        case 3: text(tester::kSensorNumber, Label19); return 4;
        case 4: text(tester::kPairing, Label21); return 5;
        case 5: text(tester::kSensorType, Label23); return 6;
        case 6: text(tester::kProductionDate, Label32); return 7;
        case 7: readCurrentLimit(Label25, tester::kMaxCurrentH, true); return 8;
        case 8: text(tester::kMinCurrentH, Label27); return 9;
        case 9: readCurrentLimit(Label1, tester::kMaxCurrentL, false); return 10;
        case 10:
            text(tester::kMinCurrentL, Label35);
            chartStartLog();
            return kFirstPageStep;
        case 11: case 12: case 13: case 14: case 15: {
            const int page = int(step - kFirstPageStep);
            if (page == 0) {
                SampleTextCount = 0;
                SampleWords.clear();
            }
            processLogPage(page, OdczytFT(tester::kLogPageCodes[page], DWORD(PageLength)));
            const bool more = page < 4 && SampleCount > tester::kSamplesPerPage * (page + 1);
            return more ? step + 1 : kLastStep;
        }
        case kLastStep:
            Button1->setEnabled(true);
            Button18->setEnabled(true);
            Timer1->setEnabled(false);
            return kLastStep + 1;
        default:
            Timer1->setEnabled(false);
            return step;
    }
}

// A maximum current above 15 mA switches the chart to its 30 mA scale. The
// H-state reading decides the scale; the L-state one can only widen it.
void TForm1::readCurrentLimit(TLabel* label, const tester::RecordCommand& command, bool setsScale) {
    label->setCaption(fromCp1250(OdczytFT(command.code, command.replyLength)));
    float milliamps = 0;
    if (!toMilliamps(label->Caption(), milliamps)) {
        if (setsScale) {
            label->setCaption(QStringLiteral("----"));
            CurrentScale = 2;  // no reading above 15 mA: keep the finer scale
        }
        return;
    }
    if (milliamps > kFifteenMilliamps) {
        CurrentScale = 1;
        DrawChartGrid30();
    } else if (setsScale) {
        CurrentScale = 2;
    }
}

void TForm1::processLogPage(int page, const QByteArray& words) {
    const int first = tester::kSamplesPerPage * page;
    const int count = std::min(SampleCount - first, tester::kSamplesPerPage);
    // The locale's decimal separator, but no grouping: 1638.3, not 1,638.3.
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    for (int k = 0; k < count; ++k) {
        const std::uint16_t word = tester::sampleWord(words, k);
        SampleWords.push_back(word);
        const int height = sampleHeight(word, CurrentScale);
        const int tenths = height / CurrentScale;
        SampleText[std::size_t(SampleTextCount++)] = locale.toString(tenths / 10.0, 'f', 1);
        if (page == 0 && k == 0) {
            chartMoveToFirstSample(height);
        } else {
            const int previous = k == 0 ? StatusLevel : statusLevelOf(tester::sampleWord(words, k - 1));
            chartDrawSample(height, word, previous);
        }
    }
}
