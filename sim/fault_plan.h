#pragma once

// Decides which driver calls fail: counts every call by kind and remembers
// which command's reply is being waited for.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/scenario.h"

namespace ftsim {

class FaultPlan {
public:
    void reset(std::vector<Fault> faults);

    // Counts one call; returns the status to fail it with when a fault hits
    // it. A write is identified by its first byte.
    std::optional<FT_STATUS> onCall(Call call, std::optional<std::uint8_t> firstByte = {});
    // The first status and read calls after a command belong to that command.
    void commandSent(std::uint8_t code);

private:
    bool hits(const Fault& fault, std::uint32_t count, std::optional<std::uint8_t> command) const;

    std::vector<Fault> faults_;
    std::array<std::uint32_t, kCallKinds> counts_{};
    std::optional<std::uint8_t> awaitingStatus_, awaitingRead_;
};

}  // namespace ftsim
