#include <algorithm>
#include <array>
#include <functional>
#include <utility>

#include "sim/scenario.h"
#include "sim/scenario_tokens.h"
#include "sim/tester_record.h"

namespace ftsim {

namespace {

using Args = std::span<const Token>;

struct Draft {
    Scenario scenario;
    RecordSpec record;
    std::map<std::uint8_t, Bytes> rawReplies;
};

using Handler = std::function<std::string(Args, Draft&)>;

constexpr std::array<std::pair<std::string_view, std::uint8_t>, 20> kCommandNames = {{
    {"attention", command::kAttention},
    {"identification", command::kIdentification},
    {"executor", command::kExecutor},
    {"executor-id", command::kExecutorId},
    {"log-header", command::kLogHeader},
    {"sensor-number", command::kSensorNumber},
    {"pairing", command::kPairing},
    {"sensor-type", command::kSensorType},
    {"production-date", command::kProductionDate},
    {"max-current-h", command::kMaxCurrentH},
    {"min-current-h", command::kMinCurrentH},
    {"max-current-l", command::kMaxCurrentL},
    {"min-current-l", command::kMinCurrentL},
    {"log-page-1", command::kLogPages[0]},
    {"log-page-2", command::kLogPages[1]},
    {"log-page-3", command::kLogPages[2]},
    {"log-page-4", command::kLogPages[3]},
    {"log-page-5", command::kLogPages[4]},
    {"language-query", command::kLanguageQuery},
    {"language-set", command::kLanguageSet},
}};

constexpr std::array<std::pair<std::string_view, FT_STATUS>, 6> kStatusNames = {{
    {"invalid-handle", FT_INVALID_HANDLE},
    {"device-not-found", FT_DEVICE_NOT_FOUND},
    {"device-not-opened", FT_DEVICE_NOT_OPENED},
    {"io-error", FT_IO_ERROR},
    {"invalid-parameter", FT_INVALID_PARAMETER},
    {"other-error", FT_OTHER_ERROR},
}};

constexpr std::array<std::pair<std::string_view, Call>, kCallKinds> kCallNames = {{
    {"list", Call::List},
    {"open", Call::Open},
    {"timeouts", Call::Timeouts},
    {"write", Call::Write},
    {"status", Call::Status},
    {"read", Call::Read},
    {"close", Call::Close},
    {"clr-rts", Call::ClrRts},
}};

template <typename T, std::size_t N>
const T* lookUp(const std::array<std::pair<std::string_view, T>, N>& table, std::string_view name) {
    for (const auto& [key, value] : table)
        if (key == name) return &value;
    return nullptr;
}

std::string expectCount(Args args, std::size_t least, std::size_t most, const char* usage) {
    if (args.size() < least || args.size() > most) return std::string("usage: ") + usage;
    return {};
}

// A command by name or hex code. Directives that shape a reply only make
// sense for a command the tester answers, which also catches decimal codes
// written by mistake (sensor-number is 36, not 54).
std::string parseCommand(const Token& token, bool anyCode, std::uint8_t& code) {
    if (const std::uint8_t* named = lookUp(kCommandNames, token.text)) {
        code = *named;
        return {};
    }
    std::string text = token.text;
    if (text.starts_with("0x") || text.starts_with("0X")) text.erase(0, 2);
    if (std::string error = parseHexByte({text, token.quoted}, code); !error.empty())
        return "expected a command name or hex code, got '" + token.text + "'";
    if (!anyCode && !isKnownCommand(code))
        return "'" + token.text + "' is not a command the tester answers (codes are hex)";
    return {};
}

std::string parseStatus(const Token& token, FT_STATUS& status) {
    if (const FT_STATUS* named = lookUp(kStatusNames, token.text)) {
        status = *named;
        return {};
    }
    std::uint32_t value = 0;
    if (!parseNumber(token, 0xFFFFFFFFu, value).empty())
        return "expected a status name or number, got '" + token.text + "'";
    status = value;
    return {};
}

std::string parseFault(Args args, Draft& d) {
    const char* usage = "fail CALL always|at N|from N|on COMMAND [status S]";
    if (args.size() < 2) return std::string("usage: ") + usage;
    Fault fault;
    const Call* call = lookUp(kCallNames, args[0].text);
    if (!call)
        return "unknown call '" + args[0].text +
               "' (list open timeouts write status read close clr-rts)";
    fault.call = *call;
    std::size_t next = 2;
    const std::string& when = args[1].text;
    if (when == "always") {
        fault.when = Fault::When::Always;
    } else if ((when == "at" || when == "from") && args.size() > 2) {
        fault.when = when == "at" ? Fault::When::At : Fault::When::From;
        if (std::string e = parseNumber(args[2], 0xFFFFFFFFu, fault.number); !e.empty()) return e;
        if (fault.number == 0) return "calls are counted from 1";
        next = 3;
    } else if (when == "on" && args.size() > 2) {
        if (*call != Call::Write && *call != Call::Status && *call != Call::Read)
            return "only write, status and read calls belong to a command";
        std::uint8_t code = 0;
        const bool attention = args[2].text == "02" || args[2].text == "attention";
        if (std::string e = parseCommand(args[2], attention, code); !e.empty()) return e;
        fault.when = Fault::When::OnCommand;
        fault.number = code;
        next = 3;
    } else {
        return std::string("usage: ") + usage;
    }
    if (args.size() == next + 2 && args[next].text == "status") {
        if (std::string e = parseStatus(args[next + 1], fault.status); !e.empty()) return e;
    } else if (args.size() != next) {
        return std::string("usage: ") + usage;
    }
    d.scenario.faults.push_back(fault);
    return {};
}

std::string parseInterface(Args args, Draft& d) {
    if (std::string e = expectCount(args, 1, 1, "interface present|absent|busy"); !e.empty())
        return e;
    const std::string& state = args[0].text;
    if (state == "present")
        d.scenario.interface = InterfaceState::Present;
    else if (state == "absent")
        d.scenario.interface = InterfaceState::Absent;
    else if (state == "busy")
        d.scenario.interface = InterfaceState::Busy;
    else
        return "usage: interface present|absent|busy";
    return {};
}

std::string parseCablePulled(Args args, Draft& d) {
    std::uint32_t n = 0;
    if (args.size() != 2 || args[0].text != "after") return "usage: cable-pulled after N";
    if (std::string e = parseNumber(args[1], 0xFFFFFFFFu, n); !e.empty()) return e;
    d.scenario.cablePulledAfter = n;
    return {};
}

Handler unsignedSetting(unsigned Scenario::*field, const char* usage) {
    return [field, usage](Args args, Draft& d) -> std::string {
        std::uint32_t n = 0;
        if (args.size() != 1) return std::string("usage: ") + usage;
        if (std::string e = parseNumber(args[0], 60'000'000, n); !e.empty()) return e;
        d.scenario.*field = n;
        return {};
    };
}

std::string parseStatusCost(Args args, Draft& d) {
    const char* usage = "usage: status-cost MICROSECONDS [busy|sleep]";
    std::uint32_t n = 0;
    if (args.empty() || args.size() > 2) return usage;
    if (std::string e = parseNumber(args[0], 1'000'000, n); !e.empty()) return e;
    if (args.size() == 2 && args[1].text != "busy" && args[1].text != "sleep") return usage;
    d.scenario.statusCostUs = n;
    d.scenario.statusCostBusy = args.size() == 1 || args[1].text == "busy";
    return {};
}

std::string parseLanguage(Args args, Draft& d) {
    if (args.size() != 1) return "usage: language english|polish|HH";
    if (args[0].text == "english")
        d.scenario.language = 0x00;
    else if (args[0].text == "polish")
        d.scenario.language = 0xFF;
    else
        return parseHexByte(args[0], d.scenario.language);
    return {};
}

std::string parseTesterType(Args args, Draft& d) {
    if (args.size() != 1) return "usage: tester-type C (one character, or HH)";
    Bytes bytes;
    if (args[0].text.size() == 1)
        bytes.push_back(static_cast<std::uint8_t>(args[0].text[0]));
    else if (std::string e = parseBytes(args, bytes); !e.empty())
        return e;
    if (bytes.size() != 1) return "tester-type takes one character";
    d.record.testerType = bytes[0];
    return {};
}

Handler bytesField(Bytes RecordSpec::*field) {
    return [field](Args args, Draft& d) {
        (d.record.*field).clear();
        return parseBytes(args, d.record.*field);
    };
}

Handler currentField(std::size_t index) {
    return [index](Args args, Draft& d) {
        Bytes bytes;
        std::string error = parseBytes(args, bytes);
        d.record.currents[index] = std::move(bytes);
        return error;
    };
}

std::string parseExecutor(Args args, Draft& d) {
    if (args.size() != 4) return "usage: executor NAME POSTAL-CODE CITY STREET (one \"text\" each)";
    for (std::size_t i = 0; i < 4; ++i) {
        d.record.executor[i].clear();
        if (std::string e = appendBytes(args[i], d.record.executor[i]); !e.empty()) return e;
    }
    return {};
}

std::string parsePageLength(Args args, Draft& d) {
    std::uint32_t n = 0;
    if (args.size() != 1) return "usage: page-length N (0 to 255)";
    if (std::string e = parseNumber(args[0], 255, n); !e.empty()) return e;
    d.record.pageLength = static_cast<std::uint8_t>(n);
    return {};
}

std::string parseReply(Args args, Draft& d) {
    std::uint8_t code = 0;
    if (args.empty()) return "usage: reply COMMAND BYTES...";
    if (std::string e = parseCommand(args[0], true, code); !e.empty()) return e;
    Bytes bytes;
    if (std::string e = parseBytes(args.subspan(1), bytes); !e.empty()) return e;
    d.rawReplies[code] = std::move(bytes);
    return {};
}

Handler shapeDirective(std::size_t numbers, const char* usage,
                       std::function<void(ReplyShape&, const std::uint32_t*)> apply) {
    return [=](Args args, Draft& d) -> std::string {
        std::uint8_t code = 0;
        std::uint32_t values[2] = {0, 0};
        const bool withRest = numbers == 1 && args.size() == 4 && args[2].text == "rest-after";
        if (args.size() != 1 + numbers && !withRest) return std::string("usage: ") + usage;
        if (std::string e = parseCommand(args[0], false, code); !e.empty()) return e;
        for (std::size_t i = 0; i < numbers; ++i)
            if (std::string e = parseNumber(args[1 + i], 60'000'000, values[i]); !e.empty())
                return e;
        if (withRest)
            if (std::string e = parseNumber(args[3], 60'000'000, values[1]); !e.empty()) return e;
        ReplyShape& shape = d.scenario.shapes[code];
        apply(shape, values);
        if (withRest) shape.restAfterMs = values[1];
        return {};
    };
}

const std::map<std::string_view, Handler>& handlers() {
    static const std::map<std::string_view, Handler> table = {
        {"interface", parseInterface},
        {"fail", parseFault},
        {"cable-pulled", parseCablePulled},
        {"reply-delay", unsignedSetting(&Scenario::replyDelayMs, "reply-delay MILLISECONDS")},
        {"byte-time", unsignedSetting(&Scenario::byteTimeUs, "byte-time MICROSECONDS")},
        {"status-cost", parseStatusCost},
        {"language", parseLanguage},
        {"identification", bytesField(&RecordSpec::identification)},
        {"tester-type", parseTesterType},
        {"executor", parseExecutor},
        {"executor-id", bytesField(&RecordSpec::executorId)},
        {"sensor-number", bytesField(&RecordSpec::sensorNumber)},
        {"pairing", bytesField(&RecordSpec::pairing)},
        {"sensor-type", bytesField(&RecordSpec::sensorType)},
        {"production-date", bytesField(&RecordSpec::productionDate)},
        {"max-current-h", currentField(0)},
        {"min-current-h", currentField(1)},
        {"max-current-l", currentField(2)},
        {"min-current-l", currentField(3)},
        {"log-samples", [](Args a, Draft& d) { return parseLogSamples(a, d.record.log); }},
        {"page-length", parsePageLength},
        {"reply", parseReply},
        {"no-reply", shapeDirective(0, "no-reply COMMAND",
                                    [](ReplyShape& s, const std::uint32_t*) { s.never = true; })},
        {"late", shapeDirective(1, "late COMMAND MILLISECONDS",
                                [](ReplyShape& s, const std::uint32_t* v) { s.lateMs = v[0]; })},
        {"partial",
         shapeDirective(1, "partial COMMAND BYTES [rest-after MILLISECONDS]",
                        [](ReplyShape& s, const std::uint32_t* v) { s.partialBytes = v[0]; })},
    };
    return table;
}

}  // namespace

std::optional<std::uint8_t> commandByName(std::string_view name) {
    if (const std::uint8_t* code = lookUp(kCommandNames, name)) return *code;
    return std::nullopt;
}

bool isKnownCommand(std::uint8_t code) {
    return std::any_of(kCommandNames.begin(), kCommandNames.end(),
                       [code](const auto& entry) { return entry.second == code; }) &&
           code != command::kAttention;
}

ParseResult parseScenario(std::string_view text) {
    Draft draft;
    ParseResult result;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        std::vector<Token> tokens;
        std::string error = tokenize(line, tokens);
        if (error.empty() && !tokens.empty()) {
            const auto found = handlers().find(tokens[0].text);
            error = tokens[0].quoted || found == handlers().end()
                        ? "unknown keyword '" + tokens[0].text + "'"
                        : found->second(Args(tokens).subspan(1), draft);
        }
        if (!error.empty())
            result.errors.push_back("line " + std::to_string(lineNumber) + ": " + error);
    }
    result.scenario = std::move(draft.scenario);
    result.scenario.replies = buildReplies(draft.record);
    for (auto& [code, bytes] : draft.rawReplies) result.scenario.replies[code] = std::move(bytes);
    return result;
}

}  // namespace ftsim
