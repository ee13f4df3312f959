#pragma once

#include <QByteArray>
#include <QImage>

/// @file
/// JPEG decoding.

/// Decodes a baseline or progressive JPEG with libjpeg into an RGB image.
/// Raises Exception "JPEG error #%1" on data libjpeg cannot decode, %1
/// libjpeg's message code (-1 when it gives none), and EOutOfMemory when the
/// image's pixels cannot be allocated.
QImage decodeJpeg(const QByteArray& data);
