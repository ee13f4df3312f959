#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bmp_builder.h"
#include "imaging/Zvqgraph.h"
#include "test_support.h"

namespace {

const QString kInvalidClip = QStringLiteral("Invalid Clipping rectangle");

QRect clip(int left, int top, int right, int bottom) { return QRect(QPoint(left, top), QPoint(right, bottom)); }

std::vector<int> readIndices(TDIBReader& reader) {
    auto& mapped = dynamic_cast<TDIBMappedReader&>(reader);
    std::vector<int> out;
    std::uint8_t index;
    while (mapped.GetNextColourIndex(index)) out.push_back(index);
    return out;
}

void writeIndices(TDIBWriter& writer, const std::vector<int>& indices) {
    auto& mapped = dynamic_cast<TDIBMappedWriter&>(writer);
    for (int index : indices) EXPECT_TRUE(mapped.SetNextIndex(std::uint8_t(index)));
}

const std::uint8_t* row(const TDeviceIndependentBitmap& dib, int storedRow) {
    const int stride = dib.GetSize() / dib.GetHeight();
    return dib.GetBits() + storedRow * stride;
}

}  // namespace

TEST(PixelIterators, BottomUpRowsAreVisitedTopFirst) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt24bit, 3, 2);
    auto writer = dib.GetWriter();
    while (writer->SetNextPixel(1, 2, 3)) {
    }
    writer->NextRow();
    while (writer->SetNextPixel(4, 5, 6)) {
    }
    EXPECT_FALSE(writer->NextRow());
    EXPECT_EQ(dib.GetBits()[12], 3);  // blue of the top row, stored second
    EXPECT_EQ(dib.GetBits()[14], 1);
    EXPECT_EQ(dib.GetBits()[0], 6);
    EXPECT_EQ(dib.GetBits()[9], 0);  // padding untouched
}

TEST(PixelIterators, TopDownRowsAreVisitedInStoredOrder) {
    BmpLayout layout;
    layout.height = -2;
    layout.pixels = QByteArray("\x01\x02\x03\x00\x04\x05\x06\x00", 8);
    const auto dib = loadBmp(buildBmp(layout));
    auto reader = dib->GetReader();
    std::uint8_t r, g, b;
    ASSERT_TRUE(reader->GetNextPixel(r, g, b));
    EXPECT_EQ(r, 3);
    reader->NextRow();
    ASSERT_TRUE(reader->GetNextPixel(r, g, b));
    EXPECT_EQ(r, 6);
}

TEST(PixelIterators, InterlacedRowOrders) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt8bit, 1, 10);
    auto writer = dib.GetWriter();
    writer->Reset(0, 8);
    std::vector<int> rows;
    do {
        writeIndices(*writer, {int(rows.size()) + 1});
        rows.push_back(1);
    } while (writer->NextRow());
    EXPECT_EQ(rows.size(), 2u);
    EXPECT_EQ(row(dib, 9)[0], 1);  // image row 0
    EXPECT_EQ(row(dib, 1)[0], 2);  // image row 8
    EXPECT_EQ(row(dib, 8)[0], 0);

    writer->SetClipRect(clip(0, 3, 0, 3));
    writer->Reset(4, 8);
    EXPECT_TRUE(writer->EndOfScan());
    EXPECT_FALSE(dynamic_cast<TDIBMappedWriter&>(*writer).SetNextIndex(7));
    writer->Reset(0, 1);
    EXPECT_FALSE(writer->EndOfScan());
    EXPECT_THROW(writer->Reset(-1, 1), EScanError);
    EXPECT_THROW(writer->Reset(0, 0), EScanError);
}

TEST(PixelIterators, ReaderStopsAtRowEndEveryTime) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt32bit, 4, 2);
    auto reader = dib.GetReader();
    std::uint8_t r = 9, g = 9, b = 9;
    int count = 0;
    while (reader->GetNextPixel(r, g, b)) ++count;
    EXPECT_EQ(count, 4);
    r = g = b = 77;
    EXPECT_FALSE(reader->GetNextPixel(r, g, b));
    EXPECT_FALSE(reader->GetNextPixel(r, g, b));
    EXPECT_EQ(r, 77);
    EXPECT_TRUE(reader->NextRow());
    EXPECT_FALSE(reader->NextRow());
    EXPECT_TRUE(reader->EndOfScan());
    EXPECT_FALSE(reader->GetNextPixel(r, g, b));
}

