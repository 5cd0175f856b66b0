// orvtool pack build: from a map to a pack the engine runs. The level is
// compiled under the name the engine loads, its textures take the texture
// names of the unpack table and, beyond those, names of their own that go
// into the pack as extra entries (pack/ExtraAssets.h), as do its lightmap
// pages beyond the table's; the model is the demo's lamp, standing where an
// editor map's orvanthelix_model puts it, and the sound and the music come
// from the demo pack (or files given for any of the three).
// The unpack table's kinds say which entry of the pack is which. Every entry
// goes to the pack writer from memory, but for the files given, which it
// reads itself.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "compiler/LevelFile.h"
#include "compiler/editor/TextureImport.h"
#include "content/LampModel.h"
#include "content/LampSkin.h"
#include "content/ModelFile.h"
#include "content/Textures.h"
#include "orvtool/Commands.h"
#include "orvtool/InputFile.h"
#include "orvtool/MapInput.h"
#include "pack/ExtraAssets.h"
#include "pack/Pack.h"
#include "pack/PackWriter.h"
#include "pack/UnpackTable.h"

using namespace orvcompile;

namespace {

struct Options {
    MapSource source;
    std::string out, demo, model, sound, music;
};

// The words after "build"; none when they are not a command line the command takes.
std::optional<Options> ParseOptions(const std::vector<std::string>& args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const int taken = TakeMapOption(args, i, options.source);
        if (taken < 0) return std::nullopt;
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
            return std::nullopt;
        }
    }
    if (options.source.path.empty() || options.out.empty()) return std::nullopt;
    return options;
}

// The file name without its extension: the name the engine knows the level
// and a texture by.
std::string Stem(const char* file) {
    const std::string name = file;
    return name.substr(0, name.find('.'));
}

// What the engine unpacks of the level: its name, the unpack table's number
// of lightmap pages, its texture names and the names of all its files.
struct Slots {
    std::string level;
    int pages = 0;
    std::vector<std::string> textures;
    std::set<std::string> files;  // without ".bmp" and the like
};

Slots UnpackSlots() {
    Slots slots;
    for (const UnpackedAsset& asset : kUnpackTable) {
        if (asset.kind == AssetKind::Level) slots.level = Stem(asset.file);
        if (asset.kind == AssetKind::LightmapPage) ++slots.pages;
        if (asset.kind == AssetKind::Texture) slots.textures.push_back(Stem(asset.file));
        slots.files.insert(Stem(asset.file));
    }
    return slots;
}

// The map compiled under the engine's level name, with the pictures of all
// its textures; false when it does not compile or needs more lightmap pages
// than the engine takes (the table's and the extras).
bool CompileForEngine(const Options& options, const Slots& slots, BuiltLevel& built, std::string& error) {
    const int pages = slots.pages + kMaxExtraLightmapPages;
    if (!BuildMapFile(options.source, slots.level, pages, TexturePictures::EveryMap, built, error)) return false;
    if (built.level.lightmaps.pages.size() <= static_cast<std::size_t>(pages)) return true;
    error = options.source.path + ": the level has " + std::to_string(built.level.lightmaps.pages.size()) +
            " lightmap pages; the engine takes " + std::to_string(pages);
    return false;
}

// The demo's lamp's skin, lit where the lamp stands in this level and
// painted into every page's model patch, as the demo level's is.
void PaintLampSkinIntoPages(const Options& options, BuiltLevel& built) {
    // The lamp stands in the finished level, in its units.
    LightSettings settings = SettingsOf(built.map);
    settings.lights = built.level.lights;
    settings.dirtDistance *= built.map.levelScale;
    const Picture skin = orvcontent::PaintLampSkin(settings, built.level.tree, built.level.brushes.planes,
                                                   options.source.threads, built.model ? &*built.model : nullptr);
    for (Picture& page : built.level.lightmaps.pages) orvcontent::PutSkin(skin, page);
}

