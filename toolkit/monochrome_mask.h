#pragma once

#include <QImage>
#include <QPoint>
#include <QRgb>
#include <QSize>

/// @file
/// Monochrome masks as the platform's bit-block transfers make them: one bit
/// per pixel, 1 (white) where a colour picture has its background colour and
/// 0 (black) elsewhere. Drawn onto a colour canvas with cmSrcAnd, a mask
/// keeps the pixels under its 1 bits and clears those under its 0 bits.

/// A mask of `size`, all 1 bits, with `picture` copied in at `at`: pixels of
/// the colour `background` give 1 bits, all others 0 bits. Parts of the
/// picture outside the mask are dropped.
QImage monochromeMask(QSize size, const QImage& picture, QPoint at, QRgb background);

/// `dest` AND `source` laid at `at`, bit by bit, where the two overlap; both
/// come from monochromeMask.
void andMask(QImage& dest, const QImage& source, QPoint at = QPoint(0, 0));