TEST(PixelIterators, ClipRectangleIsClampedOrRefused) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt24bit, 10, 10);
    auto reader = dib.GetReader();
    reader->SetClipRect(clip(-5, -5, 1000, 1000));
    EXPECT_EQ(reader->GetClipRect(), clip(0, 0, 9, 9));
    expectThrowWithMessage<EScanError>([&] { reader->SetClipRect(clip(5, 0, 4, 9)); }, kInvalidClip);
    expectThrowWithMessage<EScanError>([&] { reader->SetClipRect(clip(0, 12, 9, 20)); }, kInvalidClip);
    TDeviceIndependentBitmap noWidth(TDIBFormat::dt8bit, 0, 3);
    expectThrowWithMessage<EScanError>([&] { noWidth.GetReader(); }, kInvalidClip);
    TDeviceIndependentBitmap noHeight(TDIBFormat::dtMonochrome, 3, 0);
    expectThrowWithMessage<EScanError>([&] { noHeight.GetWriter(); }, kInvalidClip);
}

TEST(PixelIterators, MonochromeBytes) {
    TDeviceIndependentBitmap three(TDIBFormat::dtMonochrome, 3, 1);
    auto writer = three.GetWriter();
    writeIndices(*writer, {1, 0, 1});
    EXPECT_FALSE(dynamic_cast<TDIBMappedWriter&>(*writer).SetNextIndex(1));
    writer->NextRow();
    EXPECT_EQ(three.GetBits()[0], 0xA0);

    TDeviceIndependentBitmap nine(TDIBFormat::dtMonochrome, 9, 1);
    writer = nine.GetWriter();
    writeIndices(*writer, {1, 0, 0, 0, 0, 0, 0, 0, 2});
    writer->NextRow();
    EXPECT_EQ(nine.GetBits()[0], 0x80);
    EXPECT_EQ(nine.GetBits()[1], 0x80);  // any nonzero index sets the bit
    auto reader = nine.GetReader();
    EXPECT_EQ(readIndices(*reader), (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(PixelIterators, FourBitNibbles) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt4bit, 3, 1);
    auto writer = dib.GetWriter();
    writeIndices(*writer, {1, 2, 3});
    writer->Flush();
    EXPECT_EQ(dib.GetBits()[0], 0x12);
    EXPECT_EQ(dib.GetBits()[1], 0x30);
    auto reader = dib.GetReader();
    EXPECT_EQ(readIndices(*reader), (std::vector<int>{1, 2, 3}));
}

TEST(PixelIterators, PackedRowsBackwards) {
    for (TDIBFormat format : {TDIBFormat::dtMonochrome, TDIBFormat::dt4bit, TDIBFormat::dt8bit}) {
        const int mask = format == TDIBFormat::dtMonochrome ? 1 : 15;
        TDeviceIndependentBitmap dib(format, 11, 2);
        auto writer = dib.GetWriter();
        writer->SetBackwardsScan(true);
        std::vector<int> written;
        for (int i = 0; i < 11; ++i) written.push_back((i * 7 + 3) & mask);
        writeIndices(*writer, written);
        writer->NextRow();
        auto reader = dib.GetReader();
        std::vector<int> forward = readIndices(*reader);
        std::reverse(forward.begin(), forward.end());
        EXPECT_EQ(forward, written) << int(format);
        reader->SetBackwardsScan(true);
        EXPECT_EQ(readIndices(*reader), written) << int(format);
        // The padding bits after the last pixel stay clear.
        if (format == TDIBFormat::dtMonochrome) {
            EXPECT_EQ(row(dib, 1)[1] & 0x1F, 0);
        } else if (format == TDIBFormat::dt4bit) {
            EXPECT_EQ(row(dib, 1)[5] & 0x0F, 0);
        }
    }
}

TEST(PixelIterators, ClipInsideAByteKeepsNeighbours) {
    TDeviceIndependentBitmap dib(TDIBFormat::dtMonochrome, 16, 1);
    dib.GetBits()[0] = 0xFF;
    dib.GetBits()[1] = 0xFF;
    auto writer = dib.GetWriter();
    writer->SetClipRect(clip(3, 0, 9, 0));
    EXPECT_EQ(writer->GetWidth(), 7);
    writeIndices(*writer, {0, 0, 0, 0, 0, 0, 0});
    writer->NextRow();
    EXPECT_EQ(dib.GetBits()[0], 0xE0);
    EXPECT_EQ(dib.GetBits()[1], 0x3F);

    TDeviceIndependentBitmap nibbles(TDIBFormat::dt4bit, 6, 1);
    nibbles.GetBits()[0] = 0xAB;
    nibbles.GetBits()[1] = 0xCD;
    auto reader = nibbles.GetReader();
    reader->SetClipRect(clip(1, 0, 2, 0));
    EXPECT_EQ(readIndices(*reader), (std::vector<int>{0xB, 0xC}));
    reader->SetBackwardsScan(true);
    EXPECT_EQ(readIndices(*reader), (std::vector<int>{0xC, 0xB}));
}

TEST(PixelIterators, BackwardsScanStaysInsideTheClip) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt24bit, 10, 1);
    auto writer = dib.GetWriter();
    writer->SetClipRect(clip(0, 0, 4, 0));
    writer->SetBackwardsScan(true);
    while (writer->SetNextPixel(9, 9, 9)) {
    }
    for (int x = 0; x < 10; ++x) EXPECT_EQ(dib.GetBits()[x * 3], x < 5 ? 9 : 0) << x;
}

