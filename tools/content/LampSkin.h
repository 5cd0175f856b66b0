// The lamp's skin: every texel of its charts lit as the level lights the
// lamp where it stands (the level's lights with their shadows, its ambient
// light and a bounce off the floor), plus the lamp's own bulb, the lamp's
// parts shadowing each other, highlights on enamel and metal as seen from the
// player's start, and the bulb glowing.
#pragma once

#include "compiler/LevelFile.h"
#include "compiler/editor/EditorImport.h"
#include "compiler/light/Lighting.h"

namespace orvcontent {

// The bulb as a light of the level: it lights the floor and walls around the
// lamp, and the lamp's own lining.
orvcompile::MapLight BulbLight();

// The skin, kModelPatchSize texels square, for the lamp at `place` (none:
// where it stands in the demo level). `settings` holds the level's lights,
// the bulb's among them.
orvcompile::Picture PaintLampSkin(const orvcompile::LightSettings& settings, const orvcompile::Tree& tree,
                                  const orvcompile::PlaneSet& planes, int threads,
                                  const orvcompile::ModelPlace* place = nullptr);

// Copies the skin over the model patch in a page's top-left corner.
void PutSkin(const orvcompile::Picture& skin, orvcompile::Picture& page);

}  // namespace orvcontent
