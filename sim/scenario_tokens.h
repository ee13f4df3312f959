#pragma once

// The lexical level of scenario files: words, quoted texts, byte lists and
// numbers. Every function returns an error text, empty on success.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/scenario.h"
#include "sim/tester_record.h"

namespace ftsim {

struct Token {
    std::string text;  // quoted texts are already in code page 1250
    bool quoted = false;
};

// Splits a line into tokens; '#' outside quotes starts a comment.
std::string tokenize(std::string_view line, std::vector<Token>& tokens);

// Appends the bytes of one token: "text", hex digits in pairs (4A, 7B80), or
// HH*N for N copies of a byte.
std::string appendBytes(const Token& token, Bytes& out);
std::string parseBytes(std::span<const Token> tokens, Bytes& out);

std::string parseNumber(const Token& token, std::uint32_t max, std::uint32_t& value);
// A current in mA with at most one decimal ("12.5") into tenths of a mA.
std::string parseTenths(std::string_view text, unsigned& tenths);
// A byte written as two hex digits.
std::string parseHexByte(const Token& token, std::uint8_t& value);

// A log sample: a current in mA, "H" after it for the status flag ("12.3H"),
// or a raw word ("0x807B").
std::string parseSample(const Token& token, std::uint16_t& word);
// log-samples [N] [curve [LOW HIGH] | ramp [START STEP] | list SAMPLE...]
std::string parseLogSamples(std::span<const Token> args, LogShape& log);

}  // namespace ftsim
