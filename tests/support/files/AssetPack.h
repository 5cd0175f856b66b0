// A pack holding every entry of the unpack table, for tests of the unpack cycle.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

// The bytes each entry of the test pack holds unless replaced: a real WAV
// file for the jump sound, a real MP3 file (LoudThenQuiet, support/Mp3File.h)
// for the music, a short text for every other entry (so a level unpacked
// from them does not load).
std::string TestAssetBytes(const std::string& entry);

// Writes the test pack as `file` in the canonical form; the entries named in
// `replacements` hold the bytes given there instead, and the `extra` entries
// (name and bytes) follow the table's.
void WriteTestAssetPack(const std::string& file, const std::map<std::string, std::string>& replacements = {},
                        const std::vector<std::pair<std::string, std::string>>& extra = {});
