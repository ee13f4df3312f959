#pragma once

#include <QString>
#include <functional>

#include "toolkit/exception.h"

// Root of the toolkit's object model: gives every object its class name,
// which error messages quote.
class TObject {
public:
    virtual ~TObject() = default;
    QString ClassName() const;
};

// An event whose only argument is the object that raised it.
using TNotifyEvent = std::function<void(TObject* sender)>;

// Raised when one object cannot take the contents of another.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Raised when an object is not of the class an operation needs.
class EInvalidCast : public Exception {
public:
    EInvalidCast() : Exception(QStringLiteral("Invalid class typecast")) {}
};

// The assign model: `Assign` copies the contents of another object. A class
// that knows the source handles it in `Assign`; otherwise the source gets the
// chance through its `AssignTo`. When neither knows the other, the copy fails
// with EConvertError.
class TPersistent : public TObject {
public:
    virtual void Assign(TPersistent* source);

protected:
    virtual void AssignTo(TPersistent* dest);
    [[noreturn]] void AssignError(const TPersistent* source) const;

    // Lets subclasses forward to another object's AssignTo.
    static void callAssignTo(TPersistent* source, TPersistent* dest) { source->AssignTo(dest); }
};
