// orvtool pack: builds asset packs and looks into them. Listing and extraction
// go through the engine's own pack reader, so they see a pack exactly as the
// engine does.
#include "orvtool/Commands.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "orvtool/InputFile.h"
#include "pack/Pack.h"

namespace {

struct InputEntry {
    std::string name;
    std::string data;
};

bool ReadWholeFile(const std::string& path, std::string& data) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return false;
    char buffer[65536];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, in)) > 0) data.append(buffer, count);
    const bool ok = !std::ferror(in);
    std::fclose(in);
    return ok;
}

// Why the reader could not take `name` back out of a pack, or "" when it can.
std::string NameProblem(const std::string& name, const std::vector<InputEntry>& earlier) {
    if (name.empty()) return "an entry name is empty";
    if (name.size() >= sizeof(PackEntry::name)) return "entry name '" + name + "' is longer than 15 characters";
    for (unsigned char c : name) {
        if (std::isspace(c)) return "entry name '" + name + "' contains white space";
    }
    for (const InputEntry& entry : earlier) {
        if (entry.name == name) return "entry name '" + name + "' is given twice";
    }
    return "";
}

bool WriteAll(FILE* out, const std::string& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

// Writes the canonical form: decimal count, one "NAME SIZE" line per entry
// (the last line feed is the separator), then each entry's data followed by a
// line feed.
bool WritePack(FILE* out, const std::vector<InputEntry>& entries) {
    std::string header = std::to_string(entries.size()) + "\n";
    for (const InputEntry& entry : entries) header += entry.name + " " + std::to_string(entry.data.size()) + "\n";
    if (!WriteAll(out, header)) return false;
    for (const InputEntry& entry : entries) {
        if (!WriteAll(out, entry.data) || std::fputc('\n', out) == EOF) return false;
    }
    return true;
}

int Create(const std::string& outPath, const std::vector<std::string>& specs) {
    std::vector<InputEntry> entries;
    // Offsets are 32-bit, so the whole pack must stay within that range.
    long long packSize = std::to_string(specs.size()).size() + 1;
    for (const std::string& spec : specs) {
        const std::string::size_type equals = spec.find('=');
        if (equals == std::string::npos) return Fail("'" + spec + "' is not NAME=FILE");
        InputEntry entry{spec.substr(0, equals), ""};
        const std::string path = spec.substr(equals + 1);
        const std::string problem = NameProblem(entry.name, entries);
        if (!problem.empty()) return Fail(problem);
        if (!ReadWholeFile(path, entry.data)) return Fail("cannot read '" + path + "': " + std::strerror(errno));
        packSize += entry.name.size() + std::to_string(entry.data.size()).size() + 2 + entry.data.size() + 1;
        if (packSize > std::numeric_limits<std::int32_t>::max()) return Fail("the pack would be larger than 2 GiB");
        entries.push_back(std::move(entry));
    }

    // Written beside OUT and renamed into place, so that a failure never
    // leaves a half-written pack under OUT's name.
    const std::string tempPath = outPath + ".tmp" + std::to_string(getpid());
    FILE* out = std::fopen(tempPath.c_str(), "wbx");
    if (!out) return Fail("cannot create '" + tempPath + "': " + std::strerror(errno));
    bool written = WritePack(out, entries);
    written = std::fclose(out) == 0 && written;
    if (!written || std::rename(tempPath.c_str(), outPath.c_str()) != 0) {
        const int error = errno;
        std::remove(tempPath.c_str());
        return Fail("cannot write '" + outPath + "': " + std::strerror(error));
    }
    return 0;
}

int List(const std::string& packPath) {
    const InputFile input(packPath);
    if (input.Path().empty()) return Fail(input.Error());
    FILE* pack = OpenPack(input.Path().c_str());
    if (!pack) return Fail("cannot open pack '" + packPath + "' or its header is malformed");
    for (std::int32_t i = 0; i < g_PackEntryCount; ++i) {
        const PackEntry& entry = g_PackEntries[i];
        std::printf("%s %d %d\n", entry.name, static_cast<int>(entry.offset), static_cast<int>(entry.size));
    }
    ClosePack(pack);
    if (std::fflush(stdout) != 0) return Fail("cannot write the listing");
    return 0;
}

int Extract(const std::string& packPath, const std::string& name, const std::string& filePath) {
    const InputFile input(packPath);
    if (input.Path().empty()) return Fail(input.Error());
    FILE* pack = OpenPack(input.Path().c_str());
    if (!pack) return Fail("cannot open pack '" + packPath + "' or its header is malformed");
    int status = 0;
    if (!FindPackEntry(name.c_str())) {
        status = Fail("pack '" + packPath + "' has no entry '" + name + "'");
    } else if (!ExtractPackEntry(pack, name.c_str(), filePath.c_str())) {
        status = Fail("cannot extract '" + name + "': its data runs past the end of the pack or '" + filePath +
                      "' cannot be written");
    }
    ClosePack(pack);
    return status;
}

}  // namespace

int PackCommand(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 3 && args[0] == "create")
        return Create(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    if (!args.empty() && args[0] == "build") return PackBuildCommand(argc - 1, argv + 1);
    if (args.size() == 2 && args[0] == "list") return List(args[1]);
    if (args.size() == 4 && args[0] == "extract") return Extract(args[1], args[2], args[3]);
    return UsageError("pack");
}
