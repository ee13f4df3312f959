#pragma once

// The wire transcript: one line per driver call, appended to the file named
// by FTD2XX_SIM_LOG and flushed at once, so a test can read it at any time.
// A run of status calls with the same status (a reply being waited for can
// take 300000 of them) is written as its first call plus one line with the
// number of further calls and the result of the last one.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "link/d2xx.h"

namespace ftsim {

class Transcript {
public:
    Transcript() = default;
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;
    ~Transcript();

    // An empty path turns the transcript off.
    void open(const std::string& path);
    void line(const std::string& text);
    void status(FT_STATUS status, DWORD rxBytes);

private:
    void endStatusRun();
    void put(const std::string& text);

    std::FILE* file_ = nullptr;
    std::optional<FT_STATUS> runStatus_;
    DWORD lastRx_ = 0;
    std::uint64_t furtherCalls_ = 0;
};

std::string hexBytes(const std::uint8_t* bytes, std::size_t count);

}  // namespace ftsim
