// The archive window: filters, the count, the list and its commands.
#include "app/archive_window.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/archive_export.h"
#include "app/archive_list_model.h"
#include "app/main_window.h"
#include "app/read_archive.h"
#include "toolkit/application.h"
#include "toolkit/message_box.h"

namespace {

enum Text {
    kTitle,
    kSensor,
    kFrom,
    kTo,
    kCount,
    kOpen,
    kPrint,
    kExportCsv,
    kExportPdf,
    kWritten,
    kExportFailed,
    kUnreadable,
    kStation,
    kUnavailable,
    kTextCount
};

const char* const kTexts[2][kTextCount] = {
    {"Archiwum odczytów", "Numer czujnika:", "Od:", "Do:", "Odczytów: %1", "Otwórz", "Drukuj",
     "Eksport CSV", "Eksport PDF", "Zapisano odczytów: %1\n%2", "Eksport nie powiódł się:\n%1",
     "Nie można odczytać archiwum %1:\n%2", "Stanowisko:", "Archiwum niedostępne"},
    {"Read archive", "Sensor number:", "From:", "To:", "Reads: %1", "Open", "Print", "Export CSV",
     "Export PDF", "Reads written: %1\n%2", "The export failed:\n%1",
     "The archive %1 cannot be read:\n%2", "Station:", "Archive unavailable"},
};

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

ArchiveWindow::ArchiveWindow(TForm1& station)
    : QWidget(&station, Qt::Window), station_(station), model_(new ArchiveListModel(this)) {
    setObjectName(QStringLiteral("ArchiveWindow"));
    buildControls();
    resize(720, 480);
    setLanguage(station.language());
}

void ArchiveWindow::buildControls() {
    sensorCaption_ = new QLabel(this);
    sensor_ = named(new QLineEdit(this), "ArchiveSensor");
    stationCaption_ = new QLabel(this);
    stationFilter_ = named(new QLineEdit(this), "ArchiveStation");
    fromEnabled_ = named(new QCheckBox(this), "ArchiveFromEnabled");
    toEnabled_ = named(new QCheckBox(this), "ArchiveToEnabled");
    from_ = named(new QDateEdit(QDate::currentDate().addMonths(-1), this), "ArchiveFrom");
    to_ = named(new QDateEdit(QDate::currentDate(), this), "ArchiveTo");
    count_ = named(new QLabel(this), "ArchiveCount");
    list_ = named(new QTableView(this), "ArchiveList");
    open_ = named(new QPushButton(this), "ArchiveOpen");
    print_ = named(new QPushButton(this), "ArchivePrint");
    exportCsv_ = named(new QPushButton(this), "ArchiveExportCsv");
    exportPdf_ = named(new QPushButton(this), "ArchiveExportPdf");

    auto* filters = new QHBoxLayout;
    filters->addWidget(sensorCaption_);
    filters->addWidget(sensor_);
    filters->addWidget(stationCaption_);
    filters->addWidget(stationFilter_);
    for (auto [enabled, date] : {std::pair{fromEnabled_, from_}, std::pair{toEnabled_, to_}}) {
        date->setCalendarPopup(true);
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        date->setEnabled(false);
        filters->addWidget(enabled);
        filters->addWidget(date);
        connect(enabled, &QCheckBox::toggled, date, &QWidget::setEnabled);
        connect(enabled, &QCheckBox::toggled, this, guarded([this] { refresh(); }));
        connect(date, &QDateEdit::dateChanged, this, guarded([this] { refresh(); }));
    }
    filters->addStretch();
    filters->addWidget(count_);
    for (QLineEdit* edit : {sensor_, stationFilter_})
        connect(edit, &QLineEdit::textChanged, this, guarded([this] { refresh(); }));

    list_->setModel(model_);
    connect(model_, &ArchiveListModel::fetchFailed, this, [this](const QString& reason) {
        tell(QString::fromUtf8(kTexts[language_][kUnreadable])
                 .arg(station_.archive().location(), reason));
    });
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    list_->setWordWrap(false);
    list_->horizontalHeader()->setStretchLastSection(true);
    connect(list_, &QTableView::doubleClicked, this, guarded([this] { openSelected(); }));

    auto* commands = new QHBoxLayout;
    for (QPushButton* command : {open_, print_, exportCsv_, exportPdf_})
        commands->addWidget(command);
    commands->addStretch();
    connect(open_, &QPushButton::clicked, this, guarded([this] { openSelected(); }));
    connect(print_, &QPushButton::clicked, this, guarded([this] { printSelected(); }));
    connect(exportCsv_, &QPushButton::clicked, this, guarded([this] { exportCsv(); }));
    connect(exportPdf_, &QPushButton::clicked, this, guarded([this] { exportPdf(); }));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(list_);
    layout->addLayout(commands);
}

void ArchiveWindow::setLanguage(int language) {
    language_ = language == 1 ? 1 : 0;
    const auto text = [this](Text which) { return QString::fromUtf8(kTexts[language_][which]); };
    setWindowTitle(text(kTitle));
    sensorCaption_->setText(text(kSensor));
    stationCaption_->setText(text(kStation));
    fromEnabled_->setText(text(kFrom));
    toEnabled_->setText(text(kTo));
    open_->setText(text(kOpen));
    print_->setText(text(kPrint));
    exportCsv_->setText(text(kExportCsv));
    exportPdf_->setText(text(kExportPdf));
    model_->setLanguage(language_);
    showCount();
}

// A language switch asks the archive nothing: a server that is not there
// is told once, when the list is read.
void ArchiveWindow::showCount() {
    count_->setText(shownCount_ ? QString::fromUtf8(kTexts[language_][kCount]).arg(*shownCount_)
                                : QString::fromUtf8(kTexts[language_][kUnavailable]));
}

ReadFilter ArchiveWindow::filter() const {
    ReadFilter result;
    result.sensor = sensor_->text().trimmed();
    result.station = stationFilter_->text().trimmed();
    if (fromEnabled_->isChecked()) result.from = from_->date();
    if (toEnabled_->isChecked()) result.to = to_->date();
    return result;
}

void ArchiveWindow::refresh() {
    int count = 0;
    try {
        const ReadFilter current = filter();
        count = station_.archive().count(current);
        model_->reset([this, current](const ListedRead* after, int limit) {
            return station_.archive().list(current, limit, after);
        });
    } catch (const Exception& error) {
        // Not an empty list: an archive that cannot be reached says so.
        model_->clear();
        shownCount_.reset();
        showCount();
        tell(QString::fromUtf8(kTexts[language_][kUnreadable])
                 .arg(station_.archive().location(), error.Message()));
        return;
    }
    shownCount_ = count;
    showCount();
    list_->hideColumn(ArchiveListModel::kId);
    list_->resizeColumnsToContents();
}

qint64 ArchiveWindow::selectedId() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows(ArchiveListModel::kId);
    return rows.isEmpty() ? 0 : model_->idAt(rows.first().row());
}

