#include <QBuffer>
#include <QImageWriter>
#include <gtest/gtest.h>
#include <random>

#include "toolkit/png_image.h"

namespace {

// The check sum of PNG chunks (ISO 3309), a bit at a time.
quint32 crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

QByteArray bigEndian(quint32 value) {
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

QByteArray chunk(const char* type, const QByteArray& data) {
    const QByteArray typed = QByteArray(type) + data;
    return bigEndian(quint32(data.size())) + typed + bigEndian(crc32(typed));
}

struct PngParts {
    int width = 0, height = 0, depth = 8, colourType = 2, interlace = 0;
    QByteArray palette;       // PLTE's data; none when empty
    QByteArray transparency;  // tRNS's data; none when empty
    QByteArray rows;          // each row after its filter type
    int dataChunks = 1;       // how many IDAT chunks share the stream
};

QByteArray header(const PngParts& parts) {
    const char rest[] = {char(parts.depth), char(parts.colourType), 0, 0, char(parts.interlace)};
    return bigEndian(quint32(parts.width)) + bigEndian(quint32(parts.height)) + QByteArray(rest, 5);
}

QByteArray png(const PngParts& parts) {
    QByteArray file("\x89PNG\r\n\x1A\n", 8);
    file += chunk("IHDR", header(parts));
    file += chunk("tEXt", QByteArray("Comment\0made by hand", 20));
    if (!parts.palette.isEmpty()) file += chunk("PLTE", parts.palette);
    if (!parts.transparency.isEmpty()) file += chunk("tRNS", parts.transparency);
    const QByteArray stream = qCompress(parts.rows).mid(4);  // a zlib stream after its length
    const qsizetype piece = stream.size() / parts.dataChunks + 1;
    for (qsizetype at = 0; at < stream.size(); at += piece) file += chunk("IDAT", stream.mid(at, piece));
    return file + chunk("IEND", {});
}

int channelsOf(int colourType) { return colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1; }

// Rows of random bytes, every filter type in turn.
PngParts randomPicture(int colourType, int width, int height, std::mt19937& random) {
    PngParts parts;
    parts.width = width;
    parts.height = height;
    parts.colourType = colourType;
    for (int y = 0; y < height; ++y) {
        parts.rows += char(y % 5);
        for (int i = 0; i < width * channelsOf(colourType); ++i) parts.rows += char(random());
    }
    if (colourType == 3) {
        for (int i = 0; i < 3 * 256; ++i) parts.palette += char(random());
    }
    parts.dataChunks = 3;
    return parts;
}

// What Qt's own reader gives, in the format of ours.
QImage qtReading(const QByteArray& file, QImage::Format format) {
    return QImage::fromData(file, "PNG").convertToFormat(format);
}

void expectAsQtReads(const QByteArray& file) {
    const QImage ours = decodeCommonPng(file);
    ASSERT_FALSE(ours.isNull());
    const QImage theirs = qtReading(file, ours.format());
    ASSERT_FALSE(theirs.isNull());
    EXPECT_EQ(ours, theirs);
}

}  // namespace

TEST(Png, DecodesEveryColourTypeAndFilterAsQtsReaderDoes) {
    std::mt19937 random(7);
    for (const int colourType : {0, 2, 3, 4, 6}) {
        SCOPED_TRACE(colourType);
        const QByteArray file = png(randomPicture(colourType, 37, 23, random));
        expectAsQtReads(file);
        const bool alpha = colourType == 4 || colourType == 6;
        EXPECT_EQ(decodeCommonPng(file).format(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    }
    // One pixel wide, where every filter has only the row above to go on.
    for (const int colourType : {2, 6}) expectAsQtReads(png(randomPicture(colourType, 1, 9, random)));
}

TEST(Png, DecodesWhatQtsWriterMakes) {
    QImage picture(61, 40, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) picture.setPixel(x, y, qRgba(x * 4, y * 6, (x * y) % 256, 255 - x));
    }
    for (const QImage::Format format : {QImage::Format_ARGB32, QImage::Format_RGB32, QImage::Format_Grayscale8}) {
        SCOPED_TRACE(int(format));
        QByteArray file;
        QBuffer buffer(&file);
        ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
        ASSERT_TRUE(QImageWriter(&buffer, "PNG").write(picture.convertToFormat(format)));
        expectAsQtReads(file);
    }
}

TEST(Png, LeavesOtherAndDamagedFilesToQtsReader) {
    std::mt19937 random(11);
    const PngParts good = randomPicture(2, 5, 4, random);
    const QByteArray file = png(good);
    ASSERT_FALSE(decodeCommonPng(file).isNull());
    // Every file cut short, down to nothing.
    for (qsizetype length = 0; length < file.size(); ++length) EXPECT_TRUE(decodeCommonPng(file.left(length)).isNull()) << length;
    EXPECT_TRUE(decodeCommonPng("GIF89a").isNull());
    const auto damaged = [&](qsizetype at) {
        QByteArray bytes = file;
        bytes[at] = char(bytes[at] ^ 1);
        return bytes;
    };
    EXPECT_TRUE(decodeCommonPng(damaged(16)).isNull());                 // the header's check sum
    EXPECT_TRUE(decodeCommonPng(damaged(file.indexOf("IDAT") + 6)).isNull());  // the image data's
    const auto changed = [&](auto change) {
        PngParts parts = good;
        change(parts);
        return decodeCommonPng(png(parts)).isNull();
    };
    EXPECT_TRUE(changed([](PngParts& p) { p.depth = 16; }));
    EXPECT_TRUE(changed([](PngParts& p) { p.interlace = 1; }));
    EXPECT_TRUE(changed([](PngParts& p) { p.colourType = 5; }));
    EXPECT_TRUE(changed([](PngParts& p) { p.transparency = QByteArray(6, '\0'); }));
    EXPECT_TRUE(changed([](PngParts& p) { p.rows[0] = 5; }));                   // no such filter
    EXPECT_TRUE(changed([](PngParts& p) { p.rows.chop(1); }));                  // a byte short
    EXPECT_TRUE(changed([](PngParts& p) { p.rows += '\0'; }));                  // a byte over
    EXPECT_TRUE(changed([](PngParts& p) { p.width = p.height = 1000000; }));    // a claim the data cannot hold
    EXPECT_TRUE(changed([](PngParts& p) { p.width = 1000001; p.height = 1; }));
    // Palettes: none, and pixels past the one given.
    EXPECT_TRUE(changed([](PngParts& p) { p.colourType = 3; }));
    EXPECT_TRUE(changed([](PngParts& p) {
        p.colourType = 3;
        p.width = 15;
        p.palette = QByteArray(3 * 4, '\x40');
        p.rows = QByteArray(4 * 16, '\0');
        p.rows[33] = 4;
    }));
}