// The pack's model, made before the pages are written, since the lamp's skin
// goes into them: the lamp (or the file given) where the map's
// orvanthelix_model stands it; for an editor map without one the empty model
// (or the file given, as it is, with a warning); for the engine's own maps,
// as before, the lamp where it stands in the demo level or the file as it is.
// Nothing in `text` means the file given goes in as it is.
bool MakeModel(const Options& options, BuiltLevel& built, std::optional<std::string>& text, std::string& error) {
    const int pageSize = built.level.lightmaps.pageSize;
    const ModelPlace* place = built.model ? &*built.model : nullptr;
    if (!options.model.empty()) {
        if (place) {
            const InputFile input(options.model);  // the engine's loader measures the file
            std::string placed;
            if (input.Path().empty()) {
                error = input.Error();
                return false;
            }
            if (!orvcontent::PlacedModelText(input.Path(), *place, placed)) {
                error = "cannot place the model '" + options.model + "': it is no model file the engine loads";
                return false;
            }
            text = placed;
        } else if (built.fromEditor) {
            Warn("the map has no " + std::string(kModelEntity) + ": the model '" + options.model +
                 "' goes in as it is, where the engine stands its model");
        }
        return true;
    }
    if (built.fromEditor && !place) {
        text = orvcontent::EmptyModelText();
        return true;
    }
    PaintLampSkinIntoPages(options, built);
    text = orvcontent::LampModelText(pageSize, pageSize, place);
    return true;
}

Vec3 MeanColour(const Picture& picture) {
    Vec3 sum;
    for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3)
        sum = sum + Vec3{double(picture.rgb[i]), double(picture.rgb[i + 1]), double(picture.rgb[i + 2])};
    return sum * (1.0 / static_cast<double>(std::max<std::size_t>(1, picture.rgb.size() / 3)));
}

// The level's textures that cover some area, largest first (equal areas in
// the level's order).
std::vector<const LevelTexturePicture*> TexturesByArea(const BuiltLevel& built) {
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
    return order;
}

struct SlotAssignment {
    std::map<std::string, std::string> slotOf;      // the level's texture name → the engine's
    std::map<std::string, const Picture*> picture;  // the engine's name → the picture it gets
    std::vector<std::string> extras;                // the engine's names beyond the table's, in order
};

// Gives each of `rest` the engine's name of the texture of `kept` nearest in
// colour; returns the list of them ("a drawn with b's picture, ...").
std::string ShareNearestInColour(const std::vector<const LevelTexturePicture*>& kept,
                                 const std::vector<const LevelTexturePicture*>& rest, SlotAssignment& assignment) {
    std::string shared;
    for (const LevelTexturePicture* texture : rest) {
        const Vec3 colour = MeanColour(texture->picture);
        const LevelTexturePicture* nearest = kept.front();
        for (const LevelTexturePicture* other : kept)
            if (Length(MeanColour(other->picture) - colour) < Length(MeanColour(nearest->picture) - colour))
                nearest = other;
        assignment.slotOf[texture->name] = assignment.slotOf[nearest->name];
        shared += (shared.empty() ? "" : ", ") + texture->name + " drawn with " + nearest->name + "'s picture";
    }
    return shared;
}

// Gives every texture of the level a name the engine unpacks: a texture
// already named as one of the table's keeps it, the others take the table's
// free names by the area they cover, largest first, then names of their own
// (short enough for the pack's entry names, none of another file's) as extra
// entries; when there are more textures than the engine takes, the rest share
// the name of the kept texture nearest in colour.
SlotAssignment AssignSlots(const BuiltLevel& built, const Slots& unpacked) {
    const std::vector<std::string>& slots = unpacked.textures;
    std::set<std::string> taken = unpacked.files;
    for (const std::string& page : built.level.pageNames) taken.insert(page);
    const std::vector<const LevelTexturePicture*> order = TexturesByArea(built);
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
            if (!free.empty()) {
                slotOf[texture->name] = free.front();
                free.erase(free.begin());
            } else if (assignment.extras.size() < static_cast<std::size_t>(kMaxExtraTextures)) {
                slotOf[texture->name] = EngineTextureName(texture->name, taken, kMaxExtraTextureName);
                assignment.extras.push_back(slotOf[texture->name]);
            } else {
                rest.push_back(texture);
                continue;
            }
        }
        kept.push_back(texture);
        assignment.picture[slotOf[texture->name]] = &texture->picture;
    }
    const std::string shared = ShareNearestInColour(kept, rest, assignment);
    if (!rest.empty())
        Warn("the engine unpacks " + std::to_string(slots.size() + kMaxExtraTextures) + " textures; the level's " +
             std::to_string(rest.size()) + " smallest of " + std::to_string(order.size()) +
             " share the picture of the one nearest in colour: " + shared);
    return assignment;
}

// Renames the level's textures to the engine's names and writes its level
// text again with them.
void RenameTextures(const SlotAssignment& assignment, const std::string& level, BuiltLevel& built) {
    for (auto& leaf : built.level.polygons)
        for (LevelPolygon& polygon : leaf)
            if (!polygon.textureName.empty()) polygon.textureName = assignment.slotOf.at(polygon.textureName);
    built.level.levelText = LevelText(built.level.tree, built.level.brushes.planes, built.level.polygons, level);
}

