#include <gtest/gtest.h>

#include <random>

#include "gif/Zvqgif.h"
#include "gif_bytes.h"
#include "giflib_peer.h"
#include "imaging/Zvqgraph.h"
#include "test_support.h"

namespace {

std::vector<std::uint8_t> randomIndices(int count, int colours, int runLength, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(count));
    std::uint8_t value = 0;
    for (int i = 0; i < count; ++i) {
        if (i % runLength == 0) value = std::uint8_t(random() % unsigned(colours));
        out[std::size_t(i)] = value;
    }
    return out;
}

QByteArray compress(const std::vector<std::uint8_t>& indices, TDIBFormat format, int rowWidth) {
    TMemoryStream out;
    {
        TZVQ_LZWCompressor coder(&out, format);
        for (std::size_t at = 0; at < indices.size(); at += std::size_t(rowWidth)) {
            coder.writeIndices(indices.data() + at, int(std::min<std::size_t>(rowWidth, indices.size() - at)));
        }
        coder.Finish();
    }
    return out.bytes();
}

std::vector<std::uint8_t> decompress(TStream* in, int count) {
    TZVQ_LZWDecompressor decoder(in);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(count));
    out.resize(std::size_t(decoder.readIndices(out.data(), count)));
    return out;
}

std::vector<std::uint8_t> decompress(const QByteArray& data, int count) {
    TMemoryStream in(data);
    return decompress(&in, count);
}

}  // namespace

