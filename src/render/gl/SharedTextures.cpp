#include "render/gl/SharedTextures.h"

#include <algorithm>
#include <functional>
#include <string_view>

SharedTextures::Content SharedTextures::ContentOf(const Image& image) {
    const std::size_t size = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3;
    const std::string_view bytes(reinterpret_cast<const char*>(image.pixels), size);
    return Content{image.width, image.height, std::hash<std::string_view>{}(bytes)};
}

std::uint32_t SharedTextures::Share(const Content& content, Texture* holder) {
    auto found = byContent.find(content);
    if (found == byContent.end()) return 0;
    found->second.holders.push_back(holder);
    contentOf[holder] = content;
    return found->second.name;
}

void SharedTextures::Add(const Content& content, std::uint32_t name, Texture* holder) {
    byContent[content] = Shared{name, {holder}};
    contentOf[holder] = content;
}

std::uint32_t SharedTextures::Release(Texture* holder) {
    auto held = contentOf.find(holder);
    if (held == contentOf.end()) return 0;
    auto shared = byContent.find(held->second);
    contentOf.erase(held);
    std::erase(shared->second.holders, holder);
    if (!shared->second.holders.empty()) return 0;
    const std::uint32_t name = shared->second.name;
    byContent.erase(shared);
    return name;
}
