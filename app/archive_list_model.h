#pragma once

#include <QSqlQueryModel>

// The archive list's rows as the query gives them (id, date and time,
// sensor number, sensor type, tester number, complete, station), with
// headers and the completeness in the window's language.
class ArchiveListModel : public QSqlQueryModel {
    Q_OBJECT
public:
    enum Column { kId, kReadAt, kSensor, kType, kTester, kComplete, kStation };
    using QSqlQueryModel::QSqlQueryModel;

    void setLanguage(int language);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    int language_ = 0;
};