TEST(PixelIterators, SkipPixelsNeverLeavesTheRow) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt8bit, 4, 2);
    auto writer = dib.GetWriter();
    writer->SkipPixels(2);
    writeIndices(*writer, {5, 6});
    writer->SkipPixels(1000);
    EXPECT_FALSE(dynamic_cast<TDIBMappedWriter&>(*writer).SetNextIndex(1));
    EXPECT_EQ(row(dib, 1)[2], 5);
    EXPECT_EQ(row(dib, 0)[0], 0);
}

TEST(PixelIterators, ChannelMasks) {
    EXPECT_EQ(TDIBIterator::BitsIn(0x07E0), 6);
    EXPECT_EQ(TDIBIterator::LoBit(0x07E0), 5);
    EXPECT_EQ(TDIBIterator::LoBit(0), 0);

    TDeviceIndependentBitmap wide(TDIBFormat::dt32bit, 1, 1);
    wide.GetWriter()->SetNextPixel(0x12, 0x34, 0x56);
    EXPECT_EQ(readLe32(wide.GetBits()), 0x00123456u);

    TDeviceIndependentBitmap narrow(TDIBFormat::dt16bit, 2, 1);
    auto writer = narrow.GetWriter();
    writer->SetNextPixel(255, 255, 255);
    writer->SetNextPixel(0x80, 0x40, 0x08);
    EXPECT_EQ(readLe16(narrow.GetBits()), 0x7FFF);
    EXPECT_EQ(readLe16(narrow.GetBits() + 2), (0x10 << 10) | (0x08 << 5) | 0x01);
    auto reader = narrow.GetReader();
    std::uint8_t r, g, b;
    reader->GetNextPixel(r, g, b);
    EXPECT_EQ(r, 248);
    EXPECT_EQ(g, 248);
    EXPECT_EQ(b, 248);
}

TEST(PixelIterators, UnusualMasksReadSafely) {
    BmpLayout layout;
    layout.width = 2;
    layout.bits = 32;
    layout.compression = 3;
    layout.masks = {0xFFFFFFFF, 0x80000000, 0};
    layout.pixels = QByteArray("\xFF\xFF\xFF\xFF\x00\x00\x00\x80", 8);
    const auto dib = loadBmp(buildBmp(layout));
    auto reader = dib->GetReader();
    std::uint8_t r, g, b;
    ASSERT_TRUE(reader->GetNextPixel(r, g, b));
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 128);
    EXPECT_EQ(b, 0);
}

