// The demo's model: a jointed desk lamp of boxes (base, lower arm, upper arm,
// shade), each part placed relative to the one it hangs from.
#pragma once

#include <string>

namespace orvcontent {

// The "NMDL" version 1 text. Every polygon's lightmap coordinates point at the
// centre of the model patch the level compiler keeps in the top-left corner
// of a lightmap page of pageWidth × pageHeight texels.
std::string LampModelText(int pageWidth, int pageHeight);

}  // namespace orvcontent
