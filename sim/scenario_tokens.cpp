#include "sim/scenario_tokens.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <utility>

namespace ftsim {

namespace {

// Characters a tester's texts may carry beyond ASCII: the Polish letters and
// a few common Western ones, in the tester's code page 1250.
constexpr std::array<std::pair<char32_t, std::uint8_t>, 28> kCodePage1250 = {{
    {U'Ą', 0xA5}, {U'ą', 0xB9}, {U'Ć', 0xC6}, {U'ć', 0xE6}, {U'Ę', 0xCA}, {U'ę', 0xEA},
    {U'Ł', 0xA3}, {U'ł', 0xB3}, {U'Ń', 0xD1}, {U'ń', 0xF1}, {U'Ó', 0xD3}, {U'ó', 0xF3},
    {U'Ś', 0x8C}, {U'ś', 0x9C}, {U'Ź', 0x8F}, {U'ź', 0x9F}, {U'Ż', 0xAF}, {U'ż', 0xBF},
    {U'Ä', 0xC4}, {U'ä', 0xE4}, {U'Ö', 0xD6}, {U'ö', 0xF6}, {U'Ü', 0xDC}, {U'ü', 0xFC},
    {U'ß', 0xDF}, {U'é', 0xE9}, {U'°', 0xB0}, {U'µ', 0xB5},
}};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes one UTF-8 sequence starting at line[i] and appends its code page
// byte; advances i past the sequence.
std::string appendUtf8(std::string_view line, std::size_t& i, std::string& out) {
    const auto lead = static_cast<unsigned char>(line[i]);
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > line.size()) return "text is not valid UTF-8";
    char32_t code = lead & (0x3F >> (length - 1));
    for (int k = 1; k < length; ++k) code = (code << 6) | (line[i + k] & 0x3F);
    i += length;
    for (const auto& [unicode, byte] : kCodePage1250) {
        if (unicode == code) {
            out.push_back(static_cast<char>(byte));
            return {};
        }
    }
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
    return std::string("character ") + name + " has no code page 1250 byte here; write it as \\xNN";
}

std::string readQuoted(std::string_view line, std::size_t& i, std::string& out) {
    for (++i; i < line.size();) {
        const char c = line[i];
        if (c == '"') {
            ++i;
            return {};
        }
        if (static_cast<unsigned char>(c) >= 0x80) {
            if (std::string error = appendUtf8(line, i, out); !error.empty()) return error;
            continue;
        }
        if (c != '\\') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 >= line.size()) break;
        const char e = line[i + 1];
        if (e == 'x') {
            const int hi = i + 2 < line.size() ? hexDigit(line[i + 2]) : -1;
            const int lo = i + 3 < line.size() ? hexDigit(line[i + 3]) : -1;
            if (hi < 0 || lo < 0) return "\\x needs two hex digits";
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 4;
        } else if (e == '"' || e == '\\') {
            out.push_back(e);
            i += 2;
        } else {
            return std::string("unknown escape \\") + e;
        }
    }
    return "text has no closing quote";
}

}  // namespace

std::string tokenize(std::string_view line, std::vector<Token>& tokens) {
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token token{{}, true};
            if (std::string error = readQuoted(line, i, token.text); !error.empty()) return error;
            tokens.push_back(std::move(token));
        } else {
            const std::size_t end = line.find_first_of(" \t\r#", i);
            tokens.push_back({std::string(line.substr(i, end - i)), false});
            i = end == std::string_view::npos ? line.size() : end;
        }
    }
    return {};
}

std::string appendBytes(const Token& token, Bytes& out) {
    if (token.quoted) {
        out.insert(out.end(), token.text.begin(), token.text.end());
        return {};
    }
    const std::string_view text = token.text;
    if (const std::size_t star = text.find('*'); star != std::string_view::npos) {
        std::uint8_t byte = 0;
        std::uint32_t count = 0;
        if (!parseHexByte({std::string(text.substr(0, star)), false}, byte).empty() ||
            !parseNumber({std::string(text.substr(star + 1)), false}, 1 << 20, count).empty())
            return "expected HH*N (a hex byte and a count), got '" + token.text + "'";
        out.insert(out.end(), count, byte);
        return {};
    }
    if (text.size() % 2 != 0) return "hex bytes come in pairs of digits: '" + token.text + "'";
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = hexDigit(text[i]), lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0)
            return "expected hex bytes, \"text\" or HH*N, got '" + token.text + "'";
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return {};
}

std::string parseBytes(std::span<const Token> tokens, Bytes& out) {
    for (const Token& token : tokens) {
        if (std::string error = appendBytes(token, out); !error.empty()) return error;
    }
    return {};
}

