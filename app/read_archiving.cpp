// Keeping reads: the read on screen as a record, storing it after the read's
// last step (or after the link fault that cut it short), and putting a
// stored read back into the window.
#include <QAction>
#include <QUuid>

#include "app/archive_window.h"
#include "app/main_window.h"
#include "app/read_archive.h"
#include "link/tester_protocol.h"
#include "toolkit/application.h"
#include "toolkit/message_box.h"

namespace {

constexpr std::uint32_t kExecutorStep = 0, kExecutorIdStep = 1, kSensorNumberStep = 3,
                        kPairingStep = 4, kSensorTypeStep = 5, kProductionDateStep = 6,
                        kMaxCurrentHStep = 7, kMinCurrentHStep = 8, kMaxCurrentLStep = 9,
                        kMinCurrentLStep = 10;

const char* const kStoreFailed[] = {
    "Odczytu nie udało się zapisać w archiwum %1.\n%2\nOdczyt zostaje na ekranie i można go "
    "wydrukować; "
    "stacja zapisze go razem z następnym odczytem.",
    "The read could not be stored in the archive %1.\n%2\nThe read stays on screen and can be "
    "printed; "
    "the station stores it with the next read.",
};
const char* const kSetAside[] = {
    "Plik archiwum był uszkodzony. Odłożono go jako\n%1\ni rozpoczęto nowe archiwum.",
    "The archive file was damaged. It was set aside as\n%1\nand a new archive was started.",
};

}  // namespace

// Whatever finds the archive damaged (a store, the archive window, an
// export from it), the operator learns at once where the old file went.
ReadArchive& TForm1::archive() {
    if (!archive_ || archive_->location() != archiveLocation()) {
        archive_ = std::make_unique<ReadArchive>(archiveLocation());
        archive_->OnSetAside = [this](const QString& setAsideAs) {
            MessageBox(QString::fromUtf8(kSetAside[language()]).arg(setAsideAs),
                       QStringLiteral("INFO"));
        };
    }
    return *archive_;
}

ArchiveWindow* TForm1::archiveWindow() const {
    return archiveWindow_.data();
}

int TForm1::language() const {
    return RadioButton1->isChecked() ? 1 : 0;
}

// The archive is the record of what this read received: a field whose step
// the read never finished is stored as "---", whatever the window still
// shows (a read without a log keeps the previous production date and L
// currents on screen; a read cut short keeps what its finished steps got).
ArchivedRead TForm1::readOnScreen(bool complete) const {
    const auto field = [&](const TLabel* label, std::uint32_t step) {
        return (FinishedSteps >> step & 1) ? label->Caption() : QStringLiteral("---");
    };
    ArchivedRead read;
    read.readAt = QDateTime::currentDateTime();
    read.complete = complete;
    read.lastStep = int(ReadStep);
    read.testerNumber = NR->Caption();
    read.testerModel = TYPE->Caption();
    read.executorName = field(Label13, kExecutorStep);
    read.postalCode = field(Label14, kExecutorStep);
    read.city = field(Label15, kExecutorStep);
    read.street = field(Label16, kExecutorStep);
    read.executorId = field(Label17, kExecutorIdStep);
    read.sensorNumber = field(Label19, kSensorNumberStep);
    read.pairing = field(Label21, kPairingStep);
    read.sensorType = field(Label23, kSensorTypeStep);
    read.productionDate = field(Label32, kProductionDateStep);
    read.maxCurrentH = field(Label25, kMaxCurrentHStep);
    read.minCurrentH = field(Label27, kMinCurrentHStep);
    read.maxCurrentL = field(Label1, kMaxCurrentLStep);
    read.minCurrentL = field(Label35, kMinCurrentLStep);
    read.station = stationName();
    // Chosen now: a store retried after a lost connection is the same read.
    read.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    read.scale = CurrentScale == 1 ? 1 : 2;
    read.samples = SampleWords;
    return read;
}

