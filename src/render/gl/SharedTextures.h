// The OpenGL renderer's texture objects, shared by image content. The level
// gives every textured polygon a texture record of its own, and one texture
// object per record would hold the same few pictures hundreds of times over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "render/Renderer.h"

class SharedTextures {
public:
    // An image's content: its size, its pixels and a hash of them. The
    // pixels are the image's own bytes, valid as long as the image is.
    struct Content {
        int width;
        int height;
        std::size_t hash;
        std::string_view pixels;
    };
    static Content ContentOf(const Image& image);

    // The texture object already holding this picture, now held by `holder`
    // as well; 0 when there is none. A picture is the same only when its size
    // and every byte are: a hash alone never decides.
    std::uint32_t Share(const Content& content, Texture* holder);

    // A new texture object holding this picture, held by `holder`. A copy of
    // the pixels is kept to compare later pictures with.
    void Add(const Content& content, std::uint32_t name, Texture* holder);

    // `holder` lets go of its texture object. Returns the object's name when
    // that was its last holder (the caller deletes it), else 0; a record that
    // holds nothing (never loaded, or released already) gives 0.
    std::uint32_t Release(Texture* holder);

private:
    struct Shared {
        std::uint32_t name;
        int width;
        int height;
        std::string pixels;
        std::vector<Texture*> holders;
    };
    using ByHash = std::multimap<std::size_t, Shared>;  // iterators stay valid until erased
    ByHash byHash;
    std::map<const Texture*, ByHash::iterator> heldBy;
};
