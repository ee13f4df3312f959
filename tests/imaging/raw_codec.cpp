#include "raw_codec.h"

#include <QtEndian>

#include "imaging/device_independent_bitmap.h"
#include "imaging/pixel_iterators.h"
#include "toolkit/streams.h"

namespace {

QByteArray rawHeader(int width, int height) {
    QByteArray header(4, '\0');
    qToLittleEndian<quint16>(quint16(width), header.data());
    qToLittleEndian<quint16>(quint16(height), header.data() + 2);
    return header;
}

}  // namespace

QByteArray rawImageBytes(const QImage& image) {
    QByteArray bytes = rawHeader(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            bytes.append(char(qRed(pixel))).append(char(qGreen(pixel))).append(char(qBlue(pixel)));
        }
    }
    return bytes;
}

RawDecoder::RawDecoder() {
    OnProgressReport = [this](TObject*) { ++log.progressReports; };
}

bool RawDecoder::GetEOF() {
    TStream* stream = GetImageStream();
    return !stream || stream->Position() >= stream->Size();
}

std::unique_ptr<TDeviceIndependentBitmap> RawDecoder::ReadDIBitmap(TDIBFormat format) {
    log.formatAsked = format;
    if (GetEOF()) return nullptr;
    std::uint8_t header[4];
    GetImageStream()->ReadBuffer(header, sizeof header);
    const int width = qFromLittleEndian<quint16>(header);
    const int height = qFromLittleEndian<quint16>(header + 2);
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt24bit, width, height);
    std::unique_ptr<TDIBWriter> writer = dib->GetWriter();
    QByteArray row(width * 3, '\0');
    for (int y = 0; y < height; ++y) {
        GetImageStream()->ReadBuffer(row.data(), row.size());
        for (int x = 0; x < width; ++x) {
            writer->SetNextPixel(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
        }
        writer->NextRow();
        percent_ = (y + 1) * 100 / height;
        DoProgress();
    }
    return dib;
}

void RawDecoder::CloseImageStream() {
    ++log.closes;
    TZVQGraphicsDecompressor::CloseImageStream();
}

RawEncoder::RawEncoder() {
    OnProgressReport = [this](TObject*) { ++log.progressReports; };
}

void RawEncoder::WriteDIBitmap(TDeviceIndependentBitmap* dib) {
    log.formatAsked = dib->GetDIBType();
    const QByteArray header = rawHeader(dib->GetWidth(), dib->GetHeight());
    GetImageStream()->WriteBuffer(header.constData(), header.size());
    if (failAfterHeader) throw Exception(QStringLiteral("Encoder failed"));
    const QByteArray bytes = rawImageBytes(dib->toImage()).mid(header.size());
    GetImageStream()->WriteBuffer(bytes.constData(), bytes.size());
    percent_ = 100;
    DoProgress();
}

void RawEncoder::CloseImageStream() {
    ++log.closes;
    TZVQGraphicsCompressor::CloseImageStream();
}
