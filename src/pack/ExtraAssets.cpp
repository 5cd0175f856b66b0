#include "pack/ExtraAssets.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "pack/Pack.h"
#include "pack/UnpackTable.h"

namespace {

constexpr std::string_view kTexturePrefix = "TEXTURE";
constexpr std::string_view kLightmapPrefix = "LMAP";
constexpr std::string_view kImageSuffix = ".bmp";

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

bool IsName(std::string_view name) { return !name.empty() && std::all_of(name.begin(), name.end(), IsNameCharacter); }

// In one case, ASCII letters only (the names' other characters stay).
std::string InCase(std::string_view name, int (*change)(int)) {
    std::string changed(name);
    for (char& c : changed) c = static_cast<char>(change(static_cast<unsigned char>(c)));
    return changed;
}
std::string Lower(std::string_view name) {
    return InCase(name, [](int c) { return std::tolower(c); });
}
std::string Upper(std::string_view name) {
    return InCase(name, [](int c) { return std::toupper(c); });
}

bool InTable(std::string_view entry) {
    return std::any_of(kUnpackTable.begin(), kUnpackTable.end(), [&](const auto& a) { return entry == a.entry; });
}

}  // namespace

bool FindExtraAssets(std::vector<ExtraAsset>& extras, std::string& problem) {
    std::set<std::string> files;
    for (const auto& asset : kUnpackTable) files.insert(asset.file);
    int textures = 0, pages = 0;
    long long bytes = 0;
    extras.clear();
    for (std::int32_t i = 0; i < g_PackEntryCount; ++i) {
        const std::string_view entry = g_PackEntries[i].name;
        const bool texture = entry.starts_with(kTexturePrefix);
        if ((!texture && !entry.starts_with(kLightmapPrefix)) || InTable(entry)) continue;
        const std::string_view name = entry.substr(texture ? kTexturePrefix.size() : kLightmapPrefix.size());
        const std::string file = Lower(name) + std::string(kImageSuffix);
        std::string why;
        if (!IsName(name))
            why = "its name is not a prefix and letters, digits, '_' and '-'";
        else if (!files.insert(file).second)
            why = "another entry is unpacked to " + file + " already";
        else if (texture ? ++textures > kMaxExtraTextures : ++pages > kMaxExtraLightmapPages)
            why = "a pack holds at most " + std::to_string(kMaxExtraTextures) + " extra textures and " +
                  std::to_string(kMaxExtraLightmapPages) + " extra lightmap pages";
        else if ((bytes += g_PackEntries[i].size) > kMaxExtraBytes)
            why = "a pack's extra textures and lightmap pages hold at most " + std::to_string(kMaxExtraBytes >> 20) +
                  " MiB";
        if (!why.empty()) {
            problem = "the pack entry " + std::string(entry) + " is refused: " + why;
            extras.clear();
            return false;
        }
        extras.push_back({std::string(entry), file});
    }
    return true;
}

std::string ExtraTextureEntry(std::string_view name) { return std::string(kTexturePrefix) + Upper(name); }

std::string ExtraLightmapEntry(std::string_view name) { return std::string(kLightmapPrefix) + Upper(name); }

std::string ImageEntry(std::string_view name, bool lightmap) {
    const std::string file = Lower(name) + std::string(kImageSuffix);
    for (const auto& asset : kUnpackTable)
        if (file == asset.file) return asset.entry;
    return lightmap ? ExtraLightmapEntry(name) : ExtraTextureEntry(name);
}

bool IsExtraFileName(std::string_view file) {
    return file.ends_with(kImageSuffix) &&
           file.size() <= sizeof(PackEntry::name) - 1 - kLightmapPrefix.size() + kImageSuffix.size() &&
           IsName(file.substr(0, file.size() - kImageSuffix.size())) && Lower(file) == file;
}

std::string ExtraFileList(const std::vector<ExtraAsset>& extras) {
    std::string list;
    for (const ExtraAsset& extra : extras) list += extra.file + "\n";
    return list;
}

std::vector<std::string> ParseExtraFileList(std::string_view text) {
    std::vector<std::string> files;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        if (IsExtraFileName(text.substr(0, end))) files.emplace_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return files;
}
