#include "platform/core/Files.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace {

std::vector<FILE*>& OpenStreams() {
    static std::vector<FILE*> streams;
    return streams;
}

}  // namespace

std::string ResolveFileName(const std::string& name) {
    struct stat info;
    if (stat(name.c_str(), &info) == 0) return name;

    std::string::size_type slash = name.rfind('/');
    std::string directory = slash == std::string::npos ? "." : name.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    std::string prefix = slash == std::string::npos ? "" : directory;

    DIR* dir = opendir(directory.c_str());
    if (!dir) return name;
    std::string best;
    while (dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, base.c_str()) == 0 && (best.empty() || best > entry->d_name))
            best = entry->d_name;
    }
    closedir(dir);
    return best.empty() ? name : prefix + best;
}

FILE* OpenFile(const char* name, const char* mode) { return OpenExactFile(ResolveFileName(name).c_str(), mode); }

FILE* OpenExactFile(const char* name, const char* mode) {
    FILE* stream = std::fopen(name, mode);
    if (stream) OpenStreams().push_back(stream);
    return stream;
}

int CloseFile(FILE* stream) {
    std::erase(OpenStreams(), stream);
    return std::fclose(stream);
}

int _fcloseall() {
    auto streams = std::move(OpenStreams());
    OpenStreams().clear();
    for (FILE* stream : streams) std::fclose(stream);
    return static_cast<int>(streams.size());
}
