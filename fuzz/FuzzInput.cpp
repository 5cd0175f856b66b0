#include "FuzzInput.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "pack/TempDirectory.h"

namespace fuzz {
namespace {

std::filesystem::path MakeDirectory() {
    std::string pattern = TempDirectory() + "/orvfuzz.XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("fuzz: cannot make a private directory");
        std::abort();
    }
    static const std::string removed = pattern;
    std::atexit([] { std::filesystem::remove_all(removed); });
    return pattern;
}

const std::filesystem::path& Directory() {
    static const std::filesystem::path directory = MakeDirectory();
    return directory;
}

}  // namespace

const char* PathOf(const char* name) {
    static std::map<std::string, std::string> paths;
    std::string& path = paths[name];
    if (path.empty()) path = (Directory() / name).string();
    return path.c_str();
}

const char* WriteInput(const std::uint8_t* data, std::size_t size, const char* name) {
    const char* path = PathOf(name);
    FILE* file = std::fopen(path, "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::perror("fuzz: cannot write the input file");
        std::abort();
    }
    return path;
}

}  // namespace fuzz
