#include "app/Unpack.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/Pack.h"

const std::array<UnpackedAsset, 25> kUnpackTable = {{
    {"TEXTUREBOX0", "box0.bmp"},
    {"TEXTURECEILING0", "ceiling0.bmp"},
    {"TEXTUREDOOR0", "door0.bmp"},
    {"TEXTUREDOOR1", "door1.bmp"},
    {"TEXTUREFLOOR0", "floor0.bmp"},
    {"TEXTUREFLOOR1", "floor1.bmp"},
    {"SOUNDJUMP", "jump.wav"},
    {"LMAPLMBLANK", "lmblank.bmp"},
    {"TEXTUREMFRAME0", "mainframe0.bmp"},
    {"TEXTURERAMP0", "ramp0.bmp"},
    {"TEXTURESTAIR0", "stair0.bmp"},
    {"LEVELTEST", "test.bsp"},
    {"MODELTEST", "test.mdl"},
    {"MP3TEST", "test.mp3"},
    {"LMAPTEST-LM000", "test-lm000.bmp"},
    {"LMAPTEST-LM001", "test-lm001.bmp"},
    {"LMAPTEST-LM002", "test-lm002.bmp"},
    {"LMAPTEST-LM003", "test-lm003.bmp"},
    {"LMAPTEST-LM004", "test-lm004.bmp"},
    {"TEXTUREWALL0", "wall0.bmp"},
    {"TEXTUREWALL1", "wall1.bmp"},
    {"TEXTUREWALL2", "wall2.bmp"},
    {"TEXTUREWALL3", "wall3.bmp"},
    {"TEXTUREWALL4", "wall4.bmp"},
    {"TEXTUREWALL5", "wall5.bmp"},
}};

namespace {

std::string g_StartDirectory;
std::string g_RunDirectory;  // empty while there is none

bool EnterRunDirectory() {
    char* start = getcwd(nullptr, 0);
    if (!start) return false;
    g_StartDirectory = start;
    std::free(start);

    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvanthelix-XXXXXX";
    if (!mkdtemp(pattern.data())) return false;
    if (chdir(pattern.c_str()) != 0) {
        rmdir(pattern.c_str());
        return false;
    }
    g_RunDirectory = pattern;
    return true;
}

}  // namespace

void UnpackAssets() {
    FILE* pack = OpenPack(kPackFileName);
    if (EnterRunDirectory()) {
        for (const auto& asset : kUnpackTable) ExtractPackEntry(pack, asset.entry, asset.file);
    }
    ClosePack(pack);
}

void DeleteUnpackedAssets() {
    // Without a run directory nothing was extracted, and the current directory
    // is the user's own: nothing there is ours to delete.
    if (g_RunDirectory.empty()) return;
    for (const auto& asset : kUnpackTable) std::remove(asset.file);
    std::error_code ignored;  // the absolute path below removes it from anywhere
    std::filesystem::current_path(g_StartDirectory, ignored);
    rmdir(g_RunDirectory.c_str());  // only when empty: a stray file of another's stays
    g_RunDirectory.clear();
}
