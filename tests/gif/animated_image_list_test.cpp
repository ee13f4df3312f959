#include <gtest/gtest.h>

#include "gif/Zvqanmtn.h"
#include "gif/Zvqgif.h"
#include "gif_bytes.h"
#include "imaging/Zvqgraph.h"
#include "test_support.h"
#include "toolkit/streams.h"

namespace {

std::unique_ptr<TDeviceIndependentBitmap> frame(int width, int height, std::uint8_t index) {
    auto dib = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt4bit, width, height);
    TLogicalPalette palette;
    palette.ReAlloc(4);
    palette.addColour(0, 0, 0);
    palette.addColour(255, 0, 0);
    palette.addColour(0, 255, 0);
    palette.addColour(0, 0, 255);
    dib->SetColourTable(&palette);
    auto writer = dib->GetWriter();
    static_cast<TDIBMappedWriter*>(writer.get())->FillIndex(index);
    return dib;
}

// Three frames on a 4 x 4 screen, a comment before the second, looping 3 times.
QByteArray threeFrames() {
    return gifHeader(4, 4, 2, "GIF89a", 1) + QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x03\x00\x00", 19) +
           graphicControl(1, false, false, 10, 0) + imageDescriptor(0, 0, 4, 4) +
           literalImageData(std::vector<int>(16, 1), 2) + QByteArray("\x21\xFE\x04two!\x00", 8) +
           graphicControl(2, true, true, 20, 3) + imageDescriptor(1, 1, 2, 2) + literalImageData({2, 2, 2, 2}, 2) +
           graphicControl(3, false, false, 30, 0) + imageDescriptor(0, 0, 1, 1) + literalImageData({3}, 2) + ";";
}

}  // namespace

TEST(AnimatedImageList, LoadingFiresEventsAndTakesTheScreen) {
    TAnimatedImageList list;
    std::vector<int> inserted;
    std::vector<TAnimatedImageState> states;
    list.OnImageInserted = [&](TObject*, int index) { inserted.push_back(index); };
    list.OnStateChange = [&](TObject*) { states.push_back(list.GetState()); };
    TMemoryStream in(threeFrames());
    list.LoadFromStream(&in);
    EXPECT_EQ(inserted, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(states, (std::vector<TAnimatedImageState>{TAnimatedImageState::isLoading, TAnimatedImageState::isLoaded}));
    EXPECT_EQ(list.GetWidth(), 4);
    EXPECT_EQ(list.GetHeight(), 4);
    EXPECT_EQ(list.GetBackgroundColor(), RGB(1, 2, 254));
    EXPECT_EQ(list.GetGlobalPalette()->GetCount(), 4);
    EXPECT_EQ(list.GetLoopCount(), 3);
    EXPECT_EQ(list.GetOrigin(1), QPoint(1, 1));
    EXPECT_EQ(list.GetDisposalMethod(1), TDisposalMethods::dmRestoreBackground);
    EXPECT_TRUE(list.GetUserInput(1));
    EXPECT_EQ(list.GetDelayTime(2), 300);
    // The comment stands before the second frame and goes with it.
    EXPECT_EQ(list.GetComment(0), nullptr);
    EXPECT_STREQ(list.GetComment(1), "two!");
    EXPECT_EQ(list.GetPercentDone(), 100);
}

TEST(AnimatedImageList, EmptyStreamsAndIndexChecks) {
    TAnimatedImageList list;
    TMemoryStream empty;
    list.LoadFromStream(&empty);
    EXPECT_EQ(list.GetState(), TAnimatedImageState::isEmpty);
    TMemoryStream noGraphic(gifHeader(2, 2, 1) + ";");
    list.LoadFromStream(&noGraphic);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetState(), TAnimatedImageState::isEmpty);

    list.Insert(0, frame(2, 2, 1));
    list.Insert(1, frame(2, 2, 2));  // at the count: appends
    EXPECT_EQ(list.GetCount(), 2);
    const QString message = QStringLiteral("Index out of range");
    expectThrowWithMessage<EAnimateError>([&] { list.Insert(3, frame(1, 1, 0)); }, message);
    expectThrowWithMessage<EAnimateError>([&] { list.Delete(2); }, message);
    expectThrowWithMessage<EAnimateError>([&] { list.GetItems(-1); }, message);
    expectThrowWithMessage<EAnimateError>([&] { list.SetDelayTime(5, 10); }, message);
    std::vector<int> deleted;
    list.OnImageDeleted = [&](TObject*, int index) { deleted.push_back(index); };
    list.Move(0, 1);
    EXPECT_EQ(static_cast<TDeviceIndependentBitmap*>(list.GetItems(0))->toImage().pixel(0, 0) & 0xFFFFFF, 0x00FF00u);
    list.Clear();
    EXPECT_EQ(deleted, (std::vector<int>{1, 0}));
    EXPECT_EQ(list.GetState(), TAnimatedImageState::isEmpty);
}

