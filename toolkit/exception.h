#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Base of every error the toolkit and the libraries raise. The message is
// fixed text; what() gives it in UTF-8 for the standard library's sake.
class Exception : public std::exception {
public:
    explicit Exception(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
    const QString& Message() const { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

// Raised when an allocation the caller asked for cannot be satisfied.
class EOutOfMemory : public Exception {
public:
    EOutOfMemory() : Exception(QStringLiteral("Out of memory")) {}
};
