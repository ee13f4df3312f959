#include "sim/fault_plan.h"

#include <utility>

namespace ftsim {

void FaultPlan::reset(std::vector<Fault> faults) {
    faults_ = std::move(faults);
    counts_.fill(0);
    awaitingStatus_.reset();
    awaitingRead_.reset();
}

std::optional<FT_STATUS> FaultPlan::onCall(Call call, std::optional<std::uint8_t> firstByte) {
    const std::uint32_t count = ++counts_[static_cast<int>(call)];
    std::optional<std::uint8_t> command = firstByte;
    if (call == Call::Write) {
        awaitingStatus_.reset();
        awaitingRead_.reset();
    } else if (call == Call::Status) {
        command = std::exchange(awaitingStatus_, std::nullopt);
    } else if (call == Call::Read) {
        command = std::exchange(awaitingRead_, std::nullopt);
    }
    for (const Fault& fault : faults_)
        if (fault.call == call && hits(fault, count, command)) return fault.status;
    return std::nullopt;
}

void FaultPlan::commandSent(std::uint8_t code) {
    awaitingStatus_ = code;
    awaitingRead_ = code;
}

bool FaultPlan::hits(const Fault& fault, std::uint32_t count,
                     std::optional<std::uint8_t> command) const {
    switch (fault.when) {
        case Fault::When::Always:
            return true;
        case Fault::When::At:
            return count == fault.number;
        case Fault::When::From:
            return count >= fault.number;
        case Fault::When::OnCommand:
            return command == fault.number;
    }
    return false;
}

}  // namespace ftsim
