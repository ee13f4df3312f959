#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

/// @file
/// The base of every exception the library raises.

/// Base of every error the toolkit and the libraries raise. The message is
/// fixed text; what() gives it in UTF-8 for the standard library's sake.
/// Catch `const Exception&` to handle any of the library's errors.
class Exception : public std::exception {
public:
    /// An error with the text @p message.
    explicit Exception(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    /// The error's text, owned by the exception.
    const QString& Message() const { return message_; }
    /// The error's text in UTF-8, valid as long as the exception lives.
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

/// Raised when an allocation the caller asked for cannot be satisfied, with
/// the text "Out of memory".
class EOutOfMemory : public Exception {
public:
    /// The error "Out of memory".
    EOutOfMemory() : Exception(QStringLiteral("Out of memory")) {}
};
