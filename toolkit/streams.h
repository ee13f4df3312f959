#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>

#include "toolkit/persistent.h"

/// @file
/// Byte streams over files, memory and Qt resources, and their errors.

/// A stream that cannot do what was asked: "Stream seek error" (a position
/// before the start, or one the file refuses) and "Cannot write to a
/// read-only resource stream"; the base of the other stream errors.
class EStreamError : public Exception {
public:
    /// An error with the fixed text @p message.
    using Exception::Exception;
};
/// Fewer bytes than ReadBuffer asked for: "Stream read error".
class EReadError : public EStreamError {
public:
    /// The error "Stream read error".
    EReadError() : EStreamError(QStringLiteral("Stream read error")) {}
};
/// Fewer bytes written than WriteBuffer asked for, or a file that cannot
/// take a new size: "Stream write error".
class EWriteError : public EStreamError {
public:
    /// The error "Stream write error".
    EWriteError() : EStreamError(QStringLiteral("Stream write error")) {}
};
/// A file that cannot be opened: `Cannot open file "%1"`, %1 its name.
class EFOpenError : public EStreamError {
public:
    /// The error for @p fileName.
    explicit EFOpenError(const QString& fileName)
        : EStreamError(QStringLiteral("Cannot open file \"%1\"").arg(fileName)) {}
};
/// A file that cannot be created: `Cannot create file "%1"`, %1 its name.
class EFCreateError : public EStreamError {
public:
    /// The error for @p fileName.
    explicit EFCreateError(const QString& fileName)
        : EStreamError(QStringLiteral("Cannot create file \"%1\"").arg(fileName)) {}
};
/// A Qt resource that the program does not hold: "Resource %1 not found",
/// %1 the name asked for.
class EResNotFound : public Exception {
public:
    /// The error for the resource @p name.
    explicit EResNotFound(const QString& name)
        : Exception(QStringLiteral("Resource %1 not found").arg(name)) {}
};

/// What a Seek offset counts from: the start, the current position or the end.
enum class TSeekOrigin { Beginning, Current, End };

/// A byte stream. Read and Write report how many bytes they moved, which may
/// be fewer than asked; ReadBuffer and WriteBuffer insist on the full count.
class TStream : public TObject {
public:
    /// Reads up to @p count bytes into @p buffer; returns how many it read
    /// (0 at the end).
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    /// Writes up to @p count bytes from @p buffer; returns how many it wrote.
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    /// Returns the new position; positions before the start are refused with
    /// EStreamError, positions past the end are allowed (writing there extends).
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    /// The stream's length in bytes.
    virtual std::int64_t Size() = 0;
    /// Cuts or extends the stream to @p size bytes.
    virtual void SetSize(std::int64_t size) = 0;

    /// The current position, counted from the start.
    std::int64_t Position() { return Seek(0, TSeekOrigin::Current); }
    /// Moves to @p position, counted from the start (EStreamError "Stream seek
    /// error" before the start).
    void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::Beginning); }
    /// Reads exactly @p count bytes; EReadError "Stream read error" when the
    /// stream has fewer or @p count is negative.
    void ReadBuffer(void* buffer, std::int64_t count);
    /// Writes exactly @p count bytes; EWriteError "Stream write error" when
    /// fewer go or @p count is negative.
    void WriteBuffer(const void* buffer, std::int64_t count);
    /// Copies `count` bytes from the source's position, or the whole source
    /// from its start when count is 0; returns the bytes copied. Raises
    /// EReadError or EWriteError as ReadBuffer and WriteBuffer do.
    std::int64_t CopyFrom(TStream* source, std::int64_t count);
};

/// How TFileStream opens its file: Create makes it (or empties it) for
/// reading and writing; the others open an existing file.
enum class TFileMode { Create, OpenRead, OpenWrite, OpenReadWrite };

/// A stream over a file. Streams that write go unbuffered, so that a short
/// write (a full disk) shows in the count of the very call that made it.
class TFileStream : public TStream {
public:
    /// Opens @p fileName; raises EFCreateError `Cannot create file "%1"`
    /// (TFileMode::Create) or EFOpenError `Cannot open file "%1"` (the
    /// others, also when the file does not exist) when it cannot.
    TFileStream(const QString& fileName, TFileMode mode);

    ///@{
    /// TStream's operations on the file; a new size it refuses raises
    /// EWriteError, a position it refuses EStreamError "Stream seek error".
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override;
    void SetSize(std::int64_t size) override;
    ///@}
    /// The name the stream was opened with.
    const QString& fileName() const { return fileName_; }

private:
    QString fileName_;
    QFile file_;
};

/// A stream over a growable block of memory it owns, of at most 2^31 - 1
/// bytes. Bytes between the old end and a later write read as zeros.
class TMemoryStream : public TStream {
public:
    /// An empty stream.
    TMemoryStream() = default;
    /// A stream over @p bytes, at position 0.
    explicit TMemoryStream(QByteArray bytes) : data_(std::move(bytes)) {}

    ///@{
    /// TStream's operations on the block. A write that would take it past
    /// 2^31 - 1 bytes writes nothing; SetSize past that raises EOutOfMemory.
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return data_.size(); }
    void SetSize(std::int64_t size) override;
    ///@}

    /// Empties the stream.
    void Clear();
    /// The block, owned by the stream; valid until its size changes.
    void* Memory() { return data_.data(); }
    /// The block's bytes.
    const QByteArray& bytes() const { return data_; }
    /// Replaces the contents with the whole of @p stream (read from its
    /// start); the position becomes 0.
    void LoadFromStream(TStream* stream);
    /// Writes the whole block to @p stream at its position.
    void SaveToStream(TStream* stream);
    /// Replaces the contents with the file's (EFOpenError when it cannot be opened).
    void LoadFromFile(const QString& fileName);
    /// Writes the block to a new file (EFCreateError when it cannot be made).
    void SaveToFile(const QString& fileName);

protected:
    /// Resizes the block, new bytes zero.
    void grow(std::int64_t size);

    QByteArray data_;            ///< the stream's bytes
    std::int64_t position_ = 0;  ///< may lie past the end
};

/// A read-only stream over a resource compiled into the program (a Qt
/// resource path such as ":/banners/logo.jpg").
class TResourceStream : public TMemoryStream {
public:
    /// The resource @p resourceName (":/" added when missing); raises
    /// EResNotFound "Resource %1 not found" when the program has none.
    explicit TResourceStream(const QString& resourceName);
    ///@{
    /// Raise EStreamError "Cannot write to a read-only resource stream".
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    void SetSize(std::int64_t size) override;
    ///@}
};
