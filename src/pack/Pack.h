// The asset pack reader. A pack is a text header (an entry count, then one
// name and size per entry, then exactly one separator byte) followed by the
// raw data of each entry, with one separator byte between entries. Header
// numbers take the "%i" forms: decimal, 0x hexadecimal or leading-0 octal,
// with an optional sign.
//
// Only one pack is open at a time; its directory lives in the globals below
// from OpenPack until ClosePack.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct PackEntry {
    char name[16];        // at most 15 characters, NUL-terminated
    std::int32_t offset;  // position of the entry's data in the pack
    std::int32_t size;    // length of the entry's data in bytes
};

extern std::int32_t g_PackEntryCount;  // 0 while no pack is open
extern PackEntry* g_PackEntries;       // header order; null while no pack is open

// Opens the pack for binary reading and fills the directory. Returns null when
// the file cannot be opened or its header is malformed (an unreadable,
// negative or impossibly large count; a name longer than 15 characters; an
// unreadable, negative or over-32-bit size; an offset beyond 32 bits; no
// separator byte after the header); the directory then stays empty.
FILE* OpenPack(const char* fileName);

// The first entry whose name equals `entryName` exactly (case-sensitive), or
// null when the open pack has none.
const PackEntry* FindPackEntry(const char* entryName);

// Copies the entry's bytes into a new file of exactly the name `fileName` (a
// file whose name differs only in case is left alone). Returns 1 on success, 0
// when the entry is missing, its data runs past the end of the pack (no file is
// created then), or the file cannot be written: then a partly written file is
// removed and `writeError`, when given, is set to the system's reason. The pack
// stays open.
std::int32_t ExtractPackEntry(FILE* pack, const char* entryName, const char* fileName, int* writeError = nullptr);

// Reads the entry's bytes into `bytes`. False when the entry is missing or its
// data runs past the end of the pack or cannot be read; `bytes` is then left
// as it was. The pack stays open.
bool ReadPackEntry(FILE* pack, const char* entryName, std::string& bytes);

// Closes the pack and empties the directory; does nothing for a null pack.
void ClosePack(FILE* pack);
