#pragma once

// The tester's side of the wire: it takes the bytes the station writes one
// at a time and tells when a command is complete.

#include <cstdint>

namespace ftsim {

class Tester {
public:
    struct Event {
        enum class Kind { None, Attention, Command, LanguageSet, Ignored };
        Kind kind = Kind::None;
        std::uint8_t code = 0;  // the command, the language byte or the ignored byte
    };

    Event feed(std::uint8_t byte);
    void reset() { state_ = State::Idle; }

private:
    enum class State { Idle, Attention, LanguageByte };
    State state_ = State::Idle;
};

}  // namespace ftsim
