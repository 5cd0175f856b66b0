// orvtool pack build: from a map to a pack the engine runs. The level is
// compiled under the name the engine loads, its textures take the texture
// names the engine unpacks, and the sound, the music and the model come from
// the demo pack (or files given).
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "compiler/LevelFile.h"
#include "content/LampModel.h"
#include "content/LampSkin.h"
#include "content/Textures.h"
#include "orvtool/Commands.h"
#include "orvtool/MapInput.h"
#include "pack/Pack.h"
#include "pack/TempDirectory.h"
#include "pack/UnpackTable.h"

using namespace orvcompile;

namespace {

struct Options {
    MapSource source;
    std::string out, demo, model, sound, music;
};

// What the engine unpacks, by kind: the level file's name without ".bsp", its
// lightmap page files and texture names (file names without ".bmp").
struct Slots {
    std::string level;
    std::vector<std::string> pages;
    std::vector<std::string> textures;
};

Slots UnpackSlots() {
    Slots slots;
    for (const auto& asset : kUnpackTable) {
        const std::string entry = asset.entry, file = asset.file;
        const std::string stem = file.substr(0, file.find('.'));
        if (entry.rfind("LEVEL", 0) == 0) slots.level = stem;
        if (entry.rfind("TEXTURE", 0) == 0) slots.textures.push_back(stem);
    }
    for (const auto& asset : kUnpackTable)
        if (std::string(asset.file).rfind(slots.level + "-lm", 0) == 0) slots.pages.push_back(asset.file);
    return slots;
}

Vec3 MeanColour(const Picture& picture) {
    Vec3 sum;
    for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3)
        sum = sum + Vec3{double(picture.rgb[i]), double(picture.rgb[i + 1]), double(picture.rgb[i + 2])};
    return sum * (1.0 / std::max<std::size_t>(1, picture.rgb.size() / 3));
}

struct SlotAssignment {
    std::map<std::string, std::string> slotOf;      // the level's texture name → the engine's
    std::map<std::string, const Picture*> picture;  // the engine's name → the picture it gets
};

// Gives every texture of the level one of the engine's texture names: a
// texture already named so keeps it, the others take the free names by the
// area they cover, largest first; when there are more textures than names,
// the rest share the name of the kept texture nearest in colour.
SlotAssignment AssignSlots(const BuiltLevel& built, const std::vector<std::string>& slots) {
    std::map<std::string, double> area;
    for (const auto& leaf : built.level.polygons)
        for (const LevelPolygon& polygon : leaf)
            area[polygon.textureName] += Length(Cross(polygon.v[1].position - polygon.v[0].position,
                                                      polygon.v[2].position - polygon.v[0].position)) /
                                         2;
    std::vector<const LevelTexturePicture*> order;
    for (const LevelTexturePicture& texture : built.textures)
        if (area.count(texture.name)) order.push_back(&texture);
    std::stable_sort(order.begin(), order.end(),
                     [&](const auto* a, const auto* b) { return area[a->name] > area[b->name]; });

    SlotAssignment assignment;
    std::map<std::string, std::string>& slotOf = assignment.slotOf;
    std::vector<std::string> free;
    for (const std::string& slot : slots) {
        const bool named = std::any_of(order.begin(), order.end(), [&](const auto* t) { return t->name == slot; });
        if (named)
            slotOf[slot] = slot;
        else
            free.push_back(slot);
    }
    std::vector<const LevelTexturePicture*> kept, rest;
    for (const LevelTexturePicture* texture : order) {
        if (!slotOf.count(texture->name)) {
            if (free.empty()) {
                rest.push_back(texture);
                continue;
            }
            slotOf[texture->name] = free.front();
            free.erase(free.begin());
        }
        kept.push_back(texture);
        assignment.picture[slotOf[texture->name]] = &texture->picture;
    }
    std::string shared;
    for (const LevelTexturePicture* texture : rest) {
        const Vec3 colour = MeanColour(texture->picture);
        const LevelTexturePicture* nearest = kept.front();
        for (const LevelTexturePicture* other : kept)
            if (Length(MeanColour(other->picture) - colour) < Length(MeanColour(nearest->picture) - colour))
                nearest = other;
        slotOf[texture->name] = slotOf[nearest->name];
        shared += (shared.empty() ? "" : ", ") + texture->name + " as " + nearest->name;
    }
    if (!rest.empty())
        std::fprintf(stderr,
                     "orvtool: warning: the engine unpacks %zu textures; the level's %zu smallest of %zu share "
                     "the picture of the one nearest in colour: %s\n",
                     slots.size(), rest.size(), order.size(), shared.c_str());
    return assignment;
}

bool CopyFile(const std::string& from, const std::string& to, std::string& error) {
    std::error_code code;
    if (std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, code)) return true;
    error = "cannot copy '" + from + "': " + code.message();
    return false;
}

// The demo pack beside orvtool, where the build puts both.
std::string DefaultDemoPack() {
    std::error_code code;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", code);
    return (code ? std::filesystem::path(".") : self.parent_path()) / kPackFileName;
}

