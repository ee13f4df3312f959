#pragma once

#include <QByteArray>
#include <QRect>
#include <cstdint>
#include <optional>
#include <vector>

// giflib as a reference: it writes the files our decoder reads and reads
// the data our coder writes, all in memory.

struct GifFileType;

// Bytes in memory for giflib to read from the start:
// DGifOpen(&input, readGiflibInput, &error).
struct GiflibInput {
    const QByteArray* bytes;
    qsizetype at = 0;
};
int readGiflibInput(GifFileType* gif, unsigned char* out, int count);

// One image of a file: where it stands on the screen, its colour table as
// red, green, blue triples (the global one when it has none of its own) and
// its colour indices, rows top-down.
struct PeerImage {
    QRect rect;
    bool interlaced = false;
    std::vector<std::uint8_t> colours;
    std::vector<std::uint8_t> indices;
};

// A file as giflib writes it: a screen, an optional global table, and
// images with or without a table of their own. Colour tables hold a power
// of two entries, 2 ... 256; interlaced images are written in pass order.
struct PeerFile {
    int screenWidth = 0;
    int screenHeight = 0;
    std::vector<std::uint8_t> globalColours;
    struct Image {
        PeerImage picture;
        bool localTable = false;
    };
    std::vector<Image> images;
};

QByteArray encodeWithGiflib(const PeerFile& file);

// The images of a file as giflib reads them (interlaced ones back in row
// order), or nothing when giflib refuses the file.
std::optional<std::vector<PeerImage>> decodeWithGiflib(const QByteArray& gif);
