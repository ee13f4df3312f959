#pragma once

// One USB test interface with a tester behind it, as the driver library
// shows it to a program: the D2XX calls, with the scenario's faults and
// timing. Every call is safe from any thread; a blocked read lets the other
// calls through.

#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "link/d2xx.h"
#include "sim/fault_plan.h"
#include "sim/receive_queue.h"
#include "sim/scenario.h"
#include "sim/scenario_source.h"
#include "sim/tester.h"
#include "sim/transcript.h"

namespace ftsim {

class SimulatedInterface {
public:
    FT_STATUS listDevices(void* count, DWORD flags);
    FT_STATUS open(int index, FT_HANDLE* handle);
    FT_STATUS close(FT_HANDLE handle);
    FT_STATUS setTimeouts(FT_HANDLE handle, ULONG readMs, ULONG writeMs);
    FT_STATUS write(FT_HANDLE handle, const void* buffer, DWORD count, DWORD* written);
    FT_STATUS read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* got);
    FT_STATUS getStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* events);
    FT_STATUS clrRts(FT_HANDLE handle);

    // Loads the scenario afresh; returns the number of errors found in it.
    int reload();

private:
    using Lock = std::unique_lock<std::mutex>;
    enum class HandleState { Live, Dead, Unknown };

    void ensureLoaded();
    void reloadIfChanged();
    int load(const ScenarioText& source);
    HandleState stateOf(FT_HANDLE handle) const;
    std::optional<FT_STATUS> refuse(FT_HANDLE handle, Call call,
                                    std::optional<std::uint8_t> firstByte = {});
    FT_STATUS logged(const std::string& call, FT_STATUS status, const std::string& detail = {});
    void pullCableIfDue();
    void deliver(const std::uint8_t* bytes, DWORD count);
    void answer(std::uint8_t code, Clock::time_point sent);
    std::size_t waitForBytes(Lock& lock, FT_HANDLE handle, std::size_t count);

    std::mutex mutex_;
    bool loaded_ = false;
    ScenarioText source_;
    std::string transcriptPath_;
    Scenario scenario_;
    Transcript transcript_;
    FaultPlan faults_;
    Tester tester_;
    ReceiveQueue queue_;

    std::optional<std::uintptr_t> live_;  // the open handle of the interface
    std::set<std::uintptr_t> dead_;       // handles left over from a pulled cable
    std::uintptr_t lastHandle_ = 0;
    std::uint8_t language_ = 0xFF;
    ULONG readTimeoutMs_ = 0;
    unsigned exchanges_ = 0;
    bool cablePullDone_ = false;
};

}  // namespace ftsim
