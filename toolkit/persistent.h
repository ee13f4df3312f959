#pragma once

#include <QString>
#include <functional>

#include "toolkit/exception.h"

/// @file
/// The root of the toolkit's object model, its notify event and the assign
/// model with its two errors.

/// Root of the toolkit's object model: gives every object its class name,
/// which error messages quote.
class TObject {
public:
    /// Objects are deleted through their base.
    virtual ~TObject() = default;
    /// The object's dynamic class name, demangled ("TBitmap", "TZVQ_GIFBitmap").
    QString ClassName() const;
};

/// An event whose only argument is the object that raised it.
using TNotifyEvent = std::function<void(TObject* sender)>;

/// Raised when one object cannot take the contents of another, with the
/// text "Cannot assign a %1 to a %2": %1 the source's class name ("nil" for
/// a null source), %2 the destination's.
class EConvertError : public Exception {
public:
    /// An error with the fixed text @p message.
    using Exception::Exception;
};

/// Raised when an object is not of the class an operation needs, with the
/// text "Invalid class typecast".
class EInvalidCast : public Exception {
public:
    /// The error "Invalid class typecast".
    EInvalidCast() : Exception(QStringLiteral("Invalid class typecast")) {}
};

/// The assign model: `Assign` copies the contents of another object. A class
/// that knows the source handles it in `Assign`; otherwise the source gets the
/// chance through its `AssignTo`. When neither knows the other, the copy fails
/// with EConvertError.
class TPersistent : public TObject {
public:
    /// Copies the contents of @p source into this object; @p source stays
    /// the caller's. Raises EConvertError "Cannot assign a %1 to a %2" when
    /// neither side knows the other or @p source is null.
    virtual void Assign(TPersistent* source);

protected:
    /// Copies this object into @p dest when this class knows @p dest's; the
    /// default raises EConvertError through @p dest's AssignError.
    virtual void AssignTo(TPersistent* dest);
    /// Raises EConvertError "Cannot assign a %1 to a %2", %1 @p source's
    /// class ("nil" when null), %2 this one's.
    [[noreturn]] void AssignError(const TPersistent* source) const;

    /// Lets subclasses forward to another object's AssignTo.
    static void callAssignTo(TPersistent* source, TPersistent* dest) { source->AssignTo(dest); }
};
