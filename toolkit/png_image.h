#pragma once

#include <QByteArray>
#include <QImage>

/// @file
/// PNG decoding of the common kinds in one pass.

/// Decodes a PNG file of the kinds programs and cameras write most: eight
/// bits a channel, grey, grey with alpha, RGB, RGBA or a palette, not
/// interlaced, without a transparent colour (tRNS). The pixels are those
/// Qt's reader gives, as Format_RGB32, or Format_ARGB32 where the file has
/// alpha; colour profiles and gamma are left to the caller, as Qt's reader
/// leaves them. Returns a null image for anything else: other PNGs, damaged
/// ones (a check sum, the image data, a filter or palette index out of
/// place), pictures larger than Qt's reader would allocate, and bytes that
/// are not PNG. Such files are for QImageReader, which reads or refuses
/// them with its own message. Safe to call on several threads at once.
QImage decodeCommonPng(const QByteArray& file);
