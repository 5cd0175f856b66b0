// orvtool content: the generators of the demo asset pack (textures, the jump
// sound, the music, the level with its model) and the pack itself, in the
// unpack table's entry order.
#include <cstdio>
#include <string>
#include <vector>

#include "compiler/Compile.h"
#include "compiler/LevelFile.h"
#include "compiler/editor/BuildLevel.h"
#include "compiler/light/Lighting.h"
#include "content/JumpSound.h"
#include "content/LampModel.h"
#include "content/LampSkin.h"
#include "content/Music.h"
#include "content/Textures.h"
#include "orvtool/Commands.h"
#include "pack/PackWriter.h"
#include "pack/UnpackTable.h"
#include "platform/core/AtomicFile.h"

namespace {

int Write(const std::string& path, const std::string& bytes) {
    std::string error;
    return WriteFileAtomically(path, {bytes}, error) ? 0 : Fail(error);
}

// The level compiled with the lamp's bulb among its lights, the lamp's skin
// painted into every page's model patch (whichever page the engine binds
// first, the lamp finds its skin there), and the lamp as LEVEL.mdl.
int Level(const std::string& mapPath, const std::string& dir) {
    std::string text, error;
    if (!orvcompile::ReadMapText(mapPath, text, error)) return Fail(error);
    orvcompile::Reporter reporter(mapPath, Warn);
    orvcompile::Map map;
    if (!orvcompile::ParseMap(text, map, reporter)) return Fail(reporter.Error());
    map.lights.push_back(orvcontent::BulbLight());
    orvcompile::CompiledLevel level;
    if (!orvcompile::Compile(map, {}, level, reporter)) return Fail(reporter.Error());
    const orvcompile::Picture skin =
        orvcontent::PaintLampSkin(orvcompile::SettingsOf(map), level.tree, level.brushes.planes, 2);
    for (orvcompile::Picture& page : level.lightmaps.pages) orvcontent::PutSkin(skin, page);
    if (!orvcompile::WriteOutputs(map, level, dir, error)) return Fail(error);
    const int size = level.lightmaps.pageSize;
    return Write(dir + "/" + map.level + ".mdl", orvcontent::LampModelText(size, size));
}

// Packs every file of the unpack table, found by its file name in `dir`, under
// its entry name, so the pack holds exactly what the engine unpacks.
int Pack(const std::string& out, const std::string& dir) {
    PackWriter writer;
    std::string error;
    for (const auto& asset : kUnpackTable) {
        if (!writer.AddFile(asset.entry, dir + "/" + asset.file, error)) return Fail(error);
    }
    return writer.Write(out, error) ? 0 : Fail(error);
}

}  // namespace

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
    if (args.size() == 3 && args[0] == "level") return Level(args[1], args[2]);
    if (args.size() == 3 && args[0] == "pack") return Pack(args[1], args[2]);
    return UsageError("content");
}