// The engine's own picture of the texture `name`, as a BMP file.
std::string EngineTextureBmp(const std::string& name) {
    Picture picture;
    orvcontent::MakeTexture(name, picture);
    return BmpBytes(picture);
}

// The picture the level gave the engine's texture name `slot`; a name no
// texture takes keeps the engine's own picture.
std::string TextureBmp(const SlotAssignment& assignment, const std::string& slot) {
    const auto at = assignment.picture.find(slot);
    return at == assignment.picture.end() ? EngineTextureBmp(slot) : BmpBytes(*at->second);
}

// Lightmap page number `page`; pages the level does not use hold one white
// texel block.
std::string PageBmp(const Lightmaps& lightmaps, std::size_t page) {
    if (page < lightmaps.pages.size()) return BmpBytes(lightmaps.pages[page]);
    return BmpBytes(Picture{4, 4, std::vector<std::uint8_t>(std::size_t{4} * 4 * 3, 255)});
}

// The demo pack beside orvtool, where the build puts both.
std::string DefaultDemoPack() {
    std::error_code code;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", code);
    return (code ? std::filesystem::path(".") : self.parent_path()) / kPackFileName;
}

// Adds the asset from the file given, else the demo pack's entry.
bool AddGivenOrDemo(const std::string& given, const std::string& demo, const char* entry, PackWriter& writer,
                    std::string& error) {
    if (!given.empty()) return writer.AddFile(entry, given, error);
    FILE* pack = OpenPack(demo.c_str());
    std::string bytes;
    const bool read = pack && ReadPackEntry(pack, entry, bytes);
    ClosePack(pack);
    if (!read) {
        error = "cannot take '" + std::string(entry) + "' from the demo pack '" + demo +
                "' (give another with --demo PACK, or the file itself)";
        return false;
    }
    return writer.Add(entry, std::move(bytes), error);
}

// Adds every entry of the unpack table, each made as its kind asks.
bool AddRunFiles(const Options& options, const BuiltLevel& built, const SlotAssignment& assignment,
                 const std::optional<std::string>& model, PackWriter& writer, std::string& error) {
    const Lightmaps& lightmaps = built.level.lightmaps;
    const std::string demo = options.demo.empty() ? DefaultDemoPack() : options.demo;
    std::size_t page = 0;
    for (const UnpackedAsset& asset : kUnpackTable) {
        bool added = false;
        switch (asset.kind) {
        case AssetKind::Level:
            added = writer.Add(asset.entry, built.level.levelText, error);
            break;
        case AssetKind::LightmapPage:
            added = writer.Add(asset.entry, PageBmp(lightmaps, page++), error);
            break;
        case AssetKind::BlankLightmap:
            added = writer.Add(asset.entry, EngineTextureBmp(Stem(asset.file)), error);
            break;
        case AssetKind::Texture:
            added = writer.Add(asset.entry, TextureBmp(assignment, Stem(asset.file)), error);
            break;
        case AssetKind::Model:
            added = model ? writer.Add(asset.entry, *model, error) : writer.AddFile(asset.entry, options.model, error);
            break;
        case AssetKind::Sound:
            added = AddGivenOrDemo(options.sound, demo, asset.entry, writer, error);
            break;
        case AssetKind::Music:
            added = AddGivenOrDemo(options.music, demo, asset.entry, writer, error);
            break;
        }
        if (!added) return false;
    }
    for (const std::string& name : assignment.extras)
        if (!writer.Add(ExtraTextureEntry(name), BmpBytes(*assignment.picture.at(name)), error)) return false;
    for (std::size_t extra = page; extra < lightmaps.pages.size(); ++extra)
        if (!writer.Add(ExtraLightmapEntry(built.level.pageNames[extra]), PageBmp(lightmaps, extra), error))
            return false;
    return true;
}

}  // namespace

int PackBuildCommand(int argc, char** argv) {
    const std::optional<Options> options = ParseOptions({argv + 1, argv + argc});
    if (!options) return UsageError("pack");

    const Slots slots = UnpackSlots();
    BuiltLevel built;
    std::string error;
    if (!CompileForEngine(*options, slots, built, error)) return Fail(error);
    std::optional<std::string> model;
    if (!MakeModel(*options, built, model, error)) return Fail(error);
    const SlotAssignment assignment = AssignSlots(built, slots);
    RenameTextures(assignment, slots.level, built);
    PackWriter writer;
    if (!AddRunFiles(*options, built, assignment, model, writer, error) || !writer.Write(options->out, error))
        return Fail(error);
    std::printf("wrote %s\n", options->out.c_str());
    return 0;
}
