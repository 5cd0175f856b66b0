// The tokens of the engine's own text data files: words (runs of characters
// other than white space), integers in the "%i" forms (decimal, "0x"
// hexadecimal or leading-zero octal, with an optional sign) and decimal
// floats. A number must make up its whole word: "12abc", "08" or "1.5" where
// an integer belongs is malformed rather than read in part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

class TokenReader {
public:
    // Reads `file` from its current position; the caller keeps and closes it.
    explicit TokenReader(FILE* file);

    // The next word into `buffer`, NUL-terminated. False at the end of the
    // file, for a word longer than capacity - 1 characters, or one holding a
    // NUL byte (which would cut it short).
    bool ReadWord(char* buffer, std::size_t capacity);

    // False at the end of the file, for a malformed word or a value beyond 32 bits.
    bool ReadInteger(std::int32_t& value);

    // False at the end of the file, for a malformed word or a value beyond the
    // float range.
    bool ReadFloat(float& value);

    // Bytes between the reading position and the end of the file; -1 when the
    // file's size cannot be measured.
    long long BytesLeft() const;

private:
    FILE* file;
    long long size;  // -1 when unknown
};