std::string parseNumber(const Token& token, std::uint32_t max, std::uint32_t& value) {
    const std::string& t = token.text;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (token.quoted || t.empty() || ec != std::errc() || end != t.data() + t.size())
        return "expected a number, got '" + t + "'";
    if (value > max) return "number " + t + " is above " + std::to_string(max);
    return {};
}

std::string parseTenths(std::string_view text, unsigned& tenths) {
    const std::size_t dot = text.find('.');
    std::uint32_t whole = 0, decimal = 0;
    const std::string_view wholeText = text.substr(0, dot);
    const std::string_view decimalText =
        dot == std::string_view::npos ? std::string_view("0") : text.substr(dot + 1);
    if (decimalText.size() != 1 ||
        !parseNumber({std::string(wholeText), false}, 1638, whole).empty() ||
        !parseNumber({std::string(decimalText), false}, 9, decimal).empty())
        return "expected a current in mA with one decimal at most, got '" + std::string(text) + "'";
    tenths = whole * 10 + decimal;
    return tenths > 0x3FFF ? "current " + std::string(text) + " is above 1638.3 mA" : "";
}

std::string parseHexByte(const Token& token, std::uint8_t& value) {
    const std::string& t = token.text;
    const int hi = t.size() == 2 ? hexDigit(t[0]) : -1;
    const int lo = t.size() == 2 ? hexDigit(t[1]) : -1;
    if (token.quoted || hi < 0 || lo < 0)
        return "expected a byte as two hex digits, got '" + t + "'";
    value = static_cast<std::uint8_t>(hi * 16 + lo);
    return {};
}

}  // namespace ftsim

namespace ftsim {

std::string parseSample(const Token& token, std::uint16_t& word) {
    std::string_view text = token.text;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        Bytes bytes;
        if (text.size() != 6 || !appendBytes({std::string(text.substr(2)), false}, bytes).empty())
            return "expected a raw sample word as 0xHHHH, got '" + token.text + "'";
        word = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
        return {};
    }
    bool flag = false;
    if (text.ends_with('H') || text.ends_with('L')) {
        flag = text.back() == 'H';
        text.remove_suffix(1);
    }
    unsigned tenths = 0;
    if (std::string error = parseTenths(text, tenths); !error.empty()) return error;
    word = static_cast<std::uint16_t>(tenths | (flag ? kStatusFlag : 0));
    return {};
}

namespace {

std::string parseLevels(std::span<const Token> args, unsigned& first, unsigned& second,
                        const char* usage) {
    if (args.empty()) return {};
    if (args.size() != 2) return usage;
    if (std::string e = parseTenths(args[0].text, first); !e.empty()) return e;
    return parseTenths(args[1].text, second);
}

}  // namespace

std::string parseLogSamples(std::span<const Token> args, LogShape& log) {
    LogShape parsed;
    bool countGiven = false;
    if (!args.empty() && !args[0].text.empty() &&
        std::isdigit(static_cast<unsigned char>(args[0].text[0]))) {
        if (std::string e = parseNumber(args[0], 0xFFFF, parsed.count); !e.empty()) return e;
        countGiven = true;
        args = args.subspan(1);
    }
    const std::string kind = args.empty() ? "curve" : args[0].text;
    const auto rest = args.empty() ? args : args.subspan(1);
    if (kind == "curve") {
        parsed.kind = LogShape::Kind::Curve;
        if (std::string e = parseLevels(rest, parsed.lowTenths, parsed.highTenths,
                                        "usage: log-samples [N] curve [LOW-mA HIGH-mA]");
            !e.empty())
            return e;
    } else if (kind == "ramp") {
        parsed.kind = LogShape::Kind::Ramp;
        if (std::string e = parseLevels(rest, parsed.rampStart, parsed.rampStep,
                                        "usage: log-samples [N] ramp [START-mA STEP-mA]");
            !e.empty())
            return e;
    } else if (kind == "list") {
        parsed.kind = LogShape::Kind::List;
        if (rest.empty()) return "usage: log-samples [N] list SAMPLE...";
        for (const Token& token : rest) {
            std::uint16_t word = 0;
            if (std::string e = parseSample(token, word); !e.empty()) return e;
            parsed.words.push_back(word);
        }
        if (!countGiven)
            parsed.count =
                static_cast<std::uint32_t>(std::min<std::size_t>(parsed.words.size(), 0xFFFF));
    } else {
        return "usage: log-samples [N] [curve [LOW HIGH] | ramp [START STEP] | list SAMPLE...]";
    }
    log = std::move(parsed);
    return {};
}

}  // namespace ftsim
