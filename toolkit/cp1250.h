#pragma once

#include <QString>
#include <cstddef>

// Decodes code page 1250 text up to the first zero byte (or `length`).
QString fromCp1250(const char* data, std::size_t length);
inline QString fromCp1250(const QByteArray& bytes) {
    return fromCp1250(bytes.constData(), std::size_t(bytes.size()));
}
