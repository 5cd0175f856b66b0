#include "pack/TempDirectory.h"

#include <cstdlib>

std::string TempDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}
