// Our GIF decoder and LZW coder against giflib: files giflib writes must
// decode to the same indices and colours with both readers whatever the
// length of the data sub-blocks, and giflib must read back what our coder
// writes.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "gif/Zvqgif.h"
#include "gif_bytes.h"
#include "giflib_peer.h"
#include "imaging/Zvqgraph.h"

namespace {

enum class Texture { noise, runs, threeColours, flat, gradient };
constexpr Texture kTextures[] = {Texture::noise, Texture::runs, Texture::threeColours,
                                 Texture::flat, Texture::gradient};

std::vector<std::uint8_t> makeIndices(int width, int height, int colours, Texture texture,
                                      std::mt19937& random) {
    const auto pick = [&](int n) { return std::uint8_t(random() % unsigned(n)); };
    std::vector<std::uint8_t> out(std::size_t(width) * std::size_t(height));
    const std::uint8_t flat = pick(colours);
    int runLeft = 0;
    std::uint8_t run = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int x = int(i % std::size_t(width)), y = int(i / std::size_t(width));
        switch (texture) {
            case Texture::noise:
                out[i] = pick(colours);
                break;
            case Texture::runs:
                if (runLeft-- == 0) {
                    runLeft = int(random() % 32);
                    run = pick(colours);
                }
                out[i] = run;
                break;
            case Texture::threeColours:
                out[i] = std::uint8_t(pick(std::min(colours, 3)) + colours / 4);
                break;
            case Texture::flat:
                out[i] = flat;
                break;
            case Texture::gradient:
                out[i] = std::uint8_t((x + 3 * y) % colours);
                break;
        }
    }
    return out;
}

std::vector<std::uint8_t> randomColours(int count, std::mt19937& random) {
    std::vector<std::uint8_t> out(std::size_t(count) * 3);
    for (auto& c : out) c = std::uint8_t(random());
    return out;
}

// Two images of textures and sizes that vary with the seed, the second
// placed inside the screen, then a noisy third one whose data spans many
// sub-blocks; made `large`, it fills the dictionary several times.
PeerFile makeFile(int bits, bool interlaced, bool localTable, bool large, unsigned seed) {
    std::mt19937 random(seed);
    constexpr int kHeights[] = {1, 2, 3, 4, 5, 8, 9, 13, 17, 31};
    PeerFile file;
    file.globalColours = randomColours(1 << (localTable ? 9 - bits : bits), random);
    const auto addImage = [&](QRect rect, Texture texture) {
        PeerFile::Image image;
        image.localTable = localTable;
        image.picture.rect = rect;
        image.picture.interlaced = interlaced;
        image.picture.colours = localTable ? randomColours(1 << bits, random) : file.globalColours;
        image.picture.indices =
            makeIndices(rect.width(), rect.height(), 1 << bits, texture, random);
        file.images.push_back(std::move(image));
        file.screenWidth = std::max(file.screenWidth, rect.right() + 1);
        file.screenHeight = std::max(file.screenHeight, rect.bottom() + 1);
    };
    addImage(QRect(0, 0, 1 + int(random() % 64), kHeights[random() % 10]), kTextures[random() % 5]);
    addImage(QRect(int(random() % 8), int(random() % 8), 1 + int(random() % 40),
                   kHeights[random() % 10]),
             kTextures[random() % 5]);
    addImage(large ? QRect(3, 1, 128, 96) : QRect(1, 2, 48, 40), Texture::noise);
    return file;
}

std::vector<PeerImage> decodeWithOurs(const QByteArray& gif) {
    TZVQ_GIFDecompressor decoder;
    TMemoryStream stream(gif);
    TGIFGraphicControlInfo info;
    std::vector<PeerImage> images;
    while (std::unique_ptr<TZVQExtGraphic> graphic =
               decoder.ReadGIFGraphicFromStream(&stream, info)) {
        auto* dib = dynamic_cast<TDeviceIndependentBitmap*>(graphic.get());
        if (!dib) {
            ADD_FAILURE() << "not a bitmap";
            break;
        }
        PeerImage image;
        image.rect = QRect(info.Origin, QSize(dib->GetWidth(), std::abs(dib->GetHeight())));
        const TRGBQuad* table = dib->GetColourTable();
        for (int i = 0; table && i < dib->GetNumColours(); ++i) {
            image.colours.insert(image.colours.end(),
                                 {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue});
        }
        std::unique_ptr<TDIBReader> reader = dib->GetReader();
        auto* mapped = dynamic_cast<TDIBMappedReader*>(reader.get());
        if (!mapped) {
            ADD_FAILURE() << "not a paletted bitmap";
            break;
        }
        std::uint8_t index;
        do {
            while (mapped->GetNextColourIndex(index)) image.indices.push_back(index);
        } while (mapped->NextRow());
        images.push_back(std::move(image));
    }
    EXPECT_TRUE(decoder.GetEOF());
    return images;
}

