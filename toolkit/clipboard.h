#pragma once

#include <QByteArray>

#include "toolkit/persistent.h"

/// @file
/// The system clipboard.

/// Clipboard formats by their standard numbers.
enum class TClipboardFormat { Text = 1, Bitmap = 2, DIB = 8 };

/// The system clipboard. The device-independent bitmap format travels as a
/// complete BMP file under "image/bmp", and as an image for programs that
/// only read images; an image put there by another program counts as a DIB.
///
/// Every operation needs a GUI application: without one it raises Exception
/// "Cannot open clipboard".
class TClipboard : public TPersistent {
public:
    /// The clipboard holds @p format (Bitmap and DIB alike: any image).
    bool HasFormat(TClipboardFormat format) const;
    /// Empties the clipboard.
    void Clear();
    /// Places @p text on the clipboard.
    void SetTextBuf(const QString& text);
    /// Places a BMP file on the clipboard.
    void setDibData(const QByteArray& bmpFile);
    /// The clipboard's bitmap as a BMP file; empty when it holds none.
    QByteArray dibData() const;
};

/// The program's clipboard object.
TClipboard* Clipboard();
