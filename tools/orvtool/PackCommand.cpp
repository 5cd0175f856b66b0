// orvtool pack: builds asset packs through the pack writer and looks into
// them. Listing and extraction go through the engine's own pack reader, so
// they see a pack exactly as the engine does.
#include "orvtool/Commands.h"

#include <cstdio>
#include <string>
#include <vector>

#include "orvtool/InputFile.h"
#include "pack/Pack.h"
#include "pack/PackWriter.h"
#include "platform/core/AtomicFile.h"

namespace {

// Packs the files named by NAME=FILE specs, in their order.
int Create(const std::string& outPath, const std::vector<std::string>& specs) {
    PackWriter writer;
    std::string error;
    for (const std::string& spec : specs) {
        const std::string::size_type equals = spec.find('=');
        if (equals == std::string::npos) return Fail("'" + spec + "' is not NAME=FILE");
        if (!writer.AddFile(spec.substr(0, equals), spec.substr(equals + 1), error)) return Fail(error);
    }
    return writer.Write(outPath, error) ? 0 : Fail(error);
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
    } else if (std::string bytes, error; !ReadPackEntry(pack, name.c_str(), bytes)) {
        status = Fail("cannot extract '" + name + "': its data runs past the end of the pack");
    } else if (!WriteFileAtomically(filePath, {bytes}, error)) {
        status = Fail(error);
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
