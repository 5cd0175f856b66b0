#include "compiler/editor/TextureImport.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "compiler/editor/EditorMap.h"
#include "compiler/editor/ImageHeader.h"
#include "compiler/editor/Wad.h"

namespace orvcompile {

namespace {

// Images are read in this order of preference when one name has several.
const char* const kExtensions[] = {".png", ".tga", ".jpg", ".jpeg", ".bmp"};
// Larger images are refused rather than decoded: the level keeps at most
// kMaxTextureSide, and 4096 (as for a WAD's textures) leaves room for the
// editors' large textures while one picture stays within 64 MB decoded.
constexpr int kMaxImageSide = 4096;
constexpr int kMinTextureSide = 4;
// The largest WAD read: the editors' games keep theirs well below this.
constexpr std::uintmax_t kMaxWadBytes = 256u << 20;
// A palette file's colours; whatever follows them is not read.
constexpr std::size_t kPaletteBytes = 768;

int Preference(const std::string& extension) {
    for (int i = 0; i < 5; ++i)
        if (extension == kExtensions[i]) return i;
    return -1;
}

int NearestPowerOfTwo(int side) {
    int best = kMinTextureSide;
    for (int p = kMinTextureSide; p <= kMaxTextureSide; p *= 2)
        if (std::fabs(std::log2(static_cast<double>(side)) - std::log2(static_cast<double>(p))) <
            std::fabs(std::log2(static_cast<double>(side)) - std::log2(static_cast<double>(best))))
            best = p;
    return best;
}

// The first `limit` bytes of a file at most.
bool ReadBytes(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.resize(limit);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

// A WAD's bytes, read only once its first bytes say it is one and its size is
// within kMaxWadBytes: the map's "wad" key can name any file.
bool ReadWadFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::error_code code;
    const std::uintmax_t size = std::filesystem::file_size(path, code);
    if (code || !ReadBytes(path, 4, bytes)) {
        error = "cannot read the WAD '" + path + "'";
        return false;
    }
    if (KindOfWad(bytes) == WadKind::NotWad) {
        error = "the WAD '" + path + "': not a WAD2 or WAD3 file";
        return false;
    }
    if (size > kMaxWadBytes) {
        error = "the WAD '" + path + "' has " + std::to_string(size) + " bytes; at most " +
                std::to_string(kMaxWadBytes) + " are read";
        return false;
    }
    if (!ReadBytes(path, static_cast<std::size_t>(size), bytes)) {
        error = "cannot read the WAD '" + path + "'";
        return false;
    }
    return true;
}

// A palette.lmp near a WAD: beside it, in gfx/ beside it, or in gfx/ beside its folder.
std::string PaletteNear(const std::string& wad) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::absolute(wad).parent_path();
    std::error_code code;
    for (const fs::path& candidate :
         {folder / "palette.lmp", folder / "gfx" / "palette.lmp", folder.parent_path() / "gfx" / "palette.lmp"})
        if (fs::is_regular_file(candidate, code)) return candidate.string();
    return "";
}

}  // namespace

bool TextureLibrary::AddFolder(const std::string& directory, std::string& error) {
    Place place;
    if (!place.folder.Open(directory, error)) return false;
    places.push_back(std::move(place));
    folders.push_back(directory);
    return true;
}

bool TextureLibrary::AddWad(const std::string& path, const std::string& paletteFile, std::string& error) {
    std::vector<std::uint8_t> bytes, palette;
    if (!ReadWadFile(path, bytes, error)) return false;
    if (KindOfWad(bytes) == WadKind::Wad2) {
        const std::string file = paletteFile.empty() ? PaletteNear(path) : paletteFile;
        if (file.empty()) {
            error = "the WAD2 file '" + path +
                    "' needs the game's palette: give --palette FILE, or put palette.lmp beside the WAD or in a "
                    "gfx/ folder beside it or beside its folder";
            return false;
        }
        std::vector<std::uint8_t> paletteBytes;
        if (!ReadBytes(file, kPaletteBytes, paletteBytes)) {
            error = "cannot read the palette '" + file + "'";
            return false;
        }
        if (!ReadPalette(paletteBytes, palette, error)) {
            error = "the palette '" + file + "': " + error;
            return false;
        }
    }
    std::vector<WadTexture> textures;
    if (!ReadWad(bytes, palette, textures, error)) {
        error = "the WAD '" + path + "': " + error;
        return false;
    }
    Place place;
    place.isWad = true;
    for (WadTexture& texture : textures) place.wad.emplace(Lower(texture.name), std::move(texture.picture));
    places.push_back(std::move(place));
    return true;
}

bool TextureLibrary::Find(const std::string& name, Picture& picture, std::string& error) const {
    for (const Place& place : places) {
        if (place.isWad) {
            // WADs hold bare names: a path in the map's name is the editor's collection.
            const auto at = place.wad.find(Lower(BaseName(name)));
            if (at == place.wad.end()) continue;
            picture = at->second;
            return true;
        }
        const std::string file = place.folder.Find(name);
        if (!file.empty()) return ReadImage(file, picture, error);
    }
    return false;
}

