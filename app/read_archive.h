#pragma once

#include <QSqlDatabase>
#include <QString>
#include <functional>

#include "app/archived_read.h"
#include "toolkit/exception.h"

class QSqlQuery;
class QSqlQueryModel;

// Raised when the archive cannot be opened or written.
class EArchiveError : public Exception {
public:
    using Exception::Exception;
};

// How an archive is used. The station stores reads and must go on storing:
// a file that SQLite finds damaged is renamed, never deleted, and a new
// archive is started in its place. An export from the shell only reads: it
// never creates an archive, never sets a file aside, and a damaged file is
// an error that leaves it as it is.
enum class ArchiveUse { Station, Export };

// The station's archive of reads: one SQLite file, in WAL mode so that a
// reader never blocks a writer, shared safely by stations that store into
// the same file.
class ReadArchive {
public:
    static constexpr int kSchemaVersion = 2;

    explicit ReadArchive(QString fileName, ArchiveUse use = ArchiveUse::Station);
    ~ReadArchive();
    ReadArchive(const ReadArchive&) = delete;
    ReadArchive& operator=(const ReadArchive&) = delete;

    const QString& fileName() const { return fileName_; }
    // Opens the file (for the station creating it and its folder) and brings
    // its schema up to date; does nothing when already open. Throws EArchiveError.
    void open();
    // Stores the read in one transaction and sets its id. Throws EArchiveError.
    void store(ArchivedRead& read);

    int count(const ReadFilter& filter);
    ArchivedRead load(qint64 id);
    // Calls `visit` for every matching read, newest first, samples included.
    void forEach(const ReadFilter& filter, const std::function<void(const ArchivedRead&)>& visit);
    // Puts the list columns of the matching reads into the model, newest first:
    // id, date and time, sensor number, sensor type, tester number, complete.
    void fillListModel(QSqlQueryModel& model, const ReadFilter& filter);

    // Where a damaged file was moved to since the last call, or empty.
    QString takeSetAsideFileName();
    // Called as soon as a damaged file has been set aside, with its new name,
    // whatever found the damage: opening, a store or a query.
    std::function<void(const QString& setAsideAs)> OnSetAside;

private:
    void connect();
    void openConnection();
    void closeConnection();
    void setAsideDamagedFile();
    void handleDamage(const QString& reason);
    template <typename Operation>
    auto retryAfterDamage(Operation operation);
    template <typename Operation>
    void withoutRetry(Operation operation);
    void migrate();
    void useWriteAheadLog();
    int storedVersion();
    void insert(const ArchivedRead& read, qint64& id);
    [[noreturn]] void fail(const QString& what, const QSqlQuery& query);
    bool damaged(const QSqlQuery& query) const;
    QSqlQuery exec(const QString& sql);
    QSqlQuery select(const QString& columns, const ReadFilter& filter, const QString& tail,
                     bool forwardOnly = true);

    QString fileName_;
    ArchiveUse use_;
    QString connectionName_;
    QSqlDatabase db_;
    QString setAside_;
};

// The archive file the station uses: the one set here, else the file named
// by QUORVAN_ARCHIVE, else archive.sqlite in the user's application data folder.
QString archiveFileName();
void setArchiveFileName(const QString& fileName);
