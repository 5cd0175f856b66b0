// A pack holding every entry of the unpack table, for tests of the unpack cycle.
#pragma once

#include <string>

// The bytes each entry of the test pack holds: a real WAV file for the jump
// sound, a short text for every other entry.
std::string TestAssetBytes(const std::string& entry);

// Writes the test pack as `file` in the canonical form.
void WriteTestAssetPack(const std::string& file);