bool TextureFolder::Open(const std::string& directory, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code code;
    fs::recursive_directory_iterator it(directory, fs::directory_options::skip_permission_denied, code);
    if (code) {
        error = "cannot read the texture folder '" + directory + "': " + code.message();
        return false;
    }
    std::map<std::string, int> chosen;  // key → preference of the file taken
    for (; it != fs::recursive_directory_iterator(); it.increment(code)) {
        if (code) break;
        if (!it->is_regular_file(code)) continue;
        const fs::path path = it->path();
        const int preference = Preference(Lower(path.extension().string()));
        if (preference < 0) continue;
        fs::path relative = path.lexically_relative(directory);
        relative.replace_extension();
        const std::string key = Lower(relative.generic_string());
        const auto at = chosen.find(key);
        if (at != chosen.end() && at->second <= preference) continue;
        chosen[key] = preference;
        byPath[key] = path.string();
    }
    for (const auto& [key, file] : byPath) byName[BaseName(key)].push_back(file);
    return true;
}

std::string TextureFolder::Find(const std::string& name) const {
    std::string key = Lower(name);
    std::replace(key.begin(), key.end(), '\\', '/');
    for (int variant = 0; variant < 2; ++variant) {
        if (variant == 1) std::replace(key.begin(), key.end(), '*', '#');
        const auto at = byPath.find(key);
        if (at != byPath.end()) return at->second;
        const auto named = byName.find(BaseName(key));
        if (named != byName.end() && named->second.size() == 1) return named->second.front();
    }
    return "";
}

bool ReadImage(const std::string& path, Picture& picture, std::string& error) {
    // The size the header declares is checked before the decoder allocates for
    // it, and the decoder is held to the format the header was read as.
    ImageHeader header;
    const bool tga = Lower(std::filesystem::path(path).extension().string()) == ".tga";
    if (!ReadImageHeader(path, tga, header, error)) return false;
    if (header.width < 1 || header.height < 1 || header.width > kMaxImageSide || header.height > kMaxImageSide) {
        error = "the image '" + path + "' is " + std::to_string(header.width) + " x " + std::to_string(header.height) +
                " pixels; sides from 1 to " + std::to_string(kMaxImageSide) + " are read";
        return false;
    }
    SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
    if (!file) {
        error = "cannot read '" + path + "': " + SDL_GetError();
        return false;
    }
    SDL_Surface* image = IMG_LoadTyped_RW(file, 1, header.type);
    if (!image) {
        error = "cannot read the image '" + path + "': " + IMG_GetError();
        return false;
    }
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(image, SDL_PIXELFORMAT_RGB24, 0);
    SDL_FreeSurface(image);
    if (!rgb) {
        error = "cannot convert the image '" + path + "': " + SDL_GetError();
        return false;
    }
    picture = Picture{rgb->w, rgb->h, {}};
    picture.rgb.resize(static_cast<std::size_t>(rgb->w) * rgb->h * 3);
    for (int row = 0; row < rgb->h; ++row) {
        const auto* from = static_cast<const std::uint8_t*>(rgb->pixels) + static_cast<std::size_t>(row) * rgb->pitch;
        std::copy(from, from + rgb->w * 3, picture.rgb.begin() + static_cast<std::ptrdiff_t>(row) * rgb->w * 3);
    }
    SDL_FreeSurface(rgb);
    return true;
}

Picture FitForEngine(const Picture& picture) {
    Picture out{NearestPowerOfTwo(picture.width), NearestPowerOfTwo(picture.height), {}};
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y) {
        const int y0 = y * picture.height / out.height;
        const int y1 = std::max(y0 + 1, (y + 1) * picture.height / out.height);
        for (int x = 0; x < out.width; ++x) {
            const int x0 = x * picture.width / out.width;
            const int x1 = std::max(x0 + 1, (x + 1) * picture.width / out.width);
            for (int channel = 0; channel < 3; ++channel) {
                long sum = 0;
                for (int sy = y0; sy < y1; ++sy)
                    for (int sx = x0; sx < x1; ++sx)
                        sum += picture.rgb[(static_cast<std::size_t>(sy) * picture.width + sx) * 3 + channel];
                const long count = static_cast<long>(y1 - y0) * (x1 - x0);
                out.rgb[(static_cast<std::size_t>(y) * out.width + x) * 3 + channel] =
                    static_cast<std::uint8_t>((sum + count / 2) / count);
            }
        }
    }
    return out;
}

Picture PlaceholderTexture() {
    constexpr int kSide = 64, kCheck = 8;
    Picture picture{kSide, kSide, std::vector<std::uint8_t>(kSide * kSide * 3, 0)};
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            if ((x / kCheck + y / kCheck) % 2 == 0) {
                std::uint8_t* pixel = &picture.rgb[(static_cast<std::size_t>(y) * kSide + x) * 3];
                pixel[0] = 255;
                pixel[2] = 255;
            }
    return picture;
}

std::string EngineTextureName(const std::string& editorName, std::set<std::string>& taken, std::size_t maxLength) {
    std::string name = Lower(BaseName(editorName));
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') c = '_';
    if (name.empty()) name = "texture";
    name.resize(std::min(name.size(), maxLength));
    std::string unique = name;
    for (int n = 2; taken.count(unique); ++n) {
        const std::string suffix = "-" + std::to_string(n);
        unique = name.substr(0, maxLength - suffix.size()) + suffix;
    }
    taken.insert(unique);
    return unique;
}

}  // namespace orvcompile
