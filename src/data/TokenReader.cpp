#include "data/TokenReader.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// Room for any number a program writes; a longer word is refused as malformed.
constexpr std::size_t kNumberCapacity = 128;

bool IsSpace(int c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Optional sign, digits with an optional decimal point (at least one digit in
// all), optional exponent. strtof alone would also take "inf", "nan" and
// hexadecimal floats, which are no decimal numbers.
bool IsDecimalFloat(const char* text) {
    if (*text == '+' || *text == '-') ++text;
    int digits = 0;
    for (; IsDigit(*text); ++text) ++digits;
    if (*text == '.')
        for (++text; IsDigit(*text); ++text) ++digits;
    if (digits == 0) return false;
    if (*text == 'e' || *text == 'E') {
        ++text;
        if (*text == '+' || *text == '-') ++text;
        if (!IsDigit(*text)) return false;
        while (IsDigit(*text)) ++text;
    }
    return *text == '\0';
}

}  // namespace

TokenReader::TokenReader(FILE* file) : file(file), size(-1) {
    const long start = std::ftell(file);
    if (start < 0 || std::fseek(file, 0, SEEK_END) != 0) return;
    const long end = std::ftell(file);
    if (std::fseek(file, start, SEEK_SET) == 0 && end >= 0) size = end;
}

bool TokenReader::ReadWord(char* buffer, std::size_t capacity) {
    int c = std::getc(file);
    while (c != EOF && IsSpace(c)) c = std::getc(file);
    if (c == EOF) return false;
    std::size_t length = 0;
    for (; c != EOF && !IsSpace(c); c = std::getc(file)) {
        if (c == '\0' || length + 1 >= capacity) return false;
        buffer[length++] = static_cast<char>(c);
    }
    buffer[length] = '\0';
    return true;
}

bool TokenReader::ReadInteger(std::int32_t& value) {
    char word[kNumberCapacity];
    if (!ReadWord(word, sizeof word)) return false;
    // Base 0 is the "%i" rule: 0x hexadecimal, leading-0 octal, else decimal.
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(word, &end, 0);
    if (end == word || *end != '\0' || errno == ERANGE) return false;
    if (parsed < std::numeric_limits<std::int32_t>::min() || parsed > std::numeric_limits<std::int32_t>::max())
        return false;
    value = static_cast<std::int32_t>(parsed);
    return true;
}

bool TokenReader::ReadFloat(float& value) {
    char word[kNumberCapacity];
    if (!ReadWord(word, sizeof word) || !IsDecimalFloat(word)) return false;
    // The engine never changes the "C" locale, so the decimal point is '.'.
    const float parsed = std::strtof(word, nullptr);
    if (std::isinf(parsed)) return false;  // too large for a float; tiny values become 0
    value = parsed;
    return true;
}

long long TokenReader::BytesLeft() const {
    if (size < 0) return -1;
    const long at = std::ftell(file);
    return at < 0 ? -1 : size - at;
}
