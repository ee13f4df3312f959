#include "sim/simulated_interface.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "sim/tester_record.h"

namespace ftsim {

namespace {

std::uintptr_t idOf(FT_HANDLE handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

std::string transcriptPathSetting() {
    const char* path = std::getenv("FTD2XX_SIM_LOG");
    return path ? path : "";
}

void spendStatusTime(unsigned microseconds, bool busy) {
    if (microseconds == 0) return;
    const auto cost = std::chrono::microseconds(microseconds);
    if (!busy) {
        std::this_thread::sleep_for(cost);
        return;
    }
    const Clock::time_point end = Clock::now() + cost;
    while (Clock::now() < end) {
    }
}

}  // namespace

FT_STATUS SimulatedInterface::listDevices(void* count, DWORD flags) {
    Lock lock(mutex_);
    reloadIfChanged();
    if (!count || flags != FT_LIST_NUMBER_ONLY) return logged("list", FT_INVALID_PARAMETER);
    if (std::optional<FT_STATUS> fault = faults_.onCall(Call::List)) return logged("list", *fault);
    const DWORD devices = scenario_.interface == InterfaceState::Absent ? 0 : 1;
    *static_cast<DWORD*>(count) = devices;
    return logged("list", FT_OK, "count=" + std::to_string(devices));
}

FT_STATUS SimulatedInterface::open(int index, FT_HANDLE* handle) {
    Lock lock(mutex_);
    reloadIfChanged();
    const std::string call = "open " + std::to_string(index);
    if (!handle) return logged(call, FT_INVALID_PARAMETER);
    if (std::optional<FT_STATUS> fault = faults_.onCall(Call::Open)) return logged(call, *fault);
    if (scenario_.interface == InterfaceState::Absent || index != 0)
        return logged(call, FT_DEVICE_NOT_FOUND);
    // The driver refuses a device that a program (this one or another) holds.
    if (scenario_.interface == InterfaceState::Busy || live_)
        return logged(call, FT_DEVICE_NOT_OPENED);
    live_ = ++lastHandle_;
    queue_.clear();
    tester_.reset();
    readTimeoutMs_ = 0;
    *handle = reinterpret_cast<FT_HANDLE>(*live_);
    return logged(call, FT_OK);
}

FT_STATUS SimulatedInterface::close(FT_HANDLE handle) {
    Lock lock(mutex_);
    ensureLoaded();
    const HandleState state = stateOf(handle);
    if (state == HandleState::Unknown) return logged("close", FT_INVALID_HANDLE);
    if (std::optional<FT_STATUS> fault = faults_.onCall(Call::Close))
        return logged("close", *fault);
    if (state == HandleState::Dead) {
        dead_.erase(idOf(handle));
    } else {
        live_.reset();
        queue_.clear();
    }
    return logged("close", FT_OK);
}

FT_STATUS SimulatedInterface::setTimeouts(FT_HANDLE handle, ULONG readMs, ULONG writeMs) {
    Lock lock(mutex_);
    ensureLoaded();
    const std::string call = "timeouts " + std::to_string(readMs) + " " + std::to_string(writeMs);
    if (std::optional<FT_STATUS> refused = refuse(handle, Call::Timeouts))
        return logged(call, *refused);
    // Writes never wait here, so only the read time-out matters.
    readTimeoutMs_ = readMs;
    return logged(call, FT_OK);
}

FT_STATUS SimulatedInterface::write(FT_HANDLE handle, const void* buffer, DWORD count,
                                    DWORD* written) {
    Lock lock(mutex_);
    ensureLoaded();
    if ((!buffer && count > 0) || !written) return logged("write", FT_INVALID_PARAMETER);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const std::string call = count > 0 ? "write " + hexBytes(bytes, count) : std::string("write");
    if (stateOf(handle) == HandleState::Live) pullCableIfDue();
    std::optional<std::uint8_t> first;
    if (count > 0) first = bytes[0];
    if (std::optional<FT_STATUS> refused = refuse(handle, Call::Write, first)) {
        *written = 0;
        return logged(call, *refused);
    }
    *written = count;
    logged(call, FT_OK);
    deliver(bytes, count);
    return FT_OK;
}

FT_STATUS SimulatedInterface::read(FT_HANDLE handle, void* buffer, DWORD count, DWORD* got) {
    Lock lock(mutex_);
    ensureLoaded();
    const std::string call = "read " + std::to_string(count);
    if ((!buffer && count > 0) || !got) return logged(call, FT_INVALID_PARAMETER);
    if (std::optional<FT_STATUS> refused = refuse(handle, Call::Read)) {
        *got = 0;
        return logged(call, *refused);
    }
    const std::size_t available = waitForBytes(lock, handle, count);
    if (stateOf(handle) != HandleState::Live) {
        *got = 0;
        return logged(call, FT_IO_ERROR, "(closed while reading)");
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    const std::size_t taken = queue_.take(out, std::min<std::size_t>(available, count));
    *got = static_cast<DWORD>(taken);
    std::string detail = "got=" + std::to_string(taken);
    if (taken > 0) detail += " " + hexBytes(out, taken);
    return logged(call, FT_OK, detail);
}

// Waits, with the lock released, until `count` bytes have arrived or the
// read time-out has passed; returns how many have arrived. A read without a
// time-out waits for bytes on their way, but not for bytes that will never
// come, which would hang the caller for good.
std::size_t SimulatedInterface::waitForBytes(Lock& lock, FT_HANDLE handle, std::size_t count) {
    const bool bounded = readTimeoutMs_ > 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs_);
    for (;;) {
        const Clock::time_point now = Clock::now();
        const std::size_t available = queue_.arrived(now);
        if (available >= count || (bounded && now >= deadline)) return available;
        const std::optional<Clock::time_point> needed = queue_.arrivalOf(count - 1);
        if (!bounded && !needed) return available;
        Clock::time_point wake = needed.value_or(deadline);
        if (bounded) wake = std::min(wake, deadline);
        lock.unlock();
        std::this_thread::sleep_until(wake);
        lock.lock();
        if (stateOf(handle) != HandleState::Live) return 0;
    }
}

FT_STATUS SimulatedInterface::getStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes,
                                        DWORD* events) {
    Lock lock(mutex_);
    ensureLoaded();
    if (!rxBytes || !txBytes || !events) return logged("status", FT_INVALID_PARAMETER);
    spendStatusTime(scenario_.statusCostUs, scenario_.statusCostBusy);
    if (std::optional<FT_STATUS> refused = refuse(handle, Call::Status)) {
        transcript_.status(*refused, 0);
        return *refused;
    }
    *rxBytes = static_cast<DWORD>(queue_.arrived(Clock::now()));
    *txBytes = 0;
    *events = 0;
    transcript_.status(FT_OK, *rxBytes);
    return FT_OK;
}

FT_STATUS SimulatedInterface::clrRts(FT_HANDLE handle) {
    Lock lock(mutex_);
    ensureLoaded();
    if (std::optional<FT_STATUS> refused = refuse(handle, Call::ClrRts))
        return logged("clr-rts", *refused);
    return logged("clr-rts", FT_OK);
}

SimulatedInterface::HandleState SimulatedInterface::stateOf(FT_HANDLE handle) const {
    if (live_ && idOf(handle) == *live_) return HandleState::Live;
    if (dead_.count(idOf(handle))) return HandleState::Dead;
    return HandleState::Unknown;
}

// Why a call on a handle cannot go ahead, if it cannot. Calls on a known
// handle are counted even when they fail, so "at N" counts what the program
// sees.
std::optional<FT_STATUS> SimulatedInterface::refuse(FT_HANDLE handle, Call call,
                                                    std::optional<std::uint8_t> firstByte) {
    const HandleState state = stateOf(handle);
    if (state == HandleState::Unknown) return FT_INVALID_HANDLE;
    const std::optional<FT_STATUS> fault = faults_.onCall(call, firstByte);
    if (state == HandleState::Dead) return FT_IO_ERROR;
    return fault;
}

FT_STATUS SimulatedInterface::logged(const std::string& call, FT_STATUS status,
                                     const std::string& detail) {
    transcript_.line(call + " -> " + std::to_string(status) + (detail.empty() ? "" : " " + detail));
    return status;
}

int SimulatedInterface::reload() {
    Lock lock(mutex_);
    return load(readScenarioText());
}

void SimulatedInterface::ensureLoaded() {
    if (!loaded_) load(readScenarioText());
}

// Programs poll the listing and the open; checking there lets a test switch
// scenarios, or a person edit one, without restarting the program.
void SimulatedInterface::reloadIfChanged() {
    ScenarioText source = readScenarioText();
    if (!loaded_ || source.origin != source_.origin || source.text != source_.text ||
        source.error != source_.error) {
        load(source);
    } else if (transcriptPathSetting() != transcriptPath_) {
        transcriptPath_ = transcriptPathSetting();
        transcript_.open(transcriptPath_);
    }
}

// A scenario with errors is not half applied: the simulator then behaves as
// a driver with no interface attached, and says why on stderr.
int SimulatedInterface::load(const ScenarioText& source) {
    transcriptPath_ = transcriptPathSetting();
    transcript_.open(transcriptPath_);
    ParseResult parsed;
    if (source.error.empty())
        parsed = parseScenario(source.text);
    else
        parsed.errors.push_back(source.error);
    for (const std::string& error : parsed.errors)
        std::fprintf(stderr, "ftd2xx sim: scenario %s: %s\n", source.origin.c_str(), error.c_str());
    if (!parsed.errors.empty()) {
        std::fprintf(stderr, "ftd2xx sim: scenario %s rejected; no interface is attached\n",
                     source.origin.c_str());
        parsed.scenario = Scenario{};
        parsed.scenario.interface = InterfaceState::Absent;
    }
    transcript_.line("# scenario " + source.origin + (parsed.errors.empty() ? "" : " rejected"));
    for (const std::string& error : parsed.errors) transcript_.line("# error: " + error);

    loaded_ = true;
    source_ = source;
    scenario_ = std::move(parsed.scenario);
    faults_.reset(scenario_.faults);
    tester_.reset();
    queue_.clear();
    live_.reset();
    dead_.clear();
    language_ = scenario_.language;
    readTimeoutMs_ = 0;
    exchanges_ = 0;
    cablePullDone_ = false;
    return static_cast<int>(parsed.errors.size());
}

// The cable goes at the first write after the given number of exchanges:
// that exchange never starts, and the handle is dead from then on. The
// interface counts as plugged in again for the next open.
void SimulatedInterface::pullCableIfDue() {
    if (!scenario_.cablePulledAfter || cablePullDone_ || exchanges_ < *scenario_.cablePulledAfter)
        return;
    cablePullDone_ = true;
    dead_.insert(*live_);
    live_.reset();
    queue_.clear();
    transcript_.line("# cable pulled");
}

void SimulatedInterface::deliver(const std::uint8_t* bytes, DWORD count) {
    const Clock::time_point sent = Clock::now();
    for (DWORD i = 0; i < count; ++i) {
        const Tester::Event event = tester_.feed(bytes[i]);
        switch (event.kind) {
            case Tester::Event::Kind::Command:
                answer(event.code, sent);
                break;
            case Tester::Event::Kind::LanguageSet:
                language_ = event.code;
                transcript_.line("# tester keeps language " + hexBytes(&event.code, 1));
                answer(command::kLanguageSet, sent);
                break;
            case Tester::Event::Kind::Ignored:
                transcript_.line("# tester ignores " + hexBytes(&event.code, 1) +
                                 " (no attention byte before it)");
                break;
            case Tester::Event::Kind::Attention:
            case Tester::Event::Kind::None:
                break;
        }
    }
}

void SimulatedInterface::answer(std::uint8_t code, Clock::time_point sent) {
    ++exchanges_;
    faults_.commandSent(code);
    const std::string name = hexBytes(&code, 1);
    Bytes reply;
    if (const auto found = scenario_.replies.find(code); found != scenario_.replies.end())
        reply = found->second;
    else if (code == command::kLanguageQuery)
        reply = {language_};
    else if (code != command::kLanguageSet)
        return transcript_.line("# tester does not answer " + name);
    const ReplyShape shape =
        scenario_.shapes.count(code) ? scenario_.shapes.at(code) : ReplyShape{};
    if (shape.never || reply.empty()) {
        if (code != command::kLanguageSet) transcript_.line("# tester does not answer " + name);
        return;
    }
    const Clock::time_point start =
        sent + std::chrono::milliseconds(scenario_.replyDelayMs + shape.lateMs);
    const std::size_t onTime = std::min(reply.size(), shape.partialBytes.value_or(reply.size()));
    const std::size_t sending = shape.restAfterMs ? reply.size() : onTime;
    for (std::size_t i = 0; i < sending; ++i) {
        Clock::time_point arrival = start + std::chrono::microseconds(scenario_.byteTimeUs * i);
        if (i >= onTime) arrival += std::chrono::milliseconds(*shape.restAfterMs);
        queue_.push(reply[i], arrival);
    }
    transcript_.line("# tester answers " + name + " with " + std::to_string(sending) + " of " +
                     std::to_string(reply.size()) + " bytes");
}

}  // namespace ftsim