TEST(LzwCodec, TwoColourImageBytesAsWorkedByHand) {
    // Codes clear 4, 0, 6 (= 0 0), 0, end 5, three bits each, low bits first.
    const QByteArray data = compress({0, 0, 0, 0}, TDIBFormat::dtMonochrome, 4);
    EXPECT_EQ(data, QByteArray("\x02\x02\x84\x51\x00", 5));
    EXPECT_EQ(decompress(data, 4), (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(LzwCodec, RoundTripsEveryFormatThroughDictionaryResets) {
    struct Case {
        TDIBFormat format;
        int colours;
    };
    for (const Case c : {Case{TDIBFormat::dtMonochrome, 2}, Case{TDIBFormat::dt4bit, 16},
                         Case{TDIBFormat::dt8bit, 256}}) {
        for (int run : {1, 3, 50}) {
            const auto indices = randomIndices(300 * 200, c.colours, run, unsigned(run * 7 + c.colours));
            const QByteArray data = compress(indices, c.format, 300);
            EXPECT_EQ(decompress(data, int(indices.size())), indices) << c.colours << " colours, runs " << run;
            TrickleStream trickle(data, 1);
            EXPECT_EQ(decompress(&trickle, int(indices.size())), indices) << "one byte per read";
        }
    }
}

// The classic coder's byte stream, code for code and sub-block for sub-block:
// giflib writes it too, whatever its string table looks like inside.
TEST(LzwCodec, WritesTheSameBytesAsGiflib) {
    struct Case {
        TDIBFormat format;
        int colours;
    };
    const int width = 301, height = 157;
    for (const Case c : {Case{TDIBFormat::dtMonochrome, 2}, Case{TDIBFormat::dt4bit, 16},
                         Case{TDIBFormat::dt8bit, 256}}) {
        for (int run : {1, 3, 50}) {
            const auto indices = randomIndices(width * height, c.colours, run, unsigned(run * 11 + c.colours));
            PeerFile file{width, height, {}, {}};
            PeerImage image{QRect(0, 0, width, height), false, std::vector<std::uint8_t>(std::size_t(c.colours) * 3), indices};
            file.images.push_back({image, true});
            const QByteArray theirs = encodeWithGiflib(file);
            const QByteArray ours = compress(indices, c.format, width);
            EXPECT_TRUE(theirs.endsWith(ours + ';')) << c.colours << " colours, runs " << run;
        }
    }
}

TEST(LzwCodec, SubBlocksAreFullExceptTheLast) {
    const auto indices = randomIndices(4000, 256, 1, 3);
    const QByteArray data = compress(indices, TDIBFormat::dt8bit, 4000);
    int at = 1;
    while (std::uint8_t(data[at]) == 255) at += 256;
    ASSERT_LT(at, data.size());
    EXPECT_EQ(at + 1 + std::uint8_t(data[at]) + 1, data.size());
    EXPECT_EQ(data.back(), 0);
}

TEST(LzwCodec, WidthGrowsAfterCode512OnBothSides) {
    // Distinct pairs make one new code per pixel pair.
    std::vector<std::uint8_t> indices;
    for (int a = 0; a < 40; ++a)
        for (int b = 0; b < 40; ++b) {
            indices.push_back(std::uint8_t(a));
            indices.push_back(std::uint8_t(b + 100));
        }
    const QByteArray data = compress(indices, TDIBFormat::dt8bit, int(indices.size()));
    TMemoryStream in(data);
    TZVQ_LZWDecompressor decoder(&in);
    std::vector<std::uint8_t> out(indices.size());
    int got = 0;
    bool seenTen = false;
    while (got < int(out.size())) {
        got += decoder.readIndices(out.data() + got, 1);
        const int free = decoder.GetNextFreeCode();
        const int expectedWidth = free < 512 ? 9 : free < 1024 ? 10 : free < 2048 ? 11 : 12;
        EXPECT_EQ(decoder.GetCodeWidth(), expectedWidth);
        seenTen = seenTen || expectedWidth == 10;
    }
    EXPECT_TRUE(seenTen);
    EXPECT_EQ(out, indices);
}

TEST(LzwCodec, KwKwKDecodesToPreviousStringAndItsFirstCharacter) {
    CodeWriter codes(2);
    codes.put(codes.clearCode());
    codes.put(1);  // "1"
    codes.put(6);  // the code being defined: "1" + "1"
    codes.put(7);  // again: "11" + "1"
    codes.put(codes.endCode());
    EXPECT_EQ(decompress(codes.imageData(), 10), (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 1}));
}

TEST(LzwCodec, MinimumCodeSizes) {
    QByteArray one = literalImageData({1, 2, 3}, 2);
    one[0] = 1;  // taken as 2
    EXPECT_EQ(decompress(one, 3), (std::vector<std::uint8_t>{1, 2, 3}));
    for (int size : {0, 13}) {
        QByteArray bad = one;
        bad[0] = char(size);
        expectThrowWithMessage<ELZWError>([&] { decompress(bad, 3); },
                                          QStringLiteral("Unsupported Minimum Code Size - %1").arg(size));
    }
    expectThrowWithMessage<ELZWError>([] { decompress(QByteArray(), 3); },
                                      QStringLiteral("Unexpected end of input stream"));
    TMemoryStream sink;
    expectThrowWithMessage<ELZWError>([&] { TZVQ_LZWCompressor(&sink, TDIBFormat::dt24bit); },
                                      QStringLiteral("Cannot write an image with more than 256 colours as a GIF"));
    EXPECT_EQ(sink.Size(), 0);
}

TEST(LzwCodec, CodeBeyondTheDictionaryIsRefused) {
    CodeWriter codes(2);
    codes.put(codes.clearCode());
    codes.put(1);
    codes.put(7);  // next free is 6
    expectThrowWithMessage<EGIFError>([&] { decompress(codes.imageData(), 10); },
                                      QStringLiteral("Undefined symbol in LZW stream"));
}

TEST(LzwCodec, EndCodeBeforeTheImageIsFullEndsTheRow) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt8bit, 4, 2);
    auto writer = dib.GetWriter();
    TMemoryStream in(literalImageData({1, 2, 3, 4, 5}, 8));
    TZVQ_LZWDecompressor decoder(&in);
    auto* mapped = static_cast<TDIBMappedWriter*>(writer.get());
    EXPECT_TRUE(decoder.ReadRow(mapped));
    writer->NextRow();
    EXPECT_FALSE(decoder.ReadRow(mapped));
    EXPECT_FALSE(decoder.ReadRow(mapped));
    EXPECT_TRUE(decoder.endOfData());
}

