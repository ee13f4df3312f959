#pragma once

#include <QByteArray>
#include <QImage>

// Decodes a baseline or progressive JPEG with libjpeg into an RGB image.
// Raises Exception("JPEG error #n") on data libjpeg cannot decode.
QImage decodeJpeg(const QByteArray& data);