// Empty when the images agree in place, size, colour table and indices;
// otherwise the first thing that differs.
std::string difference(const std::vector<PeerImage>& ours, const std::vector<PeerImage>& theirs) {
    std::ostringstream out;
    if (ours.size() != theirs.size()) {
        out << ours.size() << " images against " << theirs.size();
        return out.str();
    }
    for (std::size_t i = 0; i < ours.size(); ++i) {
        const PeerImage& a = ours[i];
        const PeerImage& b = theirs[i];
        if (a.rect != b.rect) {
            out << "image " << i << ": rect " << a.rect.x() << ',' << a.rect.y() << ' '
                << a.rect.width() << 'x' << a.rect.height() << " against " << b.rect.x() << ','
                << b.rect.y() << ' ' << b.rect.width() << 'x' << b.rect.height();
        } else if (a.colours != b.colours) {
            out << "image " << i << ": colour tables of " << a.colours.size() / 3 << " and "
                << b.colours.size() / 3 << " entries differ";
        } else if (a.indices != b.indices) {
            const auto at = std::mismatch(a.indices.begin(), a.indices.end(), b.indices.begin(),
                                          b.indices.end());
            const auto n = at.first - a.indices.begin();
            out << "image " << i << ": " << a.indices.size() << " against " << b.indices.size()
                << " indices, first difference at x " << n % b.rect.width() << " y "
                << n / b.rect.width();
        }
        if (!out.str().empty()) return out.str();
    }
    return {};
}

std::vector<PeerImage> sourcePictures(const PeerFile& file) {
    std::vector<PeerImage> out;
    for (const PeerFile::Image& image : file.images) out.push_back(image.picture);
    return out;
}

// Our coder's image data for the rows, given as indices or read from a
// bitmap of the coder's format.
QByteArray compressRows(const std::vector<std::uint8_t>& indices, int width, TDIBFormat format,
                        bool throughBitmap) {
    const int height = int(indices.size()) / width;
    TMemoryStream out;
    TZVQ_LZWCompressor coder(&out, format);
    if (!throughBitmap) {
        for (int y = 0; y < height; ++y)
            coder.writeIndices(indices.data() + std::size_t(y * width), width);
    } else {
        TDeviceIndependentBitmap dib(format, width, height);
        std::unique_ptr<TDIBWriter> writer = dib.GetWriter();
        for (int y = 0; y < height; ++y, writer->NextRow()) {
            static_cast<TDIBMappedWriter*>(writer.get())
                ->SetNextIndices(indices.data() + std::size_t(y * width), width);
        }
        std::unique_ptr<TDIBReader> reader = dib.GetReader();
        for (int y = 0; y < height; ++y, reader->NextRow())
            coder.WriteRow(static_cast<TDIBMappedReader*>(reader.get()));
    }
    coder.Finish();
    return out.bytes();
}

}  // namespace

TEST(GiflibDifferential, FilesGiflibWritesDecodeAlikeAtEverySubBlockLength) {
    unsigned seed = 1;
    for (int bits = 1; bits <= 8; ++bits) {
        for (bool interlaced : {false, true}) {
            for (bool localTable : {false, true}) {
                const PeerFile file =
                    makeFile(bits, interlaced, localTable, !interlaced && !localTable, seed++);
                const QByteArray gif = encodeWithGiflib(file);
                ASSERT_FALSE(gif.isEmpty());
                const auto original = decodeWithGiflib(gif);
                ASSERT_TRUE(original);
                ASSERT_EQ(difference(*original, sourcePictures(file)), "") << "giflib round trip";
                for (int blockSize = 1; blockSize <= 255; ++blockSize) {
                    SCOPED_TRACE(testing::Message()
                                 << bits << " bits, interlaced " << interlaced << ", local "
                                 << localTable << ", sub-blocks of " << blockSize);
                    const QByteArray resplit = resplitImageData(gif, blockSize);
                    if (blockSize == 1) {
                        ASSERT_GT(resplit.size(), gif.size());
                    }
                    const auto theirs = decodeWithGiflib(resplit);
                    ASSERT_TRUE(theirs);
                    ASSERT_EQ(difference(decodeWithOurs(resplit), *theirs), "");
                }
            }
        }
    }
}

TEST(GiflibDifferential, GiflibReadsWhatOurCoderWrites) {
    struct Case {
        TDIBFormat format;
        int tableBits;
    };
    std::mt19937 random(7);
    for (const Case c : {Case{TDIBFormat::dtMonochrome, 1}, Case{TDIBFormat::dt4bit, 4},
                         Case{TDIBFormat::dt8bit, 8}}) {
        for (const QSize size : {QSize(1, 1), QSize(7, 3), QSize(300, 40), QSize(1000, 30)}) {
            for (const Texture texture : kTextures) {
                for (bool throughBitmap : {false, true}) {
                    SCOPED_TRACE(testing::Message()
                                 << (1 << c.tableBits) << " colours, " << size.width() << 'x'
                                 << size.height() << ", texture " << int(texture)
                                 << (throughBitmap ? ", rows from a bitmap" : ""));
                    const int width = size.width(), height = size.height();
                    const auto indices =
                        makeIndices(width, height, 1 << c.tableBits, texture, random);
                    const QByteArray data = compressRows(indices, width, c.format, throughBitmap);
                    const QByteArray gif = gifHeader(width, height, c.tableBits) +
                                           imageDescriptor(0, 0, width, height) + data + ';';
                    const auto theirs = decodeWithGiflib(gif);
                    ASSERT_TRUE(theirs);
                    ASSERT_EQ(theirs->size(), 1u);
                    EXPECT_TRUE(theirs->front().indices == indices);
                }
            }
        }
    }
}