TEST(LzwCodec, StreamCutAtEveryOffsetFailsCleanly) {
    const auto indices = randomIndices(40 * 30, 16, 2, 9);
    const QByteArray data = compress(indices, TDIBFormat::dt4bit, 40);
    // In memory, and from a stream that hands out a few bytes per read.
    for (int chunk : {0, 3}) {
        for (int cut = 0; cut < data.size(); ++cut) {
            const QByteArray part = data.left(cut);
            std::unique_ptr<TStream> in = chunk ? std::unique_ptr<TStream>(new TrickleStream(part, chunk))
                                                : std::unique_ptr<TStream>(new TMemoryStream(part));
            try {
                const auto out = decompress(in.get(), int(indices.size()));
                // Whatever came out before the cut is what was written.
                EXPECT_TRUE(std::equal(out.begin(), out.end(), indices.begin())) << "cut at " << cut;
            } catch (const ELZWError& e) {
                EXPECT_EQ(e.Message(), QStringLiteral("Unexpected end of input stream")) << "cut at " << cut;
            }
            // The decoder, gone, leaves the stream at the end of what there was.
            EXPECT_EQ(in->Position(), cut) << "chunk " << chunk << ", cut at " << cut;
        }
    }
}

TEST(LzwCodec, DictionaryFullWithoutClearKeepsDecoding) {
    CodeWriter codes(2);
    codes.put(codes.clearCode());
    std::vector<std::uint8_t> expected;
    // Literal pairs fill the dictionary; then a code from the full
    // dictionary and literals at 12 bits follow, with no clear code.
    for (int i = 0; codes.nextFree() < 4096; ++i) {
        codes.put(i % 4);
        expected.push_back(std::uint8_t(i % 4));
    }
    ASSERT_EQ(codes.width(), 12);
    for (int i = 0; i < 100; ++i) {
        codes.put(3);
        expected.push_back(3);
    }
    codes.put(6);  // the first entry: "0 1"
    expected.push_back(0);
    expected.push_back(1);
    codes.put(codes.endCode());
    const auto out = decompress(codes.imageData(), int(expected.size()) + 10);
    EXPECT_EQ(out, expected);
}

TEST(LzwCodec, FirstCodeAfterClearThatIsNoLiteralWritesItsLowByte) {
    CodeWriter codes(2);
    codes.put(codes.clearCode());
    codes.put(1);
    codes.put(2);  // makes 6 = "1 2"
    codes.put(codes.clearCode());
    codes.put(6);  // no literal after a clear: written as its low byte, 6
    codes.put(6);  // KwKwK on it: "6 6"
    codes.put(codes.endCode());
    EXPECT_EQ(decompress(codes.imageData(), 10), (std::vector<std::uint8_t>{1, 2, 6, 6, 6}));
}

TEST(LzwCodec, DestroyingMidImageLeavesStreamAfterTheTerminator) {
    const auto indices = randomIndices(64 * 64, 256, 1, 5);
    QByteArray data = compress(indices, TDIBFormat::dt8bit, 64);
    const qsizetype end = data.size();
    data.append(';');
    for (int chunk : {0, 1, 7}) {
        std::unique_ptr<TStream> in = chunk ? std::unique_ptr<TStream>(new TrickleStream(data, chunk))
                                            : std::unique_ptr<TStream>(new TMemoryStream(data));
        {
            TZVQ_LZWDecompressor decoder(in.get());
            std::vector<std::uint8_t> row(64);
            ASSERT_EQ(decoder.readIndices(row.data(), 64), 64);
        }
        EXPECT_EQ(in->Position(), end) << "chunk " << chunk;
    }
}

