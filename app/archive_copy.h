#pragma once

#include <QString>

// Copies every read of one archive into another, SQLite or PostgreSQL either
// way, oldest first, a few hundred reads per transaction. Each read keeps
// its fields, its samples, its station and its uuid; its id is the
// target's own. A read the target holds already (the same uuid, as after an
// earlier copy) is not copied again, so a copy that stopped halfway is
// simply run again. The source is only read: a missing or damaged source
// is an error, as for an export. Throws an Exception.
struct ArchiveCopy {
    int read = 0;    // reads in the source
    int copied = 0;  // of them, new to the target
};
ArchiveCopy copyArchive(const QString& from, const QString& to);
