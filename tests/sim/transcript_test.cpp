// The wire transcript that tests of a program read back.

#include <algorithm>
#include <cstdlib>

#include "simulator_fixture.h"

namespace {

constexpr const char* kFast = "reply-delay 0\nstatus-cost 0\n";

class TranscriptTest : public SimulatorTest {};

TEST_F(TranscriptTest, OneLinePerCallWithBytesAndStatuses) {
    ASSERT_EQ(useScenario(std::string(kFast) + "identification \"T00451J023\"\n"
                                               "fail write on 49 status 18\n"),
              0);
    FT_HANDLE h = openInterface();
    request(h, 0x0B, 10);
    writeBytes(h, {0x49, 0x00});
    sim.Close(h);
    const std::vector<std::string> lines = transcript();
    const std::vector<std::string> expected = {
        "list -> 0 count=1",   "open 0 -> 0",
        "timeouts 10 10 -> 0", "write 02 -> 0",
        "write 0B -> 0",       "# tester answers 0B with 10 of 10 bytes",
        "status -> 0 rx=10",   "read 10 -> 0 got=10 54 30 30 34 35 31 4A 30 32 33",
        "write 49 00 -> 18",   "close -> 0",
    };
    ASSERT_GE(lines.size(), expected.size() + 1);
    EXPECT_EQ(lines[0].rfind("# scenario ", 0), 0u) << lines[0];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), expected);
}

TEST_F(TranscriptTest, StatusCallsInARowAreFoldedIntoACount) {
    ASSERT_EQ(useScenario(std::string(kFast) + "no-reply 36\n"), 0);
    FT_HANDLE h = openInterface();
    writeBytes(h, {0x02, 0x36});
    for (int i = 0; i < 5000; ++i) rxCount(h);
    writeBytes(h, {0x02, 0x37});
    waitForRx(h, 12);
    rxCount(h);
    sim.Close(h);
    std::vector<std::string> lines = transcript();
    const auto from = std::find(lines.begin(), lines.end(), "write 02 36 -> 0");
    ASSERT_NE(from, lines.end());
    const std::vector<std::string> expected = {
        "write 02 36 -> 0",  "# tester does not answer 36",
        "status -> 0 rx=0",  "status +4999 -> 0 rx=0",
        "write 02 37 -> 0",  "# tester answers 37 with 12 of 12 bytes",
        "status -> 0 rx=12", "status +1 -> 0 rx=12",
        "close -> 0",
    };
    EXPECT_EQ(std::vector<std::string>(from, from + expected.size()), expected);
    EXPECT_LE(lines.size(), 16u);
}

TEST_F(TranscriptTest, RecordsRejectedScenariosCablePullsAndIgnoredBytes) {
    ::testing::internal::CaptureStderr();
    useScenario("reply 36 ZZ\n");
    ::testing::internal::GetCapturedStderr();
    useScenario(std::string(kFast) + "cable-pulled after 1\n");
    FT_HANDLE h = openInterface();
    writeBytes(h, {0x36});
    writeBytes(h, {0x02, 0x0B});
    writeBytes(h, {0x02});
    const std::vector<std::string> lines = transcript();
    auto has = [&lines](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("# error: line 1: expected hex bytes, \"text\" or HH*N, got 'ZZ'"));
    EXPECT_TRUE(has("# tester ignores 36 (no attention byte before it)"));
    EXPECT_TRUE(has("# cable pulled"));
    EXPECT_TRUE(has("write 02 -> 4"));
}

TEST_F(TranscriptTest, NoTranscriptWithoutTheVariable) {
    unsetenv("FTD2XX_SIM_LOG");
    ASSERT_EQ(useScenario(kFast), 0);
    request(openInterface(), 0x36, 10);
    EXPECT_TRUE(transcript().empty());
}

}  // namespace