TEST(LzwCodec, CodersAliveTogetherAndOutOfRangeIndices) {
    const auto a = randomIndices(200 * 150, 256, 2, 21);
    const auto b = randomIndices(200 * 150, 16, 3, 22);
    const QByteArray aAlone = compress(a, TDIBFormat::dt8bit, 200);
    const QByteArray bAlone = compress(b, TDIBFormat::dt4bit, 200);
    // Two coders at once, row by row in turn: neither sees the other's strings.
    TMemoryStream outA, outB;
    {
        TZVQ_LZWCompressor coderA(&outA, TDIBFormat::dt8bit);
        TZVQ_LZWCompressor coderB(&outB, TDIBFormat::dt4bit);
        for (std::size_t at = 0; at < a.size(); at += 200) {
            coderA.writeIndices(a.data() + at, 200);
            coderB.writeIndices(b.data() + at, 200);
        }
    }
    EXPECT_EQ(outA.bytes(), aAlone);
    EXPECT_EQ(outB.bytes(), bAlone);
    // And after them, a coder alone still writes the same bytes.
    EXPECT_EQ(compress(a, TDIBFormat::dt8bit, 200), aAlone);

    // Indices beyond a 16-colour picture's colours are taken modulo 16.
    std::vector<std::uint8_t> wide = b;
    for (std::size_t i = 0; i < wide.size(); i += 7) wide[i] = std::uint8_t(wide[i] + 16 * (i % 16));
    EXPECT_EQ(compress(wide, TDIBFormat::dt4bit, 200), bAlone);
}

// Any code size from 2 to 8 for indices below it, and pixels that may be
// either of two indices, given at once or in parts, over enough pixels to
// fill the dictionary again and again: every pixel decodes, with our
// decoder and giflib's, to one of the two it was given, and the coder's
// choices make long runs of the alternative where it can.
TEST(LzwCodec, CodesEitherOfTwoIndicesAtAnyCodeSize) {
    const int width = 97, height = 161;
    for (int size = 2; size <= 8; ++size) {
        const int colours = 1 << size;
        const auto indices = randomIndices(width * height, colours - 1, 3, unsigned(size));
        auto alternatives = indices;
        for (std::size_t i = 0; i < alternatives.size(); ++i) {
            if (i % 200 < 150) alternatives[i] = std::uint8_t(colours - 1);
        }
        TMemoryStream plain;
        {
            TZVQ_LZWCompressor plainCoder(&plain, size);
            plainCoder.writeIndices(indices.data(), int(indices.size()));
            plainCoder.Finish();
        }
        for (int parts : {1, 3}) {
            TMemoryStream out;
            {
                TZVQ_LZWCompressor coder(&out, size);
                const int part = int(indices.size()) / parts + 1;
                for (int at = 0; at < int(indices.size()); at += part) {
                    const int count = std::min(part, int(indices.size()) - at);
                    coder.writeEitherIndices(indices.data() + at, alternatives.data() + at, count);
                }
                coder.Finish();
            }
            const std::string what = "size " + std::to_string(size) + ", parts " + std::to_string(parts);
            ASSERT_EQ(out.bytes()[0], char(size));
            const std::vector<std::uint8_t> ours = decompress(out.bytes(), int(indices.size()));
            ASSERT_EQ(ours.size(), indices.size()) << what;
            const QByteArray gif =
                gifHeader(width, height, size) + imageDescriptor(0, 0, width, height) + out.bytes() + ';';
            const auto theirs = decodeWithGiflib(gif);
            ASSERT_TRUE(theirs.has_value()) << what;
            EXPECT_EQ(theirs->front().indices, ours) << what;
            int alternativesTaken = 0;
            for (std::size_t i = 0; i < ours.size(); ++i) {
                ASSERT_TRUE(ours[i] == indices[i] || ours[i] == alternatives[i]) << what << " pixel " << i;
                alternativesTaken += ours[i] != indices[i];
            }
            // Fewer codes than with the indices alone, from runs of the
            // alternative index.
            EXPECT_LT(out.bytes().size(), plain.bytes().size()) << what;
            EXPECT_GT(alternativesTaken, width * height / 4) << what;
        }
    }
    expectThrowWithMessage<ELZWError>([] { TZVQ_LZWCompressor coder(nullptr, 9); },
                                      QStringLiteral("Unsupported Minimum Code Size - 9"));
}

