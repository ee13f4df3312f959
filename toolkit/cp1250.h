#pragma once

#include <QString>
#include <cstddef>

/// @file
/// Code page 1250 text.

/// Decodes code page 1250 text up to the first zero byte (or `length`).
/// Its five unassigned bytes become the C1 controls of the same number.
QString fromCp1250(const char* data, std::size_t length);
/// The same for the bytes of @p bytes.
inline QString fromCp1250(const QByteArray& bytes) {
    return fromCp1250(bytes.constData(), std::size_t(bytes.size()));
}
