#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "app/archived_read.h"

// The archive list's rows (id, date and time, sensor number, sensor type,
// tester number, complete, station), newest first, fetched a page at a
// time as the list scrolls, so that opening the window over a large
// archive, or one on a server, reads only what it shows. Headers and the
// completeness follow the window's language.
class ArchiveListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kId, kReadAt, kSensor, kType, kTester, kComplete, kStation, kColumnCount };
    // The next page: up to `limit` rows after `after` (none: from the newest).
    using FetchPage = std::function<std::vector<ListedRead>(const ListedRead* after, int limit)>;
    static constexpr int kPageSize = 200;

    using QAbstractTableModel::QAbstractTableModel;

    // Starts the list again with the first page; throws what `fetch` throws.
    void reset(FetchPage fetch);
    void clear();
    qint64 idAt(int row) const;

    void setLanguage(int language);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    // A later page could not be read (the server went away): the list
    // keeps what it has and fetches no more.
    void fetchFailed(const QString& reason);

private:
    std::vector<ListedRead> rows_;
    FetchPage fetch_;
    bool more_ = false;
    int language_ = 0;
};
