#include "app/archive_copy.h"

#include <QFileInfo>
#include <vector>

#include "app/read_archive.h"

namespace {

constexpr std::size_t kBatch = 500;

// Two names of one SQLite file would copy the archive into itself.
QString sameArchiveKey(const ReadArchive& archive) {
    if (archive.isPostgreSQL()) return archive.location();
    const QFileInfo file(archive.location());
    return file.exists() ? file.canonicalFilePath() : file.absoluteFilePath();
}

}  // namespace

ArchiveCopy copyArchive(const QString& from, const QString& to) {
    ReadArchive source(from, ArchiveUse::Export);
    ReadArchive target(to, ArchiveUse::CopyTarget);
    if (sameArchiveKey(source) == sameArchiveKey(target))
        throw EArchiveError(QStringLiteral("%1 and %2 are the same archive").arg(from, to));
    source.open();
    target.open();
    ArchiveCopy result;
    std::vector<ArchivedRead> batch;
    const auto flush = [&] {
        result.copied += target.storeAll(batch);
        batch.clear();
    };
    source.forEach(
        {},
        [&](const ArchivedRead& read) {
            ++result.read;
            batch.push_back(read);
            if (batch.size() == kBatch) flush();
        },
        ReadArchive::Order::OldestFirst);
    flush();
    return result;
}