void ArchiveWindow::openSelected() {
    const qint64 id = selectedId();
    if (id == 0) return;
    station_.showArchivedRead(station_.archive().load(id));
}

void ArchiveWindow::printSelected() {
    const qint64 id = selectedId();
    if (id == 0 || !station_.showArchivedRead(station_.archive().load(id))) return;
    station_.Button18Click();
}

void ArchiveWindow::exportCsv() {
    const QString file = chooseTarget(false);
    if (file.isEmpty()) return;
    try {
        const int count = ::exportCsv(station_.archive(), filter(), file);
        tell(QString::fromUtf8(kTexts[language_][kWritten])
                 .arg(count)
                 .arg(file + '\n' + samplesFileName(file)));
    } catch (const Exception& error) {
        exportFailed(error);
    }
}

void ArchiveWindow::exportPdf() {
    const QString folder = chooseTarget(true);
    if (folder.isEmpty()) return;
    try {
        const int count = exportPdfReports(station_.archive(), filter(), folder, language_);
        tell(QString::fromUtf8(kTexts[language_][kWritten]).arg(count).arg(folder));
    } catch (const Exception& error) {
        exportFailed(error);
    }
}

// An export that found the archive damaged has had it set aside: the list
// shows the archive that took its place.
void ArchiveWindow::exportFailed(const Exception& error) {
    tell(QString::fromUtf8(kTexts[language_][kExportFailed]).arg(error.Message()));
    refresh();
}

QString ArchiveWindow::chooseTarget(bool folder) {
    if (ChooseExportTarget) return ChooseExportTarget(folder);
    const QString title = QString::fromUtf8(kTexts[language_][folder ? kExportPdf : kExportCsv]);
    if (folder) return QFileDialog::getExistingDirectory(this, title);
    return QFileDialog::getSaveFileName(this, title, QStringLiteral("quorvan-reads.csv"),
                                        QStringLiteral("CSV (*.csv)"));
}

void ArchiveWindow::tell(const QString& text) {
    MessageBox(text, QStringLiteral("INFO"));
}
