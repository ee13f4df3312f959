#include "simulator_fixture.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

template <typename F>
F resolve(void* library, const char* name) {
    return reinterpret_cast<F>(dlsym(library, name));
}

}  // namespace

const SimulatorApi& SimulatorApi::get() {
    static const SimulatorApi api = [] {
        SimulatorApi a;
        a.library = dlopen(FTSIM_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!a.library) return a;
        a.listDevices = resolve<FT_ListDevices_t>(a.library, "FT_ListDevices");
        a.open = resolve<FT_Open_t>(a.library, "FT_Open");
        a.close = resolve<FT_Close_t>(a.library, "FT_Close");
        a.setTimeouts = resolve<FT_SetTimeouts_t>(a.library, "FT_SetTimeouts");
        a.write = resolve<FT_Write_t>(a.library, "FT_Write");
        a.read = resolve<FT_Read_t>(a.library, "FT_Read");
        a.getStatus = resolve<FT_GetStatus_t>(a.library, "FT_GetStatus");
        a.clrRts = resolve<FT_ClrRts_t>(a.library, "FT_ClrRts");
        a.reload = resolve<int (*)()>(a.library, "FtSimReload");
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
    EXPECT_EQ(sim.listDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(sim.open(0, &handle), FT_OK);
    EXPECT_EQ(sim.setTimeouts(handle, 10, 10), FT_OK);
    return handle;
}

FT_STATUS SimulatorTest::writeBytes(FT_HANDLE handle, Bytes bytes) {
    DWORD written = 0;
    return sim.write(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written);
}

DWORD SimulatorTest::rxCount(FT_HANDLE handle) {
    DWORD rx = 0, tx = 0, events = 0;
    EXPECT_EQ(sim.getStatus(handle, &rx, &tx, &events), FT_OK);
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
    EXPECT_EQ(sim.read(handle, bytes.data(), count, &got), FT_OK);
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
