#include "sim/tester_record.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

namespace ftsim {

namespace {

constexpr std::size_t kExecutorLength = 100;
constexpr std::uint8_t kFieldDelimiter = 0x01;
constexpr std::uint8_t kStreetDelimiter = 0x02;
constexpr std::uint16_t kCurrentMask = 0x3FFF;

// Moments of the demo log (in seconds) when the sensor is in its H state:
// a few detections of different length within the five minutes.
struct Burst {
    std::size_t first, end;
};
constexpr std::array<Burst, 3> kBursts = {{{42, 74}, {131, 152}, {208, 263}}};

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes fitted(Bytes bytes, std::size_t length) {
    bytes.resize(length, 0);
    return bytes;
}

// Small, repeatable measurement noise: the same log at every run.
int noise(std::size_t i, int amplitude) {
    std::uint32_t x = static_cast<std::uint32_t>(i) * 2654435761u + 0x9E3779B9u;
    x ^= x >> 15;
    x *= 0x85EBCA6Bu;
    x ^= x >> 13;
    return static_cast<int>(x % static_cast<std::uint32_t>(2 * amplitude + 1)) - amplitude;
}

bool inBurst(std::size_t p, std::size_t* sinceStart) {
    for (const Burst& b : kBursts) {
        if (p >= b.first && p < b.end) {
            *sinceStart = p - b.first;
            return true;
        }
    }
    return false;
}

bool justAfterBurst(std::size_t p) {
    return std::any_of(kBursts.begin(), kBursts.end(), [p](const Burst& b) { return p == b.end; });
}

std::uint16_t curveSample(const LogShape& shape, std::size_t i) {
    const std::size_t p = i % kMaxLogSamples;
    const double low = shape.lowTenths, high = shape.highTenths, span = high - low;
    std::size_t since = 0;
    double value;
    bool flag = inBurst(p, &since);
    if (flag) {
        // The supply current takes a couple of seconds to settle after a detection.
        const double rise = since == 0 ? 0.45 : since == 1 ? 0.85 : 1.0;
        value = low + span * rise + (since > 1 ? 4 * std::sin(p / 7.0) + noise(i, 3) : 0);
    } else {
        value = justAfterBurst(p) ? low + span * 0.3 : low + 3 * std::sin(p / 23.0) + noise(i, 2);
    }
    const long tenths = std::clamp(std::lround(value), 0L, static_cast<long>(kCurrentMask));
    return static_cast<std::uint16_t>(tenths) | (flag ? kStatusFlag : 0);
}

std::string currentText(unsigned tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

// The tester keeps the extremes of each state; a sensor without samples in a
// state reports zero for it.
std::array<Bytes, 4> currentsOf(const std::vector<std::uint16_t>& log) {
    unsigned maxH = 0, minH = kCurrentMask, maxL = 0, minL = kCurrentMask;
    bool anyH = false, anyL = false;
    for (std::uint16_t word : log) {
        const unsigned tenths = word & kCurrentMask;
        if (word & kStatusFlag) {
            anyH = true;
            maxH = std::max(maxH, tenths);
            minH = std::min(minH, tenths);
        } else {
            anyL = true;
            maxL = std::max(maxL, tenths);
            minL = std::min(minL, tenths);
        }
    }
    return {bytesOf(currentText(maxH)), bytesOf(currentText(anyH ? minH : 0)),
            bytesOf(currentText(maxL)), bytesOf(currentText(anyL ? minL : 0))};
}

Bytes executorRecord(const std::array<Bytes, 4>& fields) {
    Bytes out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        out.insert(out.end(), fields[i].begin(), fields[i].end());
        out.push_back(i + 1 < fields.size() ? kFieldDelimiter : kStreetDelimiter);
    }
    return fitted(std::move(out), kExecutorLength);
}

Bytes identificationReply(const RecordSpec& record) {
    Bytes out = record.identification;
    if (record.testerType) {
        if (out.size() < 7) out.resize(7, 0);
        out[6] = *record.testerType;
    }
    return out;
}

void addLog(const RecordSpec& record, std::map<std::uint8_t, Bytes>& replies) {
    const std::uint32_t count = std::min<std::uint32_t>(record.log.count, 0xFFFF);
    replies[command::kLogHeader] = {0x00, record.pageLength, static_cast<std::uint8_t>(count >> 8),
                                    static_cast<std::uint8_t>(count & 0xFF)};
    const std::vector<std::uint16_t> log = generateLog(record.log);
    for (std::size_t page = 0; page < command::kLogPages.size(); ++page) {
        Bytes bytes;
        for (std::size_t k = page * kSamplesPerPage;
             k < std::min(log.size(), (page + 1) * kSamplesPerPage); ++k) {
            bytes.push_back(static_cast<std::uint8_t>(log[k] & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(log[k] >> 8));
        }
        replies[command::kLogPages[page]] = fitted(std::move(bytes), record.pageLength);
    }
    const std::array<Bytes, 4> derived = currentsOf(log);
    const std::array<std::uint8_t, 4> codes = {command::kMaxCurrentH, command::kMinCurrentH,
                                               command::kMaxCurrentL, command::kMinCurrentL};
    for (std::size_t i = 0; i < codes.size(); ++i)
        replies[codes[i]] = fitted(record.currents[i].value_or(derived[i]), 4);
}

}  // namespace

RecordSpec::RecordSpec()
    : identification(bytesOf("T00451J023")),
      executor{bytesOf("Serwis Czujnik\xF3w Ruchu"), bytesOf("30-418"), bytesOf("Krak\xF3w"),
               bytesOf("ul. D\xB3uga 17")},
      executorId(bytesOf("EX-0427")),
      sensorNumber(bytesOf("2310457")),
      pairing(bytesOf("PR-88213")),
      sensorType(bytesOf("MS-401 PIR")),
      productionDate(bytesOf("03/23")) {}

std::vector<std::uint16_t> generateLog(const LogShape& shape) {
    const std::size_t count = std::min<std::size_t>(shape.count, kMaxLogSamples);
    std::vector<std::uint16_t> log;
    log.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        switch (shape.kind) {
            case LogShape::Kind::Curve:
                log.push_back(curveSample(shape, i));
                break;
            case LogShape::Kind::Ramp:
                log.push_back(static_cast<std::uint16_t>((shape.rampStart + i * shape.rampStep) &
                                                         kCurrentMask));
                break;
            case LogShape::Kind::List:
                log.push_back(shape.words.empty() ? 0 : shape.words[i % shape.words.size()]);
                break;
        }
    }
    return log;
}

std::map<std::uint8_t, Bytes> buildReplies(const RecordSpec& record) {
    std::map<std::uint8_t, Bytes> replies;
    replies[command::kIdentification] = identificationReply(record);
    replies[command::kExecutor] = executorRecord(record.executor);
    replies[command::kExecutorId] = fitted(record.executorId, 10);
    replies[command::kSensorNumber] = fitted(record.sensorNumber, 10);
    replies[command::kPairing] = fitted(record.pairing, 12);
    replies[command::kSensorType] = fitted(record.sensorType, 12);
    replies[command::kProductionDate] = fitted(record.productionDate, 5);
    addLog(record, replies);
    return replies;
}

}  // namespace ftsim
