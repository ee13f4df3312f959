// What scenario files make the tester say, and what a faulty file does.

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "simulator_fixture.h"

namespace {

constexpr const char* kFast = "reply-delay 0\nstatus-cost 0\n";

std::uint16_t wordAt(const Bytes& page, std::size_t k) {
    return static_cast<std::uint16_t>(page[2 * k] | page[2 * k + 1] << 8);
}

class ScenarioTest : public SimulatorTest {
protected:
    // The log as the station reads it: header, then the pages it needs.
    std::vector<std::uint16_t> readLog(FT_HANDLE handle, Bytes& header) {
        header = request(handle, 0x3C, 4);
        EXPECT_EQ(header.size(), 4u);
        const std::size_t count = header[2] * 256 + header[3];
        const std::uint8_t pages[] = {0x3D, 0x3E, 0x3F, 0x43, 0x47};
        std::vector<std::uint16_t> log;
        for (std::size_t n = 0; n < 5 && n * 60 < count; ++n) {
            const Bytes page = request(handle, pages[n], header[1]);
            EXPECT_EQ(page.size(), header[1]) << "page " << n + 1;
            for (std::size_t k = 0; k < std::min<std::size_t>(count - n * 60, 60); ++k)
                log.push_back(wordAt(page, k));
        }
        return log;
    }
};

TEST_F(ScenarioTest, DefaultRecordIsConsistentAndPlausible) {
    ASSERT_EQ(useScenario(kFast), 0);
    FT_HANDLE h = openInterface();
    const Bytes id = request(h, 0x0B, 10);
    ASSERT_GE(id.size(), 10u);
    EXPECT_EQ(id[6], 'J');

    const Bytes executor = request(h, 0x16, 100);
    ASSERT_EQ(executor.size(), 100u);
    EXPECT_EQ(std::count(executor.begin(), executor.end(), 0x01), 3);
    EXPECT_EQ(std::count(executor.begin(), executor.end(), 0x02), 1);

    Bytes header;
    const std::vector<std::uint16_t> log = readLog(h, header);
    EXPECT_EQ(header, (Bytes{0x00, 120, 0x01, 0x2C}));
    ASSERT_EQ(log.size(), 300u);
    unsigned maxH = 0, minH = 0x3FFF, maxL = 0, flagChanges = 0;
    for (std::size_t i = 0; i < log.size(); ++i) {
        const unsigned tenths = log[i] & 0x3FFF;
        EXPECT_EQ(log[i] & 0x4000, 0) << "unused bit set in sample " << i;
        if (log[i] & 0x8000) {
            maxH = std::max(maxH, tenths);
            minH = std::min(minH, tenths);
        } else {
            maxL = std::max(maxL, tenths);
        }
        if (i > 0 && (log[i] ^ log[i - 1]) & 0x8000) ++flagChanges;
    }
    EXPECT_GE(flagChanges, 4u);
    EXPECT_GT(maxH, maxL);
    EXPECT_LE(maxH, 150u) << "the demo sensor stays on the 15 mA scale";
    // The stored extremes agree with the log they summarise.
    auto text = [](unsigned t) { return std::to_string(t / 10) + "." + std::to_string(t % 10); };
    EXPECT_EQ(textOf(request(h, 0x3A, 4)).c_str(), text(maxH));
    EXPECT_EQ(textOf(request(h, 0x3B, 4)).c_str(), text(minH));
    EXPECT_EQ(textOf(request(h, 0x45, 4)).c_str(), text(maxL));
}

TEST_F(ScenarioTest, TextFieldsArePaddedOrCutToTheirReplyLength) {
    ASSERT_EQ(useScenario(std::string(kFast) + "sensor-number \"12345\"\n"
                                               "pairing \"ABCDEFGHIJKLMNOP\"\n"
                                               "max-current-h \"4.9\"\n"
                                               "executor-id 31 00 \"x\"\n"
                                               "executor \"Łódź\" \"\" \"\\x01\" \"ul.\"\n"),
              0);
    FT_HANDLE h = openInterface();
    EXPECT_EQ(request(h, 0x36, 10), (Bytes{'1', '2', '3', '4', '5', 0, 0, 0, 0, 0}));
    EXPECT_EQ(textOf(request(h, 0x37, 12)), "ABCDEFGHIJKL");
    EXPECT_EQ(request(h, 0x3A, 4), (Bytes{'4', '.', '9', 0}));
    EXPECT_EQ(request(h, 0x13, 10), (Bytes{'1', 0, 'x', 0, 0, 0, 0, 0, 0, 0}));
    const Bytes executor = request(h, 0x16, 100);
    const Bytes start = {0xA3, 0xF3, 'd', 0x9F, 0x01, 0x01, 0x01, 0x01, 'u', 'l', '.', 0x02, 0x00};
    EXPECT_TRUE(std::equal(start.begin(), start.end(), executor.begin()));
}

TEST_F(ScenarioTest, LogHeaderAndPagesFollowTheSampleCount) {
    for (unsigned count : {0u, 1u, 60u, 61u, 240u, 300u, 65535u}) {
        SCOPED_TRACE(count);
        ASSERT_EQ(useScenario(std::string(kFast) + "log-samples " + std::to_string(count) +
                              " ramp 0.1 0.1\n"),
                  0);
        FT_HANDLE h = openInterface();
        Bytes header;
        const std::vector<std::uint16_t> log = readLog(h, header);
        EXPECT_EQ(header, (Bytes{0x00, 120, static_cast<std::uint8_t>(count >> 8),
                                 static_cast<std::uint8_t>(count & 0xFF)}));
        ASSERT_EQ(log.size(), std::min(count, 300u));
        for (std::size_t i = 0; i < log.size(); ++i) ASSERT_EQ(log[i], i + 1) << i;
        if (count == 61) {
            const Bytes page2 = request(h, 0x3E, 120);
            EXPECT_EQ(std::count(page2.begin() + 2, page2.end(), 0), 118) << "zero padded";
        }
    }
}

TEST_F(ScenarioTest, SampleListsCarryFlagsAndRawWordsLittleEndian) {
    ASSERT_EQ(useScenario(std::string(kFast) + "log-samples 5 list 12.3H 0.5 0x4001\n"
                                               "page-length 10\n"),
              0);
    FT_HANDLE h = openInterface();
    EXPECT_EQ(request(h, 0x3C, 4), (Bytes{0x00, 10, 0x00, 5}));
    EXPECT_EQ(request(h, 0x3D, 10),
              (Bytes{0x7B, 0x80, 0x05, 0x00, 0x01, 0x40, 0x7B, 0x80, 0x05, 0x00}));
    EXPECT_EQ(request(h, 0x3B, 4), (Bytes{'1', '2', '.', '3'}));
    EXPECT_EQ(request(h, 0x46, 4), (Bytes{'0', '.', '1', 0})) << "bit 14 is not current";
}

TEST_F(ScenarioTest, RawRepliesOverrideTheRecordAndTesterTypePatchesByteSix) {
    ASSERT_EQ(useScenario(std::string(kFast) +
                          "identification \"ABCDEFGHIJKL\"\ntester-type 3\n"
                          "reply sensor-type FF*3 \"ab\"\nreply 3C 00 80 01 2C\nreply 99 41\n"),
              0);
    FT_HANDLE h = openInterface();
    EXPECT_EQ(textOf(request(h, 0x0B, 12)), "ABCDEF3HIJKL");
    EXPECT_EQ(request(h, 0x38, 5), (Bytes{0xFF, 0xFF, 0xFF, 'a', 'b'}));
    EXPECT_EQ(request(h, 0x3C, 4), (Bytes{0x00, 0x80, 0x01, 0x2C}));
    EXPECT_EQ(request(h, 0x99, 1), (Bytes{0x41}));
}

TEST_F(ScenarioTest, FaultyScenarioIsRejectedWithItsLineAndActsAsNoInterface) {
    const std::pair<const char*, const char*> cases[] = {
        {"bogus 1", "unknown keyword 'bogus'"},
        {"no-reply 54", "not a command the tester answers"},
        {"reply 36 4G", "expected hex bytes"},
        {"sensor-number \"open", "no closing quote"},
        {"log-samples 65536", "above 65535"},
        {"log-samples list 12.34", "one decimal"},
        {"fail write at 0", "counted from 1"},
        {"fail open on 36", "only write, status and read"},
        {"interface sideways", "usage: interface"},
        {"executor \"a\" \"b\"", "usage: executor"},
        {"sensor-type \"€\"", "U+20AC"},
    };
    for (const auto& [line, message] : cases) {
        SCOPED_TRACE(line);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(useScenario(std::string("# fine\n") + line + "\n"), 1);
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(errors.find("line 2: "), std::string::npos) << errors;
        EXPECT_NE(errors.find(message), std::string::npos) << errors;
        DWORD devices = 7;
        FT_HANDLE h = nullptr;
        EXPECT_EQ(sim.ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
        EXPECT_EQ(devices, 0u);
        EXPECT_EQ(sim.Open(0, &h), FT_DEVICE_NOT_FOUND);
    }
}

TEST_F(ScenarioTest, ScenarioIsFoundByNameByPathOrGivenInline) {
    ::testing::internal::CaptureStderr();
    setenv("FTD2XX_SIM", "no-such-scenario", 1);
    EXPECT_EQ(sim.reload(), 1);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("not found"), std::string::npos);

    DWORD devices = 0;
    setenv("FTD2XX_SIM", "no-interface", 1);
    EXPECT_EQ(sim.reload(), 0);
    EXPECT_EQ(sim.ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(devices, 0u);

    setenv("FTD2XX_SIM", "interface busy\nreply-delay 0\n", 1);
    EXPECT_EQ(sim.reload(), 0);
    FT_HANDLE h = nullptr;
    EXPECT_EQ(sim.Open(0, &h), FT_DEVICE_NOT_OPENED);

    unsetenv("FTD2XX_SIM");  // the demo
    EXPECT_EQ(sim.reload(), 0);
    EXPECT_EQ(request(openInterface(), 0x3C, 4), (Bytes{0x00, 120, 0x01, 0x2C}));
}

TEST_F(ScenarioTest, EveryShippedScenarioLoadsCleanly) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(FTSIM_SCENARIO_DIR)) {
        SCOPED_TRACE(entry.path().string());
        setenv("FTD2XX_SIM", entry.path().c_str(), 1);
        EXPECT_EQ(sim.reload(), 0);
        ++files;
    }
    EXPECT_GE(files, 5);
}

TEST_F(ScenarioTest, ListingPicksUpAChangedScenarioButKeepsAnUnchangedOne) {
    ASSERT_EQ(useScenario(std::string(kFast) + "language english\n"), 0);
    FT_HANDLE h = openInterface();
    EXPECT_EQ(writeBytes(h, {0x49, 0xFF}), FT_OK);
    DWORD devices = 0;
    // Unchanged: the tester keeps what it was told, and the handle stays open.
    EXPECT_EQ(sim.ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(writeBytes(h, {0x48}), FT_OK);
    EXPECT_EQ(readBytes(h, waitForRx(h, 1)), Bytes{0xFF});

    std::ofstream(dir_ / "scenario") << kFast << "interface absent\n";
    EXPECT_EQ(sim.ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(devices, 0u);
}

}  // namespace
