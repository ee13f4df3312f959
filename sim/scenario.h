#pragma once

// What a scenario file describes: the interface and its driver, the tester
// behind it, its stored record, and the faults and timing of the link.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/d2xx.h"

namespace ftsim {

using Bytes = std::vector<std::uint8_t>;

enum class InterfaceState { Present, Absent, Busy };

// The calls a fault can hit, one counter each.
enum class Call { List, Open, Timeouts, Write, Status, Read, Close, ClrRts };
constexpr int kCallKinds = 8;

struct Fault {
    enum class When { Always, At, From, OnCommand };
    Call call = Call::Write;
    When when = When::Always;
    std::uint32_t number = 0;  // call number (At, From) or command code (OnCommand)
    FT_STATUS status = FT_IO_ERROR;
};

// How the tester's reply to one command deviates from a clean, on-time reply.
struct ReplyShape {
    bool never = false;
    unsigned lateMs = 0;
    std::optional<std::size_t> partialBytes;  // only this many come on time
    std::optional<unsigned> restAfterMs;      // the rest comes this much later, else never
};

struct Scenario {
    InterfaceState interface = InterfaceState::Present;
    std::vector<Fault> faults;
    std::optional<unsigned> cablePulledAfter;  // exchanges before the cable goes

    unsigned replyDelayMs = 5;
    unsigned byteTimeUs = 0;
    unsigned statusCostUs = 2;
    bool statusCostBusy = true;

    std::uint8_t language = 0xFF;  // what the tester keeps; 0x00 is English
    std::map<std::uint8_t, Bytes> replies;
    std::map<std::uint8_t, ReplyShape> shapes;
};

struct ParseResult {
    Scenario scenario;
    std::vector<std::string> errors;  // "line N: ...", empty when the text is sound
};

ParseResult parseScenario(std::string_view text);

// Tester command codes, by the names scenario files may use for them.
std::optional<std::uint8_t> commandByName(std::string_view name);
bool isKnownCommand(std::uint8_t code);

}  // namespace ftsim