TEST(AnimatedImageList, SaveAndLoadKeepFramesAndTheirData) {
    TAnimatedImageList list;
    list.SetWidth(6);
    list.SetHeight(5);
    for (int i = 0; i < 3; ++i) {
        list.Add(frame(2 + i, 2, std::uint8_t(i + 1)));
        list.SetOrigin(i, QPoint(i, 5 - 2 - i % 2));
        list.SetDisposalMethod(i, TDisposalMethods(i + 1));
        list.SetUserInput(i, i == 1);
        list.SetDelayTime(i, 105 + i * 100);  // kept in hundredths: 100, 200, 300
    }
    list.SetComment(2, "last frame");
    list.SetLoopCount(0);  // for ever: still written
    TMemoryStream out;
    list.SaveToStream(&out);
    EXPECT_EQ(list.GetState(), TAnimatedImageState::isLoaded);

    TAnimatedImageList back;
    out.SetPosition(0);
    back.LoadFromStream(&out);
    ASSERT_EQ(back.GetCount(), 3);
    EXPECT_EQ(back.GetWidth(), 6);
    EXPECT_EQ(back.GetHeight(), 5);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(back.GetOrigin(i), list.GetOrigin(i));
        EXPECT_EQ(back.GetDisposalMethod(i), list.GetDisposalMethod(i));
        EXPECT_EQ(back.GetUserInput(i), list.GetUserInput(i));
        EXPECT_EQ(back.GetDelayTime(i), 100 + i * 100);
        EXPECT_EQ(static_cast<TDeviceIndependentBitmap*>(back.GetItems(i))->toImage(),
                  static_cast<TDeviceIndependentBitmap*>(list.GetItems(i))->toImage());
    }
    EXPECT_STREQ(back.GetComment(2), "last frame");
    EXPECT_EQ(back.GetComment(0), nullptr);
    // Saved again, the stream is the same: the loop extension survives.
    TMemoryStream again;
    back.SaveToStream(&again);
    EXPECT_EQ(again.bytes(), out.bytes());
    EXPECT_TRUE(out.bytes().contains("NETSCAPE2.0"));
}

TEST(AnimatedImageList, DataPropertyAndAssign) {
    TAnimatedImageList list;
    TMemoryStream in(threeFrames());
    list.LoadFromStream(&in);
    const QVariant data = list.property("Data");
    ASSERT_TRUE(data.isValid());
    TAnimatedImageList other;
    ASSERT_TRUE(other.setProperty("Data", data));
    EXPECT_EQ(other.GetCount(), 3);
    EXPECT_EQ(other.property("LoopCount").toInt(), 3);
    EXPECT_EQ(other.property("Data").toByteArray(), data.toByteArray());

    TAnimatedImageList copy;
    std::vector<TAnimatedImageState> sourceStates;
    list.OnStateChange = [&](TObject*) { sourceStates.push_back(list.GetState()); };
    copy.Assign(&list);
    EXPECT_EQ(copy.GetCount(), 3);
    EXPECT_NE(copy.GetItems(0), list.GetItems(0));  // copies of their own
    EXPECT_STREQ(copy.GetComment(1), "two!");
    EXPECT_EQ(copy.GetDelayTime(2), 300);
    EXPECT_EQ(copy.GetLoopCount(), 3);
    EXPECT_EQ(sourceStates, (std::vector<TAnimatedImageState>{TAnimatedImageState::isLoading, TAnimatedImageState::isLoaded}));
}

TEST(AnimatedImageList, FaultsKeepTheFramesReadBeforeThem) {
    TAnimatedImageList list;
    QByteArray cut = threeFrames();
    cut.chop(12);  // into the third frame
    TMemoryStream in(cut);
    EXPECT_THROW(list.LoadFromStream(&in), Exception);
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetState(), TAnimatedImageState::isLoaded);

    // A load from a progress handler in the middle of a load is refused.
    TAnimatedImageList busy;
    bool refused = false;
    busy.OnProgressChange = [&](TObject*) {
        if (busy.GetState() != TAnimatedImageState::isLoading || refused) return;
        TMemoryStream again(threeFrames());
        expectThrowWithMessage<EAnimateError>([&] { busy.LoadFromStream(&again); },
                                              QStringLiteral("Load of current image in progress"));
        refused = true;
    };
    std::vector<int> rows(100 * 100, 1);
    TMemoryStream big(gifHeader(100, 100, 2) + imageDescriptor(0, 0, 100, 100) + literalImageData(rows, 2) + ";");
    busy.LoadFromStream(&big);
    EXPECT_TRUE(refused);
}