namespace {

// `count` indices below `colours`: the same `period` random ones over and
// over.
std::vector<std::uint8_t> repeatedPattern(int count, int period, int colours, unsigned seed) {
    const std::vector<std::uint8_t> pattern = randomIndices(period, colours, 1, seed);
    std::vector<std::uint8_t> out;
    for (int i = 0; i < count; ++i) out.push_back(pattern[std::size_t(i % period)]);
    return out;
}

// The indices coded a row of `width` at a time, with clears deferred or
// not; with alternatives, each pixel free to be either.
QByteArray codeRows(const std::vector<std::uint8_t>& indices, const std::vector<std::uint8_t>* alternatives, int size,
                    bool deferred, int width) {
    TMemoryStream out;
    {
        TZVQ_LZWCompressor coder(&out, size);
        coder.setDeferredClear(deferred);
        for (int at = 0; at < int(indices.size()); at += width) {
            const int count = std::min(width, int(indices.size()) - at);
            if (alternatives) {
                coder.writeEitherIndices(indices.data() + at, alternatives->data() + at, count);
            } else {
                coder.writeIndices(indices.data() + at, count);
            }
        }
        coder.Finish();
    }
    return out.bytes();
}

}  // namespace

// A pattern long enough to fill the dictionary, repeated, then another:
// the full dictionary is kept while the first one repeats, which takes far
// fewer bytes than clearing as it fills, and gives way to a fresh one for
// the second, which then costs what it costs on its own. Our decoder and
// giflib's read every pixel back, pixels free to be either of two indices
// included.
TEST(LzwCodec, KeepsAFullDictionaryWhileItPaysAndClearsOnceItStops) {
    const int width = 480, height = 300, half = width * height / 2;
    for (int size : {2, 5, 8}) {
        const int colours = 1 << size;
        const std::vector<std::uint8_t> first = repeatedPattern(half, 1500, colours, unsigned(size));
        const std::vector<std::uint8_t> second = repeatedPattern(half, 1100, colours, unsigned(size) + 50);
        const std::string what = "size " + std::to_string(size);
        const QByteArray firstDeferred = codeRows(first, nullptr, size, true, width);
        EXPECT_LT(firstDeferred.size() * 10, codeRows(first, nullptr, size, false, width).size() * 9) << what;
        std::vector<std::uint8_t> both = first;
        both.insert(both.end(), second.begin(), second.end());
        const QByteArray deferred = codeRows(both, nullptr, size, true, width);
        EXPECT_LT(deferred.size() - firstDeferred.size(), codeRows(second, nullptr, size, false, width).size() * 21 / 20)
            << what;
        std::vector<std::uint8_t> alternatives = both;
        for (std::size_t i = 0; i < alternatives.size(); i += 7) alternatives[i] = std::uint8_t(colours - 1);
        const QByteArray either = codeRows(both, &alternatives, size, true, width);
        for (const QByteArray& data : {deferred, either}) {
            const std::vector<std::uint8_t> ours = decompress(data, int(both.size()));
            ASSERT_EQ(ours.size(), both.size()) << what;
            for (std::size_t i = 0; i < ours.size(); ++i) {
                ASSERT_TRUE(ours[i] == both[i] || ours[i] == alternatives[i]) << what << " pixel " << i;
            }
            const auto theirs = decodeWithGiflib(gifHeader(width, height, size) +
                                                 imageDescriptor(0, 0, width, height) + data + ';');
            ASSERT_TRUE(theirs.has_value()) << what;
            EXPECT_EQ(theirs->front().indices, ours) << what;
        }
        EXPECT_EQ(decompress(deferred, int(both.size())), both) << what;
    }
}
