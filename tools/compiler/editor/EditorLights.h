// The light of a map drawn in the editors, with the meanings the editors'
// light tools give its keys: light entities (point lights and spotlights,
// fall-off types), and the world's sunlight through sky faces, ambient
// light and ambient occlusion. docs/EDITOR.md lists the keys.
#pragma once

#include <set>

#include "compiler/editor/EditorImport.h"

namespace orvcompile {

// The lightmap texel size, in editor units, that an entity's "_lightmap_scale"
// gives (at least 1, at most the coarsest the compiler takes); 0 without one.
double LightmapScaleOf(const EditorEntity& entity);

// Adds the lights (but those of `omitted` layers) and the world's light to
// `map`, whose brushes are in (the sky faces among them), and the world's
// keys for how the lightmaps are made; names once, in one warning, every
// light key it does not honour.
void AddLights(const EditorMap& editor, const std::set<const EditorEntity*>& omitted, const EditorTransform& transform,
               Map& map, Reporter& reporter);

}  // namespace orvcompile
