#include "model/TextTokens.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace {

// Longer numbers than this are refused as malformed rather than read into
// ever larger buffers.
constexpr std::size_t kMaxNumberLength = 63;

bool IsDigit(char c, int base) {
    if (base == 16) return std::isxdigit(static_cast<unsigned char>(c)) != 0;
    return c >= '0' && c < '0' + base;
}

// Skips a run of decimal digits; returns how many there were.
std::size_t SkipDigits(std::string_view text, std::size_t& at) {
    std::size_t start = at;
    while (at < text.size() && IsDigit(text[at], 10)) ++at;
    return at - start;
}

bool ParseInteger(std::string_view token, std::int32_t& value) {
    bool negative = false;
    if (!token.empty() && (token[0] == '+' || token[0] == '-')) {
        negative = token[0] == '-';
        token.remove_prefix(1);
    }
    int base = 10;
    if (token.size() > 1 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        base = 16;
        token.remove_prefix(2);
    } else if (token.size() > 1 && token[0] == '0') {
        base = 8;
        token.remove_prefix(1);
    }
    if (token.empty() || !IsDigit(token[0], base)) return false;
    // Unsigned, so that a second sign is refused rather than taken.
    unsigned long long magnitude = 0;
    auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), magnitude, base);
    if (error != std::errc() || end != token.data() + token.size()) return false;
    constexpr unsigned long long kMaxMagnitude = std::numeric_limits<std::int32_t>::max();
    if (magnitude > kMaxMagnitude + (negative ? 1 : 0)) return false;
    value = negative ? static_cast<std::int32_t>(-static_cast<long long>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

// Decimal only: no hexadecimal floats, infinities or not-a-numbers.
bool IsDecimalFloat(std::string_view token) {
    std::size_t at = 0;
    if (at < token.size() && (token[at] == '+' || token[at] == '-')) ++at;
    std::size_t digits = SkipDigits(token, at);
    if (at < token.size() && token[at] == '.') {
        ++at;
        digits += SkipDigits(token, at);
    }
    if (digits == 0) return false;
    if (at < token.size() && (token[at] == 'e' || token[at] == 'E')) {
        ++at;
        if (at < token.size() && (token[at] == '+' || token[at] == '-')) ++at;
        if (SkipDigits(token, at) == 0) return false;
    }
    return at == token.size();
}

}  // namespace

TextTokens::TextTokens(FILE* file) : file(file), size(-1) {
    const long start = std::ftell(file);
    if (start < 0 || std::fseek(file, 0, SEEK_END) != 0) return;
    const long end = std::ftell(file);
    if (std::fseek(file, start, SEEK_SET) == 0) size = end;
}

long TextTokens::Next(char* token, std::size_t maxLength) {
    int c;
    do {
        c = std::fgetc(file);
    } while (c != EOF && std::isspace(c));
    std::size_t length = 0;
    while (c != EOF && !std::isspace(c)) {
        // A NUL would silently cut the token short, and a text file has none.
        if (length == maxLength || c == '\0') return -1;
        token[length++] = static_cast<char>(c);
        c = std::fgetc(file);
    }
    token[length] = '\0';
    return length > 0 ? static_cast<long>(length) : -1;
}

bool TextTokens::Word(char* word, std::size_t size) {
    return size > 0 && Next(word, size - 1) > 0;
}

bool TextTokens::Integer(std::int32_t& value) {
    char token[kMaxNumberLength + 1];
    const long length = Next(token, kMaxNumberLength);
    return length > 0 && ParseInteger(std::string_view(token, length), value);
}

bool TextTokens::Float(float& value) {
    char token[kMaxNumberLength + 1];
    const long length = Next(token, kMaxNumberLength);
    if (length <= 0 || !IsDecimalFloat(std::string_view(token, length))) return false;
    // strtof reads the decimal point of the "C" locale, which the engine never changes.
    const float parsed = std::strtof(token, nullptr);
    if (std::isinf(parsed)) return false;
    value = parsed;
    return true;
}

bool TextTokens::CanHold(long long count) {
    const long at = std::ftell(file);
    if (size < 0 || at < 0) return false;
    return (size - at + 1) / 2 >= count;
}
