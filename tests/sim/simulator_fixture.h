#pragma once

// Loads the built simulator once per test program through dlopen, as the
// station does, and gives each test a scenario and a transcript of its own.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "link/d2xx.h"

struct SimulatorApi {
    FT_ListDevices_t listDevices = nullptr;
    FT_Open_t open = nullptr;
    FT_Close_t close = nullptr;
    FT_SetTimeouts_t setTimeouts = nullptr;
    FT_Write_t write = nullptr;
    FT_Read_t read = nullptr;
    FT_GetStatus_t getStatus = nullptr;
    FT_ClrRts_t clrRts = nullptr;
    int (*reload)() = nullptr;
    void* library = nullptr;

    static const SimulatorApi& get();
};

using Bytes = std::vector<std::uint8_t>;

class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads the scenario text; returns the number of errors found in it.
    int useScenario(const std::string& text);
    // Lists and opens the interface and sets the station's 10 ms time-outs.
    FT_HANDLE openInterface();

    FT_STATUS writeBytes(FT_HANDLE handle, Bytes bytes);
    DWORD rxCount(FT_HANDLE handle);
    // Polls the status until `count` bytes are queued or `limit` has passed;
    // returns the queued count.
    DWORD waitForRx(FT_HANDLE handle, DWORD count,
                    std::chrono::milliseconds limit = std::chrono::milliseconds(2000));
    Bytes readBytes(FT_HANDLE handle, DWORD count);
    // Attention byte, command, wait for the reply and read all of it.
    Bytes request(FT_HANDLE handle, std::uint8_t command, DWORD replyLength);

    std::vector<std::string> transcript() const;

    const SimulatorApi& sim = SimulatorApi::get();
    std::filesystem::path dir_;
};

std::string textOf(const Bytes& bytes);
