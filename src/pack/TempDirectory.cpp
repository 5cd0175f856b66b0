#include "pack/TempDirectory.h"

#include <cstdlib>
#include <filesystem>

std::string TempDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    if (!tmp || !*tmp) return "/tmp";
    // Made absolute at once: the run directory is entered before the base is
    // scanned for killed runs, and a relative base would be looked up from
    // inside it. One that cannot be made absolute is used as given.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(tmp, error);
    return error ? tmp : absolute.string();
}
