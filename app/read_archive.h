#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

#include "app/archive_location.h"
#include "app/archived_read.h"
#include "toolkit/exception.h"

class QSqlQuery;

// Raised when the archive cannot be opened or written.
class EArchiveError : public Exception {
public:
    using Exception::Exception;
};

// How an archive is used. The station stores reads and must go on storing:
// a file that SQLite finds damaged is renamed, never deleted, and a new
// archive is started in its place. An export from the shell only reads: it
// never creates an archive, never sets a file aside, and a damaged file is
// an error that leaves it as it is. The target of a copy is created when
// it is not there, but a damaged one is left alone too.
enum class ArchiveUse { Station, Export, CopyTarget };

// The station's archive of reads, in an SQLite file or a PostgreSQL
// database (ArchiveLocation). The file is in WAL mode so that a reader never
// blocks a writer; every read is stored in a transaction of its own, so
// stations that store into the same archive at once keep all their reads.
class ReadArchive {
public:
    static constexpr int kSchemaVersion = 3;
    enum class Order { NewestFirst, OldestFirst };

    explicit ReadArchive(QString location, ArchiveUse use = ArchiveUse::Station);
    ~ReadArchive();
    ReadArchive(const ReadArchive&) = delete;
    ReadArchive& operator=(const ReadArchive&) = delete;

    // The location as given: a file name or a PostgreSQL URI.
    const QString& location() const { return location_.text(); }
    bool isPostgreSQL() const { return location_.isPostgreSQL(); }
    // Opens the archive (for the station creating the file and its folder,
    // or the schema in an empty database) and brings its schema up to
    // date; does nothing when already open. Throws EArchiveError.
    void open();
    // Stores the read in one transaction and sets its id; a read without a
    // uuid gets one first. A read whose uuid is stored already is not stored
    // again: it takes the stored one's id. Throws EArchiveError.
    void store(ArchivedRead& read);
    // The same for several reads in one transaction (a copy of an archive).
    // Returns how many were not there before.
    int storeAll(std::vector<ArchivedRead>& reads);

    int count(const ReadFilter& filter);
    ArchivedRead load(qint64 id);
    // Calls `visit` for every matching read, samples included, fetched a
    // page at a time.
    void forEach(const ReadFilter& filter, const std::function<void(const ArchivedRead&)>& visit,
                 Order order = Order::NewestFirst);
    // Up to `limit` rows of the archive list, newest first, starting after
    // `after` (none: with the newest read).
    std::vector<ListedRead> list(const ReadFilter& filter, int limit,
                                 const ListedRead* after = nullptr);

    // Where a damaged file was moved to since the last call, or empty.
    QString takeSetAsideFileName();
    // Called as soon as a damaged file has been set aside, with its new name,
    // whatever found the damage: opening, a store or a query.
    std::function<void(const QString& setAsideAs)> OnSetAside;

private:
    void connect();
    void openConnection();
    void openFile();
    void closeConnection();
    void setAsideDamagedFile();
    void handleDamage(const QString& reason);
    template <typename Operation>
    auto retryAfterDamage(Operation operation);
    template <typename Operation>
    void withoutRetry(Operation operation);
    void migrate();
    void runMigrations();
    void useWriteAheadLog();
    int storedVersion();
    bool insert(ArchivedRead& read);
    template <typename Operation>
    void inWriteTransaction(Operation operation);
    [[noreturn]] void fail(const QString& what, const QSqlQuery& query);
    bool damaged(const QSqlQuery& query) const;
    QSqlQuery exec(const QString& sql);
    QSqlQuery select(const QString& columns, const ReadFilter& filter, const QString& tail,
                     bool forwardOnly = true, const QString& condition = QString(),
                     const QVariantList& conditionValues = {});

    ArchiveLocation location_;
    ArchiveUse use_;
    QString connectionName_;
    QSqlDatabase db_;
    QString setAside_;
    bool reconnect_ = false;  // a statement failed on the server's connection
    QString lastState_;       // the SQLSTATE of the last failed statement (PostgreSQL)
};
