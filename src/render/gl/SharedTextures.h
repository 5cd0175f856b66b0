// The OpenGL renderer's texture objects, shared by image content. The level
// gives every textured polygon a texture record of its own, and one texture
// object per record would hold the same few pictures hundreds of times over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "render/Renderer.h"

class SharedTextures {
public:
    // The key of an image's content: its size and a hash of its pixels.
    struct Content {
        int width;
        int height;
        std::size_t hash;
        auto operator<=>(const Content&) const = default;
    };
    static Content ContentOf(const Image& image);

    // The texture object already holding this content, now held by `holder`
    // as well; 0 when there is none.
    std::uint32_t Share(const Content& content, Texture* holder);

    // A new texture object holding this content, held by `holder`.
    void Add(const Content& content, std::uint32_t name, Texture* holder);

    // `holder` lets go of its texture object. Returns the object's name when
    // that was its last holder (the caller deletes it), else 0; a record that
    // holds nothing (never loaded, or released already) gives 0.
    std::uint32_t Release(Texture* holder);

private:
    struct Shared {
        std::uint32_t name;
        std::vector<Texture*> holders;
    };
    std::map<Content, Shared> byContent;
    std::map<const Texture*, Content> contentOf;
};
