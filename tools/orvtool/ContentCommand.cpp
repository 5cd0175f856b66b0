// orvtool content: the generators of the demo asset pack (textures, the jump
// sound, the music, the model) and the pack itself, in the unpack table's
// entry order.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/Unpack.h"
#include "compiler/LevelFile.h"
#include "content/JumpSound.h"
#include "content/LampModel.h"
#include "content/Music.h"
#include "content/Textures.h"
#include "orvtool/Commands.h"

namespace {

constexpr const char* kUsage =
    "usage: orvtool content texture NAME OUT | content jump OUT | content music OUT | "
    "content model LIGHTMAP OUT | content pack OUT DIR";

int Fail(const std::string& message, int status = 1) {
    std::fprintf(stderr, "orvtool: %s\n", message.c_str());
    return status;
}

int Write(const std::string& path, const std::string& bytes) {
    std::string error;
    return orvcompile::WriteFileAtomically(path, bytes, error) ? 0 : Fail(error);
}

// The width and height fields of a BMP's information header.
bool BmpSize(const std::string& path, int& width, int& height) {
    std::ifstream in(path, std::ios::binary);
    unsigned char header[26];
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || header[0] != 'B' || header[1] != 'M') return false;
    auto field = [&](int at) {
        return static_cast<std::int32_t>(header[at] | header[at + 1] << 8 | header[at + 2] << 16 |
                                         static_cast<std::uint32_t>(header[at + 3]) << 24);
    };
    width = field(18);
    height = field(22);
    return width > 0 && height > 0;
}

}  // namespace

// Hands "pack create OUT ENTRY=DIR/FILE ..." for every entry of the unpack
// table to the pack command, so the pack holds exactly what the engine unpacks.
int PackUnpackTable(const std::string& out, const std::string& dir) {
    std::vector<std::string> args = {"pack", "create", out};
    for (const auto& asset : kUnpackTable) args.push_back(std::string(asset.entry) + "=" + dir + "/" + asset.file);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    return PackCommand(static_cast<int>(argv.size()), argv.data());
}

int ContentCommand(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "texture") {
        orvcompile::Picture picture;
        if (!orvcontent::MakeTexture(args[1], picture)) return Fail("no texture is called '" + args[1] + "'");
        return Write(args[2], orvcompile::BmpBytes(picture));
    }
    if (args.size() == 2 && args[0] == "jump") return Write(args[1], orvcontent::JumpWav());
    if (args.size() == 2 && args[0] == "music") {
        std::string mp3, error;
        if (!orvcontent::EncodeMp3(orvcontent::RenderMusic(), mp3, error)) return Fail(error);
        return Write(args[1], mp3);
    }
    if (args.size() == 3 && args[0] == "model") {
        int width = 0, height = 0;
        if (!BmpSize(args[1], width, height)) return Fail("cannot read the lightmap page '" + args[1] + "'");
        return Write(args[2], orvcontent::LampModelText(width, height));
    }
    if (args.size() == 3 && args[0] == "pack") return PackUnpackTable(args[1], args[2]);
    return Fail(kUsage, 2);
}
