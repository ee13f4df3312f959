#include "sim/tester.h"

#include "sim/tester_record.h"

namespace ftsim {

Tester::Event Tester::feed(std::uint8_t byte) {
    using Kind = Event::Kind;
    switch (state_) {
        case State::LanguageByte:
            state_ = State::Idle;
            return {Kind::LanguageSet, byte};
        case State::Attention:
            if (byte == command::kAttention) return {Kind::Attention, byte};
            state_ = byte == command::kLanguageSet ? State::LanguageByte : State::Idle;
            return byte == command::kLanguageSet ? Event{} : Event{Kind::Command, byte};
        case State::Idle:
            break;
    }
    // The language commands are the only ones the tester takes without the
    // attention byte; anything else out of turn is line noise to it.
    if (byte == command::kAttention) {
        state_ = State::Attention;
        return {Kind::Attention, byte};
    }
    if (byte == command::kLanguageSet) {
        state_ = State::LanguageByte;
        return {};
    }
    if (byte == command::kLanguageQuery) return {Kind::Command, byte};
    return {Kind::Ignored, byte};
}

}  // namespace ftsim
