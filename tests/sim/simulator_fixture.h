#pragma once

// Loads the built simulator once per test program through dlopen, as the
// station does, and gives each test a scenario and a transcript of its own.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "link/d2xx_library.h"

// The driver entry points, bound by the station's own loader, plus the
// simulator's reload call for tests.
struct SimulatorApi : D2xxEntryPoints {
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
