#pragma once

// The tester's identification and the sensor record it stores, and how they
// become the byte replies to the tester's commands.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "sim/scenario.h"

namespace ftsim {

namespace command {
constexpr std::uint8_t kAttention = 0x02;
constexpr std::uint8_t kIdentification = 0x0B;
constexpr std::uint8_t kExecutorId = 0x13;
constexpr std::uint8_t kExecutor = 0x16;
constexpr std::uint8_t kSensorNumber = 0x36;
constexpr std::uint8_t kPairing = 0x37;
constexpr std::uint8_t kSensorType = 0x38;
constexpr std::uint8_t kMaxCurrentH = 0x3A;
constexpr std::uint8_t kMinCurrentH = 0x3B;
constexpr std::uint8_t kLogHeader = 0x3C;
constexpr std::uint8_t kProductionDate = 0x42;
constexpr std::uint8_t kMaxCurrentL = 0x45;
constexpr std::uint8_t kMinCurrentL = 0x46;
constexpr std::uint8_t kLanguageQuery = 0x48;
constexpr std::uint8_t kLanguageSet = 0x49;
constexpr std::array<std::uint8_t, 5> kLogPages = {0x3D, 0x3E, 0x3F, 0x43, 0x47};
}  // namespace command

constexpr std::size_t kSamplesPerPage = 60;
constexpr std::size_t kMaxLogSamples = 300;
constexpr std::uint16_t kStatusFlag = 0x8000;

struct LogShape {
    enum class Kind { Curve, Ramp, List };
    Kind kind = Kind::Curve;
    std::uint32_t count = 300;
    unsigned lowTenths = 50;    // curve: the L-state level
    unsigned highTenths = 120;  // curve: the H-state level
    unsigned rampStart = 0;     // ramp, in tenths of a mA
    unsigned rampStep = 1;
    std::vector<std::uint16_t> words;  // list, repeated to the count
};

struct RecordSpec {
    Bytes identification;
    std::optional<std::uint8_t> testerType;
    std::array<Bytes, 4> executor;  // name, postal code, city, street
    Bytes executorId, sensorNumber, pairing, sensorType, productionDate;
    std::array<std::optional<Bytes>, 4> currents;  // max H, min H, max L, min L
    LogShape log;
    std::uint8_t pageLength = 2 * kSamplesPerPage;

    RecordSpec();  // a plausible tester and sensor
};

// The samples the tester's pages carry: at most the 300 that fit in them.
std::vector<std::uint16_t> generateLog(const LogShape& shape);

std::map<std::uint8_t, Bytes> buildReplies(const RecordSpec& record);

}  // namespace ftsim
