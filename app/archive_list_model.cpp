#include "app/archive_list_model.h"

namespace {

const char* const kHeaders[][7] = {
    {"", "Data i godzina", "Numer czujnika", "Typ", "Urządzenie testujące", "Odczyt", "Stanowisko"},
    {"", "Date and time", "Sensor number", "Type", "Testing device", "Read", "Station"},
};
const char* const kCompleteness[][2] = {{"przerwany", "pełny"}, {"incomplete", "complete"}};

}  // namespace

void ArchiveListModel::setLanguage(int language) {
    language_ = language == 1 ? 1 : 0;
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    if (rowCount() > 0) emit dataChanged(index(0, kComplete), index(rowCount() - 1, kComplete));
}

QVariant ArchiveListModel::data(const QModelIndex& index, int role) const {
    const QVariant value = QSqlQueryModel::data(index, role);
    if (role != Qt::DisplayRole) return value;
    switch (index.column()) {
        case kReadAt:
            return value.toString().left(19);  // to the second
        case kComplete:
            return QString::fromUtf8(kCompleteness[language_][value.toInt() != 0 ? 1 : 0]);
        default:
            return value;
    }
}

QVariant ArchiveListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section > kStation)
        return QSqlQueryModel::headerData(section, orientation, role);
    return QString::fromUtf8(kHeaders[language_][section]);
}