bool ExtractDemo(const std::string& demo, const char* entry, const std::string& to, std::string& error) {
    FILE* pack = OpenPack(demo.c_str());
    const bool ok = pack && FindPackEntry(entry) && ExtractPackEntry(pack, entry, to.c_str());
    ClosePack(pack);
    if (!ok)
        error = "cannot take '" + std::string(entry) + "' from the demo pack '" + demo +
                "' (give another with --demo PACK, or the file itself)";
    return ok;
}

// Writes every file of the unpack table into `dir`.
bool WriteRunFiles(const Options& options, const BuiltLevel& built, const Slots& slots,
                   const SlotAssignment& assignment, const std::string& dir, std::string& error) {
    const Lightmaps& lightmaps = built.level.lightmaps;
    if (!WriteFileAtomically(dir + "/" + slots.level + ".bsp", built.level.levelText, error)) return false;
    for (std::size_t page = 0; page < slots.pages.size(); ++page) {
        // Pages the level does not use hold one white texel block.
        const Picture unused{4, 4, std::vector<std::uint8_t>(4 * 4 * 3, 255)};
        const Picture& picture = page < lightmaps.pages.size() ? lightmaps.pages[page] : unused;
        if (!WriteFileAtomically(dir + "/" + slots.pages[page], BmpBytes(picture), error)) return false;
    }
    for (const std::string& slot : slots.textures) {
        Picture own;  // a name no texture takes keeps the engine's own picture
        const auto at = assignment.picture.find(slot);
        if (at == assignment.picture.end()) orvcontent::MakeTexture(slot, own);
        const Picture& picture = at == assignment.picture.end() ? own : *at->second;
        if (!WriteFileAtomically(dir + "/" + slot + ".bmp", BmpBytes(picture), error)) return false;
    }
    Picture blank;
    orvcontent::MakeTexture("lmblank", blank);
    if (!WriteFileAtomically(dir + "/lmblank.bmp", BmpBytes(blank), error)) return false;

    const std::string demo = options.demo.empty() ? DefaultDemoPack() : options.demo;
    for (const auto& asset : kUnpackTable) {
        const std::string file = asset.file, to = dir + "/" + file;
        const std::string extension = file.substr(file.find('.'));
        const std::string* given = extension == ".wav"   ? &options.sound
                                   : extension == ".mp3" ? &options.music
                                   : extension == ".mdl" ? &options.model
                                                         : nullptr;
        if (!given) continue;  // the level, its pages and the textures are written above
        if (!given->empty()) {
            if (!CopyFile(*given, to, error)) return false;
        } else if (extension == ".mdl") {
            // The demo's lamp, pointed at the model patch of the pages, where its skin is painted.
            const std::string model = orvcontent::LampModelText(lightmaps.pageSize, lightmaps.pageSize);
            if (!WriteFileAtomically(to, model, error)) return false;
        } else if (!ExtractDemo(demo, asset.entry, to, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace

int PackBuildCommand(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const int taken = TakeMapOption(args, i, options.source);
        if (taken < 0) return UsageError("pack");
        if (taken > 0) continue;
        std::string* value = arg == "-o"        ? &options.out
                             : arg == "--demo"  ? &options.demo
                             : arg == "--model" ? &options.model
                             : arg == "--sound" ? &options.sound
                             : arg == "--music" ? &options.music
                                                : nullptr;
        if (value && i + 1 < args.size() && !args[i + 1].empty()) {
            *value = args[++i];
        } else if (!value && options.source.path.empty() && !arg.empty() && arg[0] != '-') {
            options.source.path = arg;
        } else {
            return UsageError("pack");
        }
    }
    if (options.source.path.empty() || options.out.empty()) return UsageError("pack");

    const Slots slots = UnpackSlots();
    BuiltLevel built;
    std::string error;
    if (!BuildLevel(options.source, slots.level, static_cast<int>(slots.pages.size()), true, built, error))
        return Fail(error);
    if (built.level.lightmaps.pages.size() > slots.pages.size())
        return Fail(options.source.path + ": the level has " + std::to_string(built.level.lightmaps.pages.size()) +
                    " lightmap pages; the engine unpacks " + std::to_string(slots.pages.size()));

    // Without a model of its own the level gets the demo's lamp, whose skin is
    // lit where it stands in this level and painted into every page's model
    // patch, as the demo level's is.
    if (options.model.empty()) {
        const Picture skin = orvcontent::PaintLampSkin(SettingsOf(built.map), built.level.tree,
                                                       built.level.brushes.planes, options.source.threads);
        for (Picture& page : built.level.lightmaps.pages) orvcontent::PutSkin(skin, page);
    }

    const SlotAssignment assignment = AssignSlots(built, slots.textures);
    for (auto& leaf : built.level.polygons)
        for (LevelPolygon& polygon : leaf)
            if (!polygon.textureName.empty()) polygon.textureName = assignment.slotOf.at(polygon.textureName);
    built.level.levelText = LevelText(built.level.tree, built.level.brushes.planes, built.level.polygons, slots.level);

    std::string dir = TempDirectory() + "/orvtool-pack-XXXXXX";
    if (!mkdtemp(dir.data())) return Fail("cannot make a working directory under '" + dir + "'");
    const bool written = WriteRunFiles(options, built, slots, assignment, dir, error);
    const int status = written ? PackUnpackTable(options.out, dir) : Fail(error);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    if (status == 0) std::printf("wrote %s\n", options.out.c_str());
    return status;
}
