#include "support/files/ModelText.h"

const char* const kTriangleText = "0 0 0 0 0  0 1 0 0 1  1 0 0 1 0 lm";

std::string ModelText(const std::vector<PartText>& parts) {
    std::string text = "NMDL 1 made-by-hand unused unused\n" + std::to_string(parts.size()) + "\n";
    for (const PartText& part : parts) {
        text += part.name + " kind " + part.parent + "\n" + part.translation + "\n" + part.rotation + "\n" +
                std::to_string(part.polygons.size()) + " polygons\n";
        for (const std::string& polygon : part.polygons) text += "  " + polygon + "\n";
        text += "end-of part\n";
    }
    return text + "end\n";
}
