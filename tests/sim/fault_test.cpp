// Faults a scenario can put on the link, and the interface states.

#include "simulator_fixture.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kFast = "reply-delay 0\nstatus-cost 0\n";

class FaultTest : public SimulatorTest {
protected:
    FT_STATUS statusCall(FT_HANDLE h) {
        DWORD rx = 0, tx = 0, events = 0;
        return sim.GetStatus(h, &rx, &tx, &events);
    }
};

TEST_F(FaultTest, InterfaceAbsentBusyOrDriverFailing) {
    DWORD devices = 9;
    FT_HANDLE h = nullptr;
    ASSERT_EQ(useScenario("interface absent\n"), 0);
    EXPECT_EQ(sim.ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(devices, 0u);
    EXPECT_EQ(sim.Open(0, &h), FT_DEVICE_NOT_FOUND);

    ASSERT_EQ(useScenario("interface busy\n"), 0);
    EXPECT_EQ(sim.ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(devices, 1u);
    EXPECT_EQ(sim.Open(0, &h), FT_DEVICE_NOT_OPENED);

    ASSERT_EQ(useScenario("fail list always status other-error\n"), 0);
    EXPECT_EQ(sim.ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY), FT_OTHER_ERROR);
    EXPECT_EQ(sim.ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY), FT_OTHER_ERROR);
}

TEST_F(FaultTest, NthCallFailsOnceAndFromNthOnEveryTime) {
    ASSERT_EQ(useScenario(std::string(kFast) + "fail write at 3\nfail open at 1 status 3\n"
                                               "fail read from 2\n"),
              0);
    FT_HANDLE h = nullptr;
    EXPECT_EQ(sim.Open(0, &h), FT_DEVICE_NOT_OPENED);
    ASSERT_EQ(sim.Open(0, &h), FT_OK);
    EXPECT_EQ(writeBytes(h, {0x02}), FT_OK);
    EXPECT_EQ(writeBytes(h, {0x36}), FT_OK);
    EXPECT_EQ(writeBytes(h, {0x02}), FT_IO_ERROR);
    EXPECT_EQ(writeBytes(h, {0x02}), FT_OK);
    Bytes buffer(16);
    DWORD got = 0;
    EXPECT_EQ(sim.Read(h, buffer.data(), 10, &got), FT_OK);
    EXPECT_EQ(sim.Read(h, buffer.data(), 10, &got), FT_IO_ERROR);
    EXPECT_EQ(sim.Read(h, buffer.data(), 10, &got), FT_IO_ERROR);
}

TEST_F(FaultTest, FaultsOnACommandHitOnlyThatCommandsExchange) {
    ASSERT_EQ(useScenario(std::string(kFast) + "fail status on sensor-number\n"
                                               "fail read on 37\nfail write on 38\n"),
              0);
    FT_HANDLE h = openInterface();
    EXPECT_EQ(request(h, 0x13, 10).size(), 10u);

    ASSERT_EQ(writeBytes(h, {0x02}), FT_OK);
    ASSERT_EQ(writeBytes(h, {0x36}), FT_OK);
    EXPECT_EQ(statusCall(h), FT_IO_ERROR);
    EXPECT_EQ(statusCall(h), FT_OK) << "only the first status call of the exchange";
    EXPECT_EQ(readBytes(h, waitForRx(h, 10)).size(), 10u);

    ASSERT_EQ(writeBytes(h, {0x02}), FT_OK);
    ASSERT_EQ(writeBytes(h, {0x37}), FT_OK);
    EXPECT_EQ(statusCall(h), FT_OK);
    Bytes buffer(32);
    DWORD got = 0;
    EXPECT_EQ(sim.Read(h, buffer.data(), 12, &got), FT_IO_ERROR);
    EXPECT_EQ(readBytes(h, 12).size(), 12u) << "the failed read took nothing";

    ASSERT_EQ(writeBytes(h, {0x02}), FT_OK);
    EXPECT_EQ(writeBytes(h, {0x38}), FT_IO_ERROR);
    EXPECT_EQ(waitForRx(h, 1, 50ms), 0u) << "a failed write never reaches the tester";
    EXPECT_EQ(request(h, 0x42, 5).size(), 5u);
}

TEST_F(FaultTest, ReplyThatNeverComes) {
    ASSERT_EQ(useScenario(std::string(kFast) + "no-reply 36\n"), 0);
    FT_HANDLE h = openInterface();
    ASSERT_EQ(writeBytes(h, {0x02}), FT_OK);
    ASSERT_EQ(writeBytes(h, {0x36}), FT_OK);
    EXPECT_EQ(waitForRx(h, 1, 100ms), 0u);
    EXPECT_EQ(request(h, 0x37, 12).size(), 12u);
}

TEST_F(FaultTest, PulledCableFailsEveryCallUntilTheInterfaceIsOpenedAgain) {
    ASSERT_EQ(useScenario(std::string(kFast) + "cable-pulled after 2\n"), 0);
    FT_HANDLE h = openInterface();
    EXPECT_EQ(request(h, 0x0B, 10).size(), 10u);
    EXPECT_EQ(request(h, 0x16, 100).size(), 100u);
    EXPECT_EQ(writeBytes(h, {0x02}), FT_IO_ERROR);
    EXPECT_EQ(statusCall(h), FT_IO_ERROR);
    EXPECT_EQ(sim.SetTimeouts(h, 10, 10), FT_IO_ERROR);
    Bytes buffer(8);
    DWORD got = 0;
    EXPECT_EQ(sim.Read(h, buffer.data(), 8, &got), FT_IO_ERROR);

    // Plugged in again: a new handle works whether or not the old one was closed.
    FT_HANDLE again = nullptr;
    ASSERT_EQ(sim.Open(0, &again), FT_OK);
    EXPECT_NE(again, h);
    EXPECT_EQ(writeBytes(h, {0x02}), FT_IO_ERROR) << "the old handle stays dead";
    EXPECT_EQ(request(again, 0x36, 10).size(), 10u);
    EXPECT_EQ(request(again, 0x37, 12).size(), 12u) << "the cable goes once";
    EXPECT_EQ(sim.Close(h), FT_OK);
    EXPECT_EQ(sim.Close(h), FT_INVALID_HANDLE);
    EXPECT_EQ(sim.Close(again), FT_OK);
}

TEST_F(FaultTest, FreshLoadRestartsTheCallCounts) {
    const std::string scenario = std::string(kFast) + "fail write at 1\n";
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(useScenario(scenario), 0);
        FT_HANDLE h = openInterface();
        EXPECT_EQ(writeBytes(h, {0x02}), FT_IO_ERROR) << "round " << round;
        EXPECT_EQ(writeBytes(h, {0x02}), FT_OK);
    }
}

}  // namespace
