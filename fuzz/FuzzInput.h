// What every fuzz target shares: the engine's readers take file names, so
// each input is written to a file of the process's own private directory
// first, and read from there the way the engine reads its unpacked assets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Writes the input to `name` in the private directory and returns its path,
// valid until the next call with the same name. The directory and what is in
// it go when the process exits.
const char* WriteInput(const std::uint8_t* data, std::size_t size, const char* name = "input");

// The path `name` would have in the private directory, for files a reader writes.
const char* PathOf(const char* name);

}  // namespace fuzz