TEST(PixelIterators, RowAndSizeChecks) {
    TDeviceIndependentBitmap ten(TDIBFormat::dt24bit, 10, 5);
    TDeviceIndependentBitmap eleven(TDIBFormat::dt8bit, 11, 5);
    auto reader = ten.GetReader();
    auto writer = eleven.GetWriter();
    expectThrowWithMessage<EScanError>(
        [&] { writer->SetRowFrom(reader.get()); },
        QStringLiteral("Cannot Set a Row from a DIB with a different number of coloums"));
    writer->SetClipRect(clip(0, 0, 9, 3));
    expectThrowWithMessage<EScanError>([&] { writer->CopyDIB(&ten); },
                                       QStringLiteral("Cannot copy DIBs with different numbers of rows"));
    writer->SetClipRect(clip(1, 0, 10, 4));
    int rows = 0;
    writer->CopyDIB(&ten, [&](TObject* sender) {
        EXPECT_EQ(sender, writer.get());
        ++rows;
    });
    EXPECT_EQ(rows, 5);
}

TEST(PixelIterators, MappedReaderRefusesIndexBeyondTable) {
    BmpLayout layout;
    layout.bits = 8;
    layout.clrUsed = 2;
    layout.table = {0x000000, 0xFFFFFF};
    layout.pixels = QByteArray("\x05\x00\x00\x00", 4);
    const auto dib = loadBmp(buildBmp(layout));
    auto reader = dib->GetReader();
    std::uint8_t r, g, b;
    expectThrowWithMessage<Exception>([&] { reader->GetNextPixel(r, g, b); },
                                      QStringLiteral("Invalid palette index (5)"));
}

TEST(PixelIterators, FillColourMapsOnce) {
    TDeviceIndependentBitmap dib(TDIBFormat::dt4bit, 5, 3);
    TLogicalPalette palette(TDefaultPalettes::dpColour);
    auto writer = dib.GetWriter();
    auto& mapped = dynamic_cast<TDIBMappedWriter&>(*writer);
    mapped.SetPalette(&palette);
    writer->SetClipRect(clip(1, 1, 3, 1));
    writer->FillColour(250, 0, 0);
    auto reader = dib.GetReader();
    reader->Reset(1, 1);
    EXPECT_EQ(readIndices(*reader), (std::vector<int>{0, 13, 13, 13, 0}));
}

// Runs of indices land exactly where one index at a time would put them,
// whatever the clip's first column, the run lengths and the direction.
TEST(PixelWriters, IndexRunsMatchSingleIndices) {
    for (TDIBFormat format : {TDIBFormat::dtMonochrome, TDIBFormat::dt4bit, TDIBFormat::dt8bit}) {
        for (int left : {0, 1, 3, 7, 8}) {
            for (bool backwards : {false, true}) {
                TDeviceIndependentBitmap single(format, 41, 3), runs(format, 41, 3);
                auto one = single.GetWriter();
                auto many = runs.GetWriter();
                const QRect clip(QPoint(left, 0), QPoint(37, 2));
                one->SetClipRect(clip);
                many->SetClipRect(clip);
                one->SetBackwardsScan(backwards);
                many->SetBackwardsScan(backwards);
                std::uint8_t indices[64];
                for (int i = 0; i < 64; ++i) indices[i] = std::uint8_t((i * 7 + left) % (format == TDIBFormat::dt4bit ? 16 : 2));
                do {
                    auto* oneMapped = static_cast<TDIBMappedWriter*>(one.get());
                    auto* manyMapped = static_cast<TDIBMappedWriter*>(many.get());
                    int at = 0;
                    while (oneMapped->SetNextIndex(indices[at % 64])) ++at;
                    for (int done = 0, chunk = 1; done < at; chunk = chunk % 11 + 2) {
                        done += manyMapped->SetNextIndices(indices + done, std::min(chunk, at - done));
                    }
                    EXPECT_EQ(manyMapped->SetNextIndices(indices, 5), 0);
                    many->NextRow();
                } while (one->NextRow());
                const int bytes = TDeviceIndependentBitmap::CalcDIBSize(format, 41, 3);
                EXPECT_EQ(std::memcmp(single.GetBits(), runs.GetBits(), std::size_t(bytes)), 0)
                    << int(format) << " left " << left << " backwards " << backwards;
            }
        }
    }
}
