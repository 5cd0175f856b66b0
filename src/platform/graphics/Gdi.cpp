#include "platform/graphics/Gdi.h"

#include <SDL.h>

#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/core/Files.h"
#include "platform/core/Seam.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/internal/DisplayObjects.h"

struct BitmapObject {
    std::shared_ptr<Picture> picture;
    HDC selectedInto = nullptr;
};

namespace {

// The largest image decoded, on either side: the largest surface there is.
constexpr int kLargestImage = 4096;

// Bitmaps that exist; handles are checked against it before use.
std::set<BitmapObject*> bitmaps;

// Pictures decoded from files, by the files' bytes, shared for as long as
// anything holds them: files with the same bytes, under any name, share one
// picture; a rewritten file does not. The bytes themselves are the key, so
// two files whose hashes collide never share a picture.
std::unordered_map<std::string, std::weak_ptr<Picture>> decodedPictures;

BitmapObject* LiveBitmap(HGDIOBJ object) {
    auto* bitmap = static_cast<BitmapObject*>(object);
    return bitmaps.count(bitmap) ? bitmap : nullptr;
}

// Width and height from a BMP's headers, before anything is allocated for it.
bool SizeIsDecodable(std::string_view bytes) {
    auto read = [&](std::size_t at, int count) {
        std::uint32_t value = 0;
        for (int i = count - 1; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
        return value;
    };
    if (bytes.size() < 14 + 12) return false;
    std::int64_t width, height;
    if (read(14, 4) == 12) {  // the oldest header keeps 16-bit sizes
        width = read(18, 2);
        height = read(20, 2);
    } else {
        if (bytes.size() < 14 + 16) return false;
        width = static_cast<std::int32_t>(read(18, 4));
        height = static_cast<std::int32_t>(read(22, 4));
    }
    if (height < 0) height = -height;  // rows stored top first
    return width > 0 && height > 0 && width <= kLargestImage && height <= kLargestImage;
}

std::shared_ptr<Picture> Decode(std::string_view bytes) {
    if (!SizeIsDecodable(bytes)) return nullptr;
    SDL_Surface* decoded = SDL_LoadBMP_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
    if (!decoded) return nullptr;
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_RGB565, 0);
    SDL_FreeSurface(decoded);
    if (!converted) return nullptr;
    auto picture = std::make_shared<Picture>();
    picture->width = converted->w;
    picture->height = converted->h;
    picture->pixels.resize(static_cast<std::size_t>(converted->w) * converted->h);
    SDL_LockSurface(converted);
    for (int row = 0; row < converted->h; ++row)
        std::memcpy(
            &picture->pixels[static_cast<std::size_t>(row) * converted->w],
            static_cast<const std::uint8_t*>(converted->pixels) + static_cast<std::ptrdiff_t>(row) * converted->pitch,
            static_cast<std::size_t>(converted->w) * 2);
    SDL_UnlockSurface(converted);
    SDL_FreeSurface(converted);
    return picture;
}

// The picture of a file: the one already decoded when one of the same content is.
std::shared_ptr<Picture> PictureOfFile(const char* name) {
    FILE* file = OpenFile(name, "rb");
    if (!file) return nullptr;
    // The bytes are read straight into the key: they are looked up, and kept
    // only for a picture decoded for the first time.
    std::string bytes;
    char block[65536];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) bytes.append(block, got);
    const bool read = !std::ferror(file);
    CloseFile(file);
    if (!read) return nullptr;
    if (auto known = decodedPictures.find(bytes); known != decodedPictures.end())
        if (auto picture = known->second.lock()) return picture;
    std::shared_ptr<Picture> picture = Decode(bytes);
    // Forget the contents whose pictures are gone, then remember this one.
    std::erase_if(decodedPictures, [](const auto& entry) { return entry.second.expired(); });
    if (picture) decodedPictures[std::move(bytes)] = picture;
    return picture;
}

}  // namespace

HDC CreateCompatibleDC(HDC) {
    if (SeamCall("CreateCompatibleDC")) return nullptr;
    auto* dc = new DeviceContextObject;
    dc->memory = true;
    return dc;
}

BOOL DeleteDC(HDC dc) {
    SeamCall("DeleteDC");
    if (!dc || !dc->memory) return FALSE;
    if (dc->bitmap) dc->bitmap->selectedInto = nullptr;
    delete dc;
    return TRUE;
}

HGDIOBJ LoadImageA(HINSTANCE, const char* name, UINT type, int, int, UINT flags) {
    if (SeamCall("LoadImageA", name ? name : "")) return nullptr;
    if (!name || type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE)) return nullptr;
    std::shared_ptr<Picture> picture = PictureOfFile(name);
    if (!picture) return nullptr;
    auto* bitmap = new BitmapObject{std::move(picture)};
    bitmaps.insert(bitmap);
    return bitmap;
}

BOOL DeleteObject(HGDIOBJ object) {
    SeamCall("DeleteObject");
    BitmapObject* bitmap = LiveBitmap(object);
    // A bitmap still selected into a context stays.
    if (!bitmap || bitmap->selectedInto) return FALSE;
    bitmaps.erase(bitmap);
    delete bitmap;
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    SeamCall("SelectObject");
    BitmapObject* bitmap = LiveBitmap(object);
    if (!dc || !dc->memory || !bitmap || (bitmap->selectedInto && bitmap->selectedInto != dc)) return nullptr;
    BitmapObject* previous = dc->bitmap;
    if (previous) previous->selectedInto = nullptr;
    dc->bitmap = bitmap;
    bitmap->selectedInto = dc;
    return previous;
}

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD operation) {
    if (SeamCall("BitBlt")) return FALSE;
    if (!destination || !destination->surface || !source || !source->bitmap || operation != SRCCOPY || width < 0 ||
        height < 0)
        return FALSE;
    SurfaceObject& surface = *destination->surface;
    const std::shared_ptr<Picture>& picture = source->bitmap->picture;
    // A whole picture onto a whole surface of its size is shared, not copied.
    if (x == 0 && y == 0 && sourceX == 0 && sourceY == 0 && width == picture->width && height == picture->height &&
        width == surface.width && height == surface.height && surface.picture) {
        surface.Share(picture);
        return TRUE;
    }
    // Only the part of the source rectangle that lies on the bitmap is copied.
    const int left = std::max(sourceX, 0), top = std::max(sourceY, 0);
    const int right = std::min(sourceX + width, picture->width), bottom = std::min(sourceY + height, picture->height);
    if (right <= left || bottom <= top) return TRUE;
    surface.Write(x + (left - sourceX), y + (top - sourceY), right - left, bottom - top,
                  &picture->pixels[static_cast<std::size_t>(top) * picture->width + left], picture->width);
    return TRUE;
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
    if (!dc) return 0xFFFFFFFF;  // CLR_INVALID
    COLORREF previous = dc->textColour;
    dc->textColour = colour;
    return previous;
}

int SetBkMode(HDC dc, int mode) {
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    int previous = dc->backgroundMode;
    dc->backgroundMode = mode;
    return previous;
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int length) {
    if (SeamCall("TextOutA")) return FALSE;
    if (!dc || !dc->surface || !text || length < 0) return FALSE;
    static TextMask mask;  // reused from call to call
    if (!RenderText(text, length, mask)) return FALSE;
    // An opaque background is the context's background colour, white.
    if (dc->backgroundMode == OPAQUE) dc->surface->Fill(RECT{x, y, x + mask.width, y + mask.height}, 0xFFFF);
    dc->surface->DrawMask(x, y, mask, dc->textColour);
    return TRUE;
}
