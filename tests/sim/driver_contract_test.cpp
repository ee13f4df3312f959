// The driver behaviour a program may rely on, kept by the simulator.

#include <dlfcn.h>

#include "simulator_fixture.h"

namespace {

constexpr const char* kFast = "reply-delay 0\nstatus-cost 0\n";

class DriverContractTest : public SimulatorTest {};

TEST_F(DriverContractTest, OpenDeviceCannotBeOpenedTwiceUntilClosed) {
    ASSERT_EQ(useScenario(kFast), 0);
    FT_HANDLE first = nullptr, second = nullptr;
    ASSERT_EQ(sim.Open(0, &first), FT_OK);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(sim.Open(0, &second), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(sim.Open(1, &second), FT_DEVICE_NOT_FOUND) << "there is one interface";
    ASSERT_EQ(sim.Close(first), FT_OK);
    ASSERT_EQ(sim.Open(0, &second), FT_OK);
    EXPECT_EQ(sim.Close(second), FT_OK);
}

TEST_F(DriverContractTest, UnknownAndClosedHandlesAreRefusedWithoutHarm) {
    ASSERT_EQ(useScenario(kFast), 0);
    int somewhere = 0;
    EXPECT_EQ(sim.Close(nullptr), FT_INVALID_HANDLE);
    EXPECT_EQ(sim.Close(&somewhere), FT_INVALID_HANDLE);
    FT_HANDLE h = openInterface();
    ASSERT_EQ(sim.Close(h), FT_OK);
    EXPECT_EQ(sim.Close(h), FT_INVALID_HANDLE);
    DWORD rx = 0, tx = 0, events = 0, count = 0;
    Bytes buffer(4, 0x02);
    EXPECT_EQ(sim.Write(h, buffer.data(), 1, &count), FT_INVALID_HANDLE);
    EXPECT_EQ(sim.Read(h, buffer.data(), 1, &count), FT_INVALID_HANDLE);
    EXPECT_EQ(sim.GetStatus(h, &rx, &tx, &events), FT_INVALID_HANDLE);
    EXPECT_EQ(sim.SetTimeouts(h, 10, 10), FT_INVALID_HANDLE);
    EXPECT_EQ(sim.ClrRts(h), FT_INVALID_HANDLE);
}

TEST_F(DriverContractTest, NullPointersAreInvalidParameters) {
    ASSERT_EQ(useScenario(kFast), 0);
    EXPECT_EQ(sim.ListDevices(nullptr, nullptr, FT_LIST_NUMBER_ONLY), FT_INVALID_PARAMETER);
    EXPECT_EQ(sim.Open(0, nullptr), FT_INVALID_PARAMETER);
    FT_HANDLE h = openInterface();
    DWORD value = 0;
    Bytes buffer(4);
    EXPECT_EQ(sim.Write(h, nullptr, 1, &value), FT_INVALID_PARAMETER);
    EXPECT_EQ(sim.Write(h, buffer.data(), 1, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(sim.Read(h, nullptr, 1, &value), FT_INVALID_PARAMETER);
    EXPECT_EQ(sim.Read(h, buffer.data(), 1, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(sim.GetStatus(h, nullptr, &value, &value), FT_INVALID_PARAMETER);
    EXPECT_EQ(sim.GetStatus(h, &value, &value, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(sim.ClrRts(h), FT_OK);
}

TEST_F(DriverContractTest, TesterKeepsItsLanguageAcrossOpensUntilReloaded) {
    ASSERT_EQ(useScenario(std::string(kFast) + "language english\n"), 0);
    FT_HANDLE h = openInterface();
    ASSERT_EQ(writeBytes(h, {0x48}), FT_OK);
    EXPECT_EQ(readBytes(h, waitForRx(h, 1)), Bytes{0x00});
    ASSERT_EQ(writeBytes(h, {0x49, 0xFF}), FT_OK);
    EXPECT_EQ(waitForRx(h, 1, std::chrono::milliseconds(30)), 0u) << "setting has no reply";
    ASSERT_EQ(sim.Close(h), FT_OK);

    h = openInterface();
    ASSERT_EQ(writeBytes(h, {0x48}), FT_OK);
    EXPECT_EQ(readBytes(h, waitForRx(h, 1)), Bytes{0xFF});
    // Split over two writes, the setting still lands.
    ASSERT_EQ(writeBytes(h, {0x49}), FT_OK);
    ASSERT_EQ(writeBytes(h, {0x07}), FT_OK);
    ASSERT_EQ(writeBytes(h, {0x02, 0x48}), FT_OK);
    EXPECT_EQ(readBytes(h, waitForRx(h, 1)), Bytes{0x07});

    ASSERT_EQ(sim.reload(), 0);
    h = openInterface();
    ASSERT_EQ(writeBytes(h, {0x48}), FT_OK);
    EXPECT_EQ(readBytes(h, waitForRx(h, 1)), Bytes{0x00});
}

TEST_F(DriverContractTest, RecordCommandsNeedTheAttentionByte) {
    ASSERT_EQ(useScenario(kFast), 0);
    FT_HANDLE h = openInterface();
    ASSERT_EQ(writeBytes(h, {0x36}), FT_OK);
    EXPECT_EQ(waitForRx(h, 1, std::chrono::milliseconds(30)), 0u);
    ASSERT_EQ(writeBytes(h, {0x02, 0x02, 0x36}), FT_OK) << "a repeated attention byte is harmless";
    EXPECT_EQ(waitForRx(h, 10), 10u);
}

TEST_F(DriverContractTest, ReadTakesWhatIsAskedAndLeavesTheRestQueued) {
    ASSERT_EQ(useScenario(std::string(kFast) + "reply sensor-number \"0123456789ABCDEF\"\n"), 0);
    FT_HANDLE h = openInterface();
    ASSERT_EQ(writeBytes(h, {0x02, 0x36}), FT_OK);
    ASSERT_EQ(waitForRx(h, 16), 16u);
    EXPECT_EQ(textOf(readBytes(h, 10)), "0123456789");
    EXPECT_EQ(rxCount(h), 6u);
    EXPECT_EQ(textOf(readBytes(h, 10)), "ABCDEF");
}

TEST_F(DriverContractTest, OnlyTheDriverEntryPointsAreVisible) {
    EXPECT_NE(dlsym(sim.library, "FtSimReload"), nullptr);
    EXPECT_EQ(
        dlsym(sim.library, "_ZN5ftsim13parseScenarioESt17basic_string_viewIcSt11char_traitsIcEE"),
        nullptr);
}

}  // namespace
