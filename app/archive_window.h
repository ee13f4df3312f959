#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "app/archived_read.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class ArchiveListModel;
class TForm1;
class Exception;

// The list of stored reads over the station's window, newest first, with
// filters by sensor number, by station and by days, the number of reads
// found, and the commands that open, print and export them.
class ArchiveWindow : public QWidget {
    Q_OBJECT
public:
    explicit ArchiveWindow(TForm1& station);

    void setLanguage(int language);
    // Reads the list and its count again, as the filters stand.
    void refresh();
    ReadFilter filter() const;
    // The stored read of the selected row, or 0.
    qint64 selectedId() const;

    void openSelected();
    void printSelected();
    void exportCsv();
    void exportPdf();

    // Asks for the file (CSV) or the folder (PDF) to export to; empty when
    // the operator cancels. Tests put their own answer here.
    std::function<QString(bool folder)> ChooseExportTarget;

private:
    void buildControls();
    QString chooseTarget(bool folder);
    void tell(const QString& text);
    void exportFailed(const Exception& error);
    void showCount();

    TForm1& station_;
    int language_ = 0;
    std::optional<int> shownCount_;  // reads found by the last refresh; none when unreadable
    ArchiveListModel* model_;
    QLabel *sensorCaption_, *stationCaption_, *count_;
    QLineEdit *sensor_, *stationFilter_;
    QCheckBox *fromEnabled_, *toEnabled_;
    QDateEdit *from_, *to_;
    QTableView* list_;
    QPushButton *open_, *print_, *exportCsv_, *exportPdf_;
};
