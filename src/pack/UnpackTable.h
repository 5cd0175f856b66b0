// The unpack table: the pack entries the engine runs on, the loose files they
// are unpacked to and what each one is. An entry's name is its kind's prefix
// ("LEVEL", "LMAP", "TEXTURE", "MODEL", "SOUND", "MP3") and the asset's name.
#pragma once

#include <array>

enum class AssetKind {
    Level,
    LightmapPage,   // one page of the level's lightmaps
    BlankLightmap,  // the lightmap of surfaces that have none of their own
    Texture,
    Model,
    Sound,
    Music,
};

struct UnpackedAsset {
    const char* entry;  // name in the pack
    const char* file;   // loose file it is written to
    AssetKind kind;
};

// In the order of extraction and of deletion.
inline constexpr std::array kUnpackTable = std::to_array<UnpackedAsset>({
    {"TEXTUREBOX0", "box0.bmp", AssetKind::Texture},
    {"TEXTURECEILING0", "ceiling0.bmp", AssetKind::Texture},
    {"TEXTUREDOOR0", "door0.bmp", AssetKind::Texture},
    {"TEXTUREDOOR1", "door1.bmp", AssetKind::Texture},
    {"TEXTUREFLOOR0", "floor0.bmp", AssetKind::Texture},
    {"TEXTUREFLOOR1", "floor1.bmp", AssetKind::Texture},
    {"SOUNDJUMP", "jump.wav", AssetKind::Sound},
    {"LMAPLMBLANK", "lmblank.bmp", AssetKind::BlankLightmap},
    {"TEXTUREMFRAME0", "mainframe0.bmp", AssetKind::Texture},
    {"TEXTURERAMP0", "ramp0.bmp", AssetKind::Texture},
    {"TEXTURESTAIR0", "stair0.bmp", AssetKind::Texture},
    {"LEVELTEST", "test.bsp", AssetKind::Level},
    {"MODELTEST", "test.mdl", AssetKind::Model},
    {"MP3TEST", "test.mp3", AssetKind::Music},
    {"LMAPTEST-LM000", "test-lm000.bmp", AssetKind::LightmapPage},
    {"LMAPTEST-LM001", "test-lm001.bmp", AssetKind::LightmapPage},
    {"LMAPTEST-LM002", "test-lm002.bmp", AssetKind::LightmapPage},
    {"LMAPTEST-LM003", "test-lm003.bmp", AssetKind::LightmapPage},
    {"LMAPTEST-LM004", "test-lm004.bmp", AssetKind::LightmapPage},
    {"TEXTUREWALL0", "wall0.bmp", AssetKind::Texture},
    {"TEXTUREWALL1", "wall1.bmp", AssetKind::Texture},
    {"TEXTUREWALL2", "wall2.bmp", AssetKind::Texture},
    {"TEXTUREWALL3", "wall3.bmp", AssetKind::Texture},
    {"TEXTUREWALL4", "wall4.bmp", AssetKind::Texture},
    {"TEXTUREWALL5", "wall5.bmp", AssetKind::Texture},
});

// The pack the program unpacks, from the directory it is started in.
constexpr const char* kPackFileName = "Orvanthelix.zar";
