// Reading the engine's text data files: whitespace-separated tokens of three
// kinds. A word is a maximal run of non-whitespace characters; an integer is
// an optional sign and then decimal digits, "0x"/"0X" and hexadecimal digits,
// or a leading 0 and octal digits; a float is a decimal number with optional
// sign, fraction and exponent. Line structure carries no meaning.
//
// Unlike formatted input, every read takes one whole token and checks it: a
// token that is not entirely of the asked kind, a number out of range or a
// word longer than its field is refused, so a loader can fail cleanly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

class TextTokens {
public:
    // Reads from the current position of `file`; the file stays the caller's.
    explicit TextTokens(FILE* file);

    // The next token into `word` (a buffer of `size` bytes, NUL-terminated).
    // False at the end of the file or when the token needs more than size - 1
    // characters.
    bool Word(char* word, std::size_t size);

    // The next token as a 32-bit integer; false when it is not one.
    bool Integer(std::int32_t& value);

    // The next token as a float; false when it is not one or is too large.
    bool Float(float& value);

    // Whether the rest of the file is long enough to hold `count` more
    // tokens: each takes a character and, but for the last, a separator.
    // False when the file cannot be measured. Loaders use it to refuse a
    // count the file could not hold before allocating for it.
    bool CanHold(long long count);

private:
    // The next token, at most `maxLength` characters, into `token` (which
    // holds maxLength + 1 bytes); its length, or -1 when there is none or it
    // is longer.
    long Next(char* token, std::size_t maxLength);

    FILE* file;
    long long size;  // of the whole file, -1 when unknown
};
