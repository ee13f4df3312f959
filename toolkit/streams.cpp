#include "toolkit/streams.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr std::int64_t kCopyChunk = 64 * 1024;

[[noreturn]] void throwReadOnly() {
    throw EStreamError(QStringLiteral("Cannot write to a read-only resource stream"));
}

[[noreturn]] void throwSeekError() {
    throw EStreamError(QStringLiteral("Stream seek error"));
}

}  // namespace

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
    if (count < 0 || (count != 0 && Read(buffer, count) != count)) throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
    if (count < 0 || (count != 0 && Write(buffer, count) != count)) throw EWriteError();
}

std::int64_t TStream::CopyFrom(TStream* source, std::int64_t count) {
    if (count == 0) {
        source->SetPosition(0);
        count = source->Size();
    }
    QByteArray chunk(int(std::min(count, kCopyChunk)), Qt::Uninitialized);
    std::int64_t left = count;
    while (left > 0) {
        const std::int64_t n = std::min<std::int64_t>(left, chunk.size());
        source->ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.constData(), n);
        left -= n;
    }
    return count;
}

TFileStream::TFileStream(const QString& fileName, TFileMode mode)
    : fileName_(fileName), file_(fileName) {
    // Streams that write go unbuffered, so that a short write (a full disk)
    // shows in the count of the very call that made it.
    constexpr auto kWriting = QIODevice::Unbuffered | QIODevice::ExistingOnly;
    switch (mode) {
    case TFileMode::Create:
        if (!file_.open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered))
            throw EFCreateError(fileName);
        return;
    case TFileMode::OpenRead:
        if (!file_.open(QIODevice::ReadOnly)) throw EFOpenError(fileName);
        return;
    case TFileMode::OpenWrite:
        if (!file_.open(QIODevice::WriteOnly | kWriting)) throw EFOpenError(fileName);
        return;
    case TFileMode::OpenReadWrite:
        if (!file_.open(QIODevice::ReadWrite | kWriting)) throw EFOpenError(fileName);
        return;
    }
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    const qint64 n = file_.read(static_cast<char*>(buffer), count);
    return n < 0 ? 0 : n;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    const qint64 n = file_.write(static_cast<const char*>(buffer), count);
    return n < 0 ? 0 : n;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = 0;
    if (origin == TSeekOrigin::Current) base = file_.pos();
    if (origin == TSeekOrigin::End) base = file_.size();
    const std::int64_t target = base + offset;
    if (target < 0 || !file_.seek(target)) throwSeekError();
    return target;
}

std::int64_t TFileStream::Size() { return file_.size(); }

void TFileStream::SetSize(std::int64_t size) {
    if (size < 0 || !file_.resize(size)) throw EWriteError();
    if (file_.pos() > size) file_.seek(size);
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
    const std::int64_t available = std::max<std::int64_t>(0, data_.size() - position_);
    const std::int64_t n = std::clamp<std::int64_t>(count, 0, available);
    if (n > 0) std::memcpy(buffer, data_.constData() + position_, std::size_t(n));
    position_ += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    const std::int64_t end = position_ + count;
    if (end > std::numeric_limits<int>::max()) return 0;
    if (end > data_.size()) grow(end);
    std::memcpy(data_.data() + position_, buffer, std::size_t(count));
    position_ = end;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = 0;
    if (origin == TSeekOrigin::Current) base = position_;
    if (origin == TSeekOrigin::End) base = data_.size();
    const std::int64_t target = base + offset;
    if (target < 0) throwSeekError();
    position_ = target;
    return target;
}

void TMemoryStream::grow(std::int64_t size) {
    const qsizetype old = data_.size();
    data_.resize(qsizetype(size));
    // Bytes between the old end and a later write read as zeros.
    if (size > old) std::memset(data_.data() + old, 0, std::size_t(size - old));
}

void TMemoryStream::SetSize(std::int64_t size) {
    if (size < 0 || size > std::numeric_limits<int>::max()) throw EOutOfMemory();
    grow(size);
    position_ = std::min(position_, size);
}

void TMemoryStream::Clear() {
    data_.clear();
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream* stream) {
    stream->SetPosition(0);
    const std::int64_t size = stream->Size();
    SetSize(size);
    stream->ReadBuffer(data_.data(), size);
    position_ = 0;
}

void TMemoryStream::SaveToStream(TStream* stream) { stream->WriteBuffer(data_.constData(), data_.size()); }

void TMemoryStream::LoadFromFile(const QString& fileName) {
    TFileStream file(fileName, TFileMode::OpenRead);
    LoadFromStream(&file);
}

void TMemoryStream::SaveToFile(const QString& fileName) {
    TFileStream file(fileName, TFileMode::Create);
    SaveToStream(&file);
}

TResourceStream::TResourceStream(const QString& resourceName) {
    QFile resource(resourceName.startsWith(QLatin1Char(':')) ? resourceName
                                                             : QStringLiteral(":/") + resourceName);
    if (!resource.open(QIODevice::ReadOnly)) throw EResNotFound(resourceName);
    data_ = resource.readAll();
}

std::int64_t TResourceStream::Write(const void*, std::int64_t) { throwReadOnly(); }

void TResourceStream::SetSize(std::int64_t) { throwReadOnly(); }
