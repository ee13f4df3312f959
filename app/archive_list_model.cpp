#include "app/archive_list_model.h"

#include "toolkit/exception.h"

namespace {

const char* const kHeaders[][ArchiveListModel::kColumnCount] = {
    {"", "Data i godzina", "Numer czujnika", "Typ", "Urządzenie testujące", "Odczyt", "Stanowisko"},
    {"", "Date and time", "Sensor number", "Type", "Testing device", "Read", "Station"},
};
const char* const kCompleteness[][2] = {{"przerwany", "pełny"}, {"incomplete", "complete"}};

}  // namespace

void ArchiveListModel::reset(FetchPage fetch) {
    std::vector<ListedRead> first = fetch(nullptr, kPageSize);
    beginResetModel();
    more_ = int(first.size()) == kPageSize;
    rows_ = std::move(first);
    fetch_ = std::move(fetch);
    endResetModel();
}

void ArchiveListModel::clear() {
    beginResetModel();
    rows_.clear();
    fetch_ = nullptr;
    more_ = false;
    endResetModel();
}

qint64 ArchiveListModel::idAt(int row) const {
    return row >= 0 && row < rowCount() ? rows_[std::size_t(row)].id : 0;
}

bool ArchiveListModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && more_ && fetch_;
}

// Called by the view from the event loop: nothing may escape it.
void ArchiveListModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) return;
    std::vector<ListedRead> page;
    try {
        page = fetch_(&rows_.back(), kPageSize);
    } catch (const Exception& error) {
        more_ = false;
        emit fetchFailed(error.Message());
        return;
    }
    more_ = int(page.size()) == kPageSize;
    if (page.empty()) return;
    beginInsertRows(QModelIndex(), rowCount(), rowCount() + int(page.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(page.begin()),
                 std::make_move_iterator(page.end()));
    endInsertRows();
}

void ArchiveListModel::setLanguage(int language) {
    language_ = language == 1 ? 1 : 0;
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
    if (rowCount() > 0) emit dataChanged(index(0, kComplete), index(rowCount() - 1, kComplete));
}

int ArchiveListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int ArchiveListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ArchiveListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
    const ListedRead& row = rows_[std::size_t(index.row())];
    switch (index.column()) {
        case kId:
            return row.id;
        case kReadAt:
            return row.readAt.left(19);  // to the second
        case kSensor:
            return row.sensorNumber;
        case kType:
            return row.sensorType;
        case kTester:
            return row.testerNumber;
        case kComplete:
            return QString::fromUtf8(kCompleteness[language_][row.complete ? 1 : 0]);
        case kStation:
            return row.station;
        default:
            return {};
    }
}

QVariant ArchiveListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromUtf8(kHeaders[language_][section]);
}
