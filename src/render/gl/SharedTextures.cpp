#include "render/gl/SharedTextures.h"

#include <functional>

SharedTextures::Content SharedTextures::ContentOf(const Image& image) {
    const std::size_t size = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3;
    const std::string_view pixels(reinterpret_cast<const char*>(image.pixels), size);
    return Content{image.width, image.height, std::hash<std::string_view>{}(pixels), pixels};
}

std::uint32_t SharedTextures::Share(const Content& content, Texture* holder) {
    auto [first, last] = byHash.equal_range(content.hash);
    for (auto it = first; it != last; ++it) {
        Shared& shared = it->second;
        if (shared.width != content.width || shared.height != content.height || shared.pixels != content.pixels)
            continue;
        shared.holders.push_back(holder);
        heldBy[holder] = it;
        return shared.name;
    }
    return 0;
}

void SharedTextures::Add(const Content& content, std::uint32_t name, Texture* holder) {
    heldBy[holder] = byHash.emplace(content.hash,
                                    Shared{name, content.width, content.height, std::string(content.pixels), {holder}});
}

std::uint32_t SharedTextures::Release(Texture* holder) {
    auto held = heldBy.find(holder);
    if (held == heldBy.end()) return 0;
    const ByHash::iterator shared = held->second;
    heldBy.erase(held);
    std::erase(shared->second.holders, holder);
    if (!shared->second.holders.empty()) return 0;
    const std::uint32_t name = shared->second.name;
    byHash.erase(shared);
    return name;
}
