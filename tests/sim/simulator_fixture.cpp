#include "simulator_fixture.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

const SimulatorApi& SimulatorApi::get() {
    static const SimulatorApi api = [] {
        SimulatorApi a;
        setD2xxLibraryFileName(FTSIM_LIBRARY_PATH);
        a.library = loadD2xxLibrary(a);
        if (a.library) a.reload = reinterpret_cast<int (*)()>(dlsym(a.library, "FtSimReload"));
        return a;
    }();
    return api;
}

void SimulatorTest::SetUp() {
    ASSERT_NE(sim.library, nullptr) << dlerror();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() / ("ftsim-" + std::to_string(getpid()) + "-" +
                                                     info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    setenv("FTD2XX_SIM_LOG", (dir_ / "transcript").c_str(), 1);
}

void SimulatorTest::TearDown() {
    unsetenv("FTD2XX_SIM");
    unsetenv("FTD2XX_SIM_LOG");
    sim.reload();  // releases the transcript file before its folder goes
    std::filesystem::remove_all(dir_);
}

int SimulatorTest::useScenario(const std::string& text) {
    const std::filesystem::path file = dir_ / "scenario";
    std::ofstream(file) << text;
    setenv("FTD2XX_SIM", file.c_str(), 1);
    return sim.reload();
}

FT_HANDLE SimulatorTest::openInterface() {
    DWORD devices = 0;
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(sim.ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(sim.Open(0, &handle), FT_OK);
    EXPECT_EQ(sim.SetTimeouts(handle, 10, 10), FT_OK);
    return handle;
}

FT_STATUS SimulatorTest::writeBytes(FT_HANDLE handle, Bytes bytes) {
    DWORD written = 0;
    return sim.Write(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written);
}

DWORD SimulatorTest::rxCount(FT_HANDLE handle) {
    DWORD rx = 0, tx = 0, events = 0;
    EXPECT_EQ(sim.GetStatus(handle, &rx, &tx, &events), FT_OK);
    return rx;
}

DWORD SimulatorTest::waitForRx(FT_HANDLE handle, DWORD count, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    DWORD rx = rxCount(handle);
    while (rx < count && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        rx = rxCount(handle);
    }
    return rx;
}

Bytes SimulatorTest::readBytes(FT_HANDLE handle, DWORD count) {
    Bytes bytes(count);
    DWORD got = 0;
    EXPECT_EQ(sim.Read(handle, bytes.data(), count, &got), FT_OK);
    bytes.resize(got);
    return bytes;
}

Bytes SimulatorTest::request(FT_HANDLE handle, std::uint8_t command, DWORD replyLength) {
    EXPECT_EQ(writeBytes(handle, {0x02}), FT_OK);
    EXPECT_EQ(writeBytes(handle, {command}), FT_OK);
    return readBytes(handle, waitForRx(handle, replyLength));
}

std::vector<std::string> SimulatorTest::transcript() const {
    std::ifstream in(dir_ / "transcript");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string textOf(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}
