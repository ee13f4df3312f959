// When bytes become visible to the program, and how long reads wait.

#include <thread>

#include "simulator_fixture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class TimingTest : public SimulatorTest {};

TEST_F(TimingTest, ReplyIsInvisibleUntilItsDelayHasPassed) {
    ASSERT_EQ(useScenario("reply-delay 60\nstatus-cost 0\n"), 0);
    FT_HANDLE h = openInterface();
    const auto sent = Clock::now();
    ASSERT_EQ(writeBytes(h, {0x02}), FT_OK);
    ASSERT_EQ(writeBytes(h, {0x36}), FT_OK);
    EXPECT_EQ(rxCount(h), 0u);
    ASSERT_EQ(waitForRx(h, 10), 10u);
    EXPECT_GE(Clock::now() - sent, 60ms);
}

TEST_F(TimingTest, LateReplyComesAfterTheExtraDelayOnlyForItsCommand) {
    ASSERT_EQ(useScenario("reply-delay 0\nstatus-cost 0\nlate sensor-number 120\n"), 0);
    FT_HANDLE h = openInterface();
    auto sent = Clock::now();
    EXPECT_EQ(request(h, 0x37, 12).size(), 12u);
    EXPECT_LT(Clock::now() - sent, 100ms);
    sent = Clock::now();
    EXPECT_EQ(request(h, 0x36, 10).size(), 10u);
    EXPECT_GE(Clock::now() - sent, 120ms);
}

TEST_F(TimingTest, PartialReplyStopsShortOrSendsItsRestLater) {
    ASSERT_EQ(useScenario("reply-delay 0\nstatus-cost 0\npartial pairing 5\n"
                          "partial executor 40 rest-after 300\n"),
              0);
    FT_HANDLE h = openInterface();
    ASSERT_EQ(writeBytes(h, {0x02}), FT_OK);
    ASSERT_EQ(writeBytes(h, {0x37}), FT_OK);
    EXPECT_EQ(waitForRx(h, 12, 150ms), 5u);
    EXPECT_EQ(readBytes(h, 5).size(), 5u);

    ASSERT_EQ(writeBytes(h, {0x02}), FT_OK);
    const auto sent = Clock::now();
    ASSERT_EQ(writeBytes(h, {0x16}), FT_OK);
    EXPECT_EQ(waitForRx(h, 40), 40u);
    EXPECT_EQ(rxCount(h), 40u);
    EXPECT_EQ(waitForRx(h, 100), 100u);
    EXPECT_GE(Clock::now() - sent, 300ms);
}

TEST_F(TimingTest, BytesTrickleInAtTheByteTime) {
    ASSERT_EQ(useScenario("reply-delay 0\nbyte-time 5000\nstatus-cost 0\n"), 0);
    FT_HANDLE h = openInterface();
    ASSERT_EQ(writeBytes(h, {0x02}), FT_OK);
    ASSERT_EQ(writeBytes(h, {0x16}), FT_OK);
    std::this_thread::sleep_for(30ms);
    const DWORD early = rxCount(h);
    EXPECT_GT(early, 0u);
    EXPECT_LT(early, 100u);
    EXPECT_EQ(waitForRx(h, 100), 100u);
}

TEST_F(TimingTest, ReadReturnsFewerBytesAfterItsTimeOut) {
    ASSERT_EQ(useScenario("reply-delay 0\nstatus-cost 0\n"), 0);
    FT_HANDLE h = openInterface();
    ASSERT_EQ(sim.SetTimeouts(h, 50, 50), FT_OK);
    ASSERT_EQ(writeBytes(h, {0x02, 0x36}), FT_OK);
    auto start = Clock::now();
    EXPECT_EQ(readBytes(h, 16).size(), 10u);
    EXPECT_GE(Clock::now() - start, 50ms);

    start = Clock::now();
    EXPECT_TRUE(readBytes(h, 16).empty());
    EXPECT_GE(Clock::now() - start, 50ms);
}

TEST_F(TimingTest, ReadWaitsForBytesThatArriveWithinItsTimeOut) {
    ASSERT_EQ(useScenario("reply-delay 40\nstatus-cost 0\n"), 0);
    FT_HANDLE h = openInterface();
    ASSERT_EQ(sim.SetTimeouts(h, 500, 500), FT_OK);
    const auto start = Clock::now();
    ASSERT_EQ(writeBytes(h, {0x02, 0x36}), FT_OK);
    EXPECT_EQ(readBytes(h, 10).size(), 10u);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, 40ms);
    EXPECT_LT(waited, 400ms) << "returns as soon as the bytes are there";
}

TEST_F(TimingTest, ReadWithoutTimeOutDoesNotHangOnBytesThatNeverCome) {
    ASSERT_EQ(useScenario("reply-delay 0\nstatus-cost 0\n"), 0);
    FT_HANDLE h = nullptr;
    ASSERT_EQ(sim.Open(0, &h), FT_OK);
    ASSERT_EQ(writeBytes(h, {0x02, 0x36}), FT_OK);
    EXPECT_EQ(readBytes(h, 200).size(), 10u);
}

TEST_F(TimingTest, StatusCallsCostTheirTimeSoTheWaitLimitIsBounded) {
    ASSERT_EQ(useScenario("status-cost 50 sleep\n"), 0);
    FT_HANDLE h = openInterface();
    auto start = Clock::now();
    for (int i = 0; i < 200; ++i) rxCount(h);
    EXPECT_GE(Clock::now() - start, 10ms);

    ASSERT_EQ(useScenario("status-cost 100 busy\n"), 0);
    h = openInterface();
    start = Clock::now();
    for (int i = 0; i < 200; ++i) rxCount(h);
    EXPECT_GE(Clock::now() - start, 20ms);
}

}  // namespace
