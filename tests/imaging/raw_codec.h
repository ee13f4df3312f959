#pragma once

#include <QImage>
#include <QString>

#include "imaging/Zvqcomp.h"

// A format of the tests' own, small enough to write by hand: width and
// height as 16-bit little-endian numbers, then the rows top down, three bytes
// (red, green, blue) per pixel. A stream may hold several images in a row.
QByteArray rawImageBytes(const QImage& image);

// What every test codec records about the engine's calls into it.
struct CodecLog {
    int closes = 0;
    int progressReports = 0;
    TDIBFormat formatAsked = TDIBFormat::dtMonochrome;
};

class RawDecoder : public TZVQGraphicsDecompressor {
public:
    RawDecoder();
    ~RawDecoder() override { CloseImageStream(); }

    int GetPercentDone() override { return percent_; }
    bool GetEOF() override;
    QString GetResourceType() override { return QStringLiteral("RAWTEST"); }
    std::unique_ptr<TDeviceIndependentBitmap> ReadDIBitmap(TDIBFormat format) override;
    void CloseImageStream() override;

    CodecLog log;

private:
    int percent_ = 0;
};

class RawEncoder : public TZVQGraphicsCompressor {
public:
    RawEncoder();
    ~RawEncoder() override { CloseImageStream(); }

    int GetPercentDone() override { return percent_; }
    TDIBFormat GetInputType() override { return TDIBFormat::dt24bit; }
    // Writes the header, then fails when failAfterHeader is set.
    void WriteDIBitmap(TDeviceIndependentBitmap* dib) override;
    void CloseImageStream() override;

    CodecLog log;
    bool failAfterHeader = false;

private:
    int percent_ = 0;
};