// A read that cannot be stored stays queued and goes in with the next one:
// a passing fault (a locked file, a full disk) costs no read.
void TForm1::archiveRead(ArchivedRead read) {
    unstoredReads_.push_back(std::move(read));
    ReadArchive& target = archive();
    QString failure;
    try {
        while (!unstoredReads_.empty()) {
            target.store(unstoredReads_.front());
            unstoredReads_.erase(unstoredReads_.begin());
        }
    } catch (const Exception& error) {
        failure = error.Message();
    }
    if (!failure.isEmpty())
        MessageBox(QString::fromUtf8(kStoreFailed[language()]).arg(target.location(), failure),
                   QStringLiteral("INFO"));
    if (archiveWindow_) archiveWindow_->refresh();
}

bool TForm1::showArchivedRead(const ArchivedRead& read) {
    if (Timer1->isActive()) return false;
    const std::pair<TLabel*, const QString*> fields[] = {
        {Label13, &read.executorName},   {Label14, &read.postalCode},
        {Label15, &read.city},           {Label16, &read.street},
        {Label17, &read.executorId},     {Label19, &read.sensorNumber},
        {Label21, &read.pairing},        {Label23, &read.sensorType},
        {Label32, &read.productionDate}, {Label25, &read.maxCurrentH},
        {Label27, &read.minCurrentH},    {Label1, &read.maxCurrentL},
        {Label35, &read.minCurrentL},
    };
    for (const auto& [label, text] : fields) label->setCaption(*text);
    Panel91->hide();
    Panel8->hide();
    Label33->hide();
    replayLog(read.scale, read.samples);
    ShownArchiveId = read.id;
    ShownArchiveDay = read.readAt.date();
    Button18->setEnabled(true);
    return true;
}

// The chart, the sample texts and the raw words are rebuilt by the very
// steps that drew them during the read, page by page.
void TForm1::replayLog(int scale, const std::vector<std::uint16_t>& words) {
    CurrentScale = scale;
    if (scale == 1) {
        DrawChartGrid30();
    } else {
        DrawChartGrid15();
    }
    SampleText.fill(QString());
    SampleTextCount = 0;
    SampleWords.clear();
    SampleCount = int(std::min<std::size_t>(words.size(), tester::kMaxSamples));
    if (SampleCount == 0) return;
    chartStartLog();
    for (int page = 0; page * tester::kSamplesPerPage < SampleCount; ++page) {
        QByteArray bytes;
        const int first = page * tester::kSamplesPerPage;
        for (int k = first; k < std::min(SampleCount, first + tester::kSamplesPerPage); ++k) {
            bytes.append(char(words[std::size_t(k)] & 0xFF));
            bytes.append(char(words[std::size_t(k)] >> 8));
        }
        processLogPage(page, bytes);
    }
}

// F3 and the window's context menu open the archive; neither adds a control
// to the window's layout.
void TForm1::buildArchiveAction() {
    ArchiveAction = new QAction(this);
    ArchiveAction->setObjectName(QStringLiteral("ArchiveAction"));
    ArchiveAction->setShortcut(QKeySequence(Qt::Key_F3));
    ArchiveAction->setShortcutContext(Qt::WindowShortcut);
    addAction(ArchiveAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(ArchiveAction, &QAction::triggered, this, guarded([this] { openArchiveWindow(); }));
    setArchiveCaptions(language());
}

void TForm1::openArchiveWindow() {
    if (!archiveWindow_) archiveWindow_ = new ArchiveWindow(*this);
    archiveWindow_->refresh();
    archiveWindow_->show();
    archiveWindow_->raise();
    archiveWindow_->activateWindow();
}

void TForm1::setArchiveCaptions(int language) {
    ArchiveAction->setText(language == 1 ? QStringLiteral("Read archive")
                                         : QStringLiteral("Archiwum odczytów"));
    if (archiveWindow_) archiveWindow_->setLanguage(language);
}
