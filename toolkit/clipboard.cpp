#include "toolkit/clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

namespace {

const QString kBmpMime = QStringLiteral("image/bmp");

QClipboard* systemClipboard() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        throw Exception(QStringLiteral("Cannot open clipboard"));
    }
    return QGuiApplication::clipboard();
}

}  // namespace

bool TClipboard::HasFormat(TClipboardFormat format) const {
    const QMimeData* data = systemClipboard()->mimeData();
    if (!data) return false;
    switch (format) {
    case TClipboardFormat::Text:
        return data->hasText();
    case TClipboardFormat::Bitmap:
    case TClipboardFormat::DIB:
        return data->hasFormat(kBmpMime) || data->hasImage();
    }
    return false;
}

void TClipboard::Clear() { systemClipboard()->clear(); }

void TClipboard::SetTextBuf(const QString& text) { systemClipboard()->setText(text); }

void TClipboard::setDibData(const QByteArray& bmpFile) {
    auto data = std::make_unique<QMimeData>();
    data->setData(kBmpMime, bmpFile);
    QImage image;
    if (image.loadFromData(bmpFile, "BMP")) data->setImageData(image);
    systemClipboard()->setMimeData(data.release());
}

QByteArray TClipboard::dibData() const {
    const QMimeData* data = systemClipboard()->mimeData();
    if (!data) return {};
    if (data->hasFormat(kBmpMime)) return data->data(kBmpMime);
    if (!data->hasImage()) return {};
    const QImage image = qvariant_cast<QImage>(data->imageData());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "BMP")) return {};
    return bytes;
}

TClipboard* Clipboard() {
    static TClipboard clipboard;
    return &clipboard;
}
