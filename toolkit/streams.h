#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>

#include "toolkit/persistent.h"

class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    EReadError() : EStreamError(QStringLiteral("Stream read error")) {}
};
class EWriteError : public EStreamError {
public:
    EWriteError() : EStreamError(QStringLiteral("Stream write error")) {}
};
class EFOpenError : public EStreamError {
public:
    explicit EFOpenError(const QString& fileName)
        : EStreamError(QStringLiteral("Cannot open file \"%1\"").arg(fileName)) {}
};
class EFCreateError : public EStreamError {
public:
    explicit EFCreateError(const QString& fileName)
        : EStreamError(QStringLiteral("Cannot create file \"%1\"").arg(fileName)) {}
};
class EResNotFound : public Exception {
public:
    explicit EResNotFound(const QString& name)
        : Exception(QStringLiteral("Resource %1 not found").arg(name)) {}
};

enum class TSeekOrigin { Beginning, Current, End };

// A byte stream. Read and Write report how many bytes they moved, which may
// be fewer than asked; ReadBuffer and WriteBuffer insist on the full count.
class TStream : public TObject {
public:
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    // Returns the new position; positions before the start are refused with
    // EStreamError, positions past the end are allowed (writing there extends).
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual std::int64_t Size() = 0;
    virtual void SetSize(std::int64_t size) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::Current); }
    void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::Beginning); }
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);
    // Copies `count` bytes from the source's position, or the whole source
    // from its start when count is 0; returns the bytes copied.
    std::int64_t CopyFrom(TStream* source, std::int64_t count);
};

enum class TFileMode { Create, OpenRead, OpenWrite, OpenReadWrite };

class TFileStream : public TStream {
public:
    TFileStream(const QString& fileName, TFileMode mode);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override;
    void SetSize(std::int64_t size) override;
    const QString& fileName() const { return fileName_; }

private:
    QString fileName_;
    QFile file_;
};

// A stream over a growable block of memory it owns.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(QByteArray bytes) : data_(std::move(bytes)) {}

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return data_.size(); }
    void SetSize(std::int64_t size) override;

    void Clear();
    void* Memory() { return data_.data(); }
    const QByteArray& bytes() const { return data_; }
    void LoadFromStream(TStream* stream);
    void SaveToStream(TStream* stream);
    void LoadFromFile(const QString& fileName);
    void SaveToFile(const QString& fileName);

protected:
    void grow(std::int64_t size);

    QByteArray data_;
    std::int64_t position_ = 0;
};

// A read-only stream over a resource compiled into the program (a Qt
// resource path such as ":/banners/logo.jpg").
class TResourceStream : public TMemoryStream {
public:
    explicit TResourceStream(const QString& resourceName);
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    void SetSize(std::int64_t size) override;
};
