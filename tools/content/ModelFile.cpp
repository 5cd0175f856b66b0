#include "content/ModelFile.h"

#include <cstdio>

#include "content/LampModel.h"
#include "model/Entity.h"
#include "model/Model.h"

namespace orvcontent {

std::string ModelFileText(const std::string& header, const std::vector<ModelFilePart>& parts) {
    std::string text = "NMDL 1 " + header + "\n" + std::to_string(parts.size()) + "\n";
    char line[256];
    for (const ModelFilePart& part : parts) {
        std::snprintf(line, sizeof line, "%s part %s %.9g %.9g %.9g %.9g %.9g %.9g %zu polygons\n", part.name.c_str(),
                      part.parent.c_str(), part.translation.x, part.translation.y, part.translation.z, part.rotation.x,
                      part.rotation.y, part.rotation.z, part.triangles.size());
        text += line;
        for (const ModelFileTriangle& triangle : part.triangles) {
            for (const ModelFileVertex& v : triangle.v) {
                std::snprintf(line, sizeof line, "%.7g %.7g %.7g %.7f %.7f ", v.position.x, v.position.y, v.position.z,
                              v.lightmapX, v.lightmapY);
                text += line;
            }
            text += triangle.lightmap + "\n";
        }
        text += "end part\n";
    }
    return text + "end\n";
}

std::string EmptyModelText() { return ModelFileText("empty no model", {{"nothing", "none", {}, {}, {}}}); }

bool PlacedModelText(const std::string& path, const orvcompile::ModelPlace& place, std::string& text) {
    Model model;
    if (!model.Load(path.c_str())) return false;
    // Where the engine draws each point, at its model place with yaw 0.
    Entity engine;
    engine.position = {static_cast<float>(kEntityPosition.x), static_cast<float>(kEntityPosition.y),
                       static_cast<float>(kEntityPosition.z)};
    std::vector<ModelFilePart> parts;
    for (std::int32_t i = 0; i < model.partCount; ++i) {
        const ModelPart& part = *model.parts[i];
        ModelFilePart& out = parts.emplace_back();
        out.name = part.name;
        // The first part with the parent's name is the one the loader found.
        out.parent = part.parent ? part.parent->name : "none";
        const Matrix world = PartWorldMatrix(part, &engine, MakeIdentity());
        for (std::int32_t q = 0; q < part.polygonCount; ++q) {
            const Polygon& polygon = part.polygons[q];
            ModelFileTriangle& triangle = out.triangles.emplace_back();
            triangle.lightmap = polygon.lightmapName;
            for (int k = 0; k < 3; ++k) {
                const Vertex& v = polygon.vertices[k];
                const float* m = world.m;
                const Vec3 drawn{v.position[0] * m[0] + v.position[1] * m[4] + v.position[2] * m[8] + m[12],
                                 v.position[0] * m[1] + v.position[1] * m[5] + v.position[2] * m[9] + m[13],
                                 v.position[0] * m[2] + v.position[1] * m[6] + v.position[2] * m[10] + m[14]};
                // Without joints of its own, the engine adds only its model place.
                triangle.v[k] = {place.ToLevel(drawn) - kEntityPosition, v.lightmapCoord[0], v.lightmapCoord[1]};
            }
        }
    }
    text = ModelFileText("placed model flat", parts);
    return true;
}

}  // namespace orvcontent
