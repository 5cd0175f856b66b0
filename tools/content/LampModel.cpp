#include "content/LampModel.h"

#include <cmath>

#include "compiler/light/Lightmaps.h"
#include "content/ModelFile.h"

namespace orvcontent {

namespace {

static_assert(orvcompile::kModelPatchSize == 128, "the charts below fill a 128 x 128 texel patch");

// Each part is built about its joint, with its length along +y. The charts
// share the 128 × 128 texel skin: the arms' tall strips on the left, the
// base, the shade and the bulb beside them.
std::vector<LampPart> MakeParts() {
    std::vector<LampPart> parts;
    // A round foot with a rolled edge; the arm's pivot stands off its centre,
    // so the foot's turn shows.
    parts.push_back({"base",
                     "none",
                     {0, 0, 15},
                     {0, 1.0, 0},
                     {Profile(0, 0)
                          .Line(2.1, 0, Finish::Enamel)
                          .Line(2.1, 0.25, Finish::Enamel)
                          .Arc(1.75, 0.25, 0.35, 0, 90, 3, Finish::Chrome)
                          .Line(0, 0.6, Finish::Enamel),
                      20,
                      {48, 0, 80, 48}}});
    // An arm: a ball joint at its foot, then a thin rod with a flat end.
    auto arm = [](Chart chart) {
        return Lathe{Profile(0, -0.3)
                         .Arc(0, 0, 0.3, -90, 50, 4, Finish::Chrome)
                         .Line(0.14, 0.23, Finish::Steel)
                         .Line(0.14, 4.3, Finish::Steel)
                         .Line(0, 4.3, Finish::Steel),
                     10, chart};
    };
    // Leaning back over the foot, then forward and a little aside, so each
    // joint shows its angle.
    parts.push_back({"lowerarm", "base", {0, 0.9, -1.0}, {-0.45, 0, 0.12}, arm({0, 0, 24, 128})});
    parts.push_back({"upperarm", "lowerarm", {0, 4.3, 0}, {1.9, 0, -0.3}, arm({24, 0, 24, 128})});
    // A double-walled shade opening downward from its neck: white lining
    // inside, a rolled metal rim, enamel outside.
    parts.push_back({"shade",
                     "upperarm",
                     {0, 4.45, 0},
                     {-0.5, 0.4, 1.8},
                     {Profile(0, -0.62)
                          .Line(0.42, -0.62, Finish::Lining)
                          .Line(1.38, -2.4, Finish::Lining)
                          .Arc(1.44, -2.4, 0.06, 180, 360, 3, Finish::Chrome)
                          .Line(0.5, -0.5, Finish::Enamel)
                          .Line(0.2, -0.3, Finish::Enamel)
                          .Line(0.2, 0, Finish::Chrome)
                          .Line(0, 0, Finish::Chrome),
                      20,
                      {48, 48, 80, 64}}});
    // A glowing glass bulb on a brass neck, hanging from the shade's lining.
    parts.push_back({"bulb",
                     "shade",
                     {0, -0.55, 0},
                     {0.15, 0, 0.1},
                     {Profile(0, -0.91)
                          .Arc(0, -0.55, 0.36, -90, 67, 5, Finish::Glass)
                          .Line(0.14, 0, Finish::Brass)
                          .Line(0, 0, Finish::Brass),
                      10,
                      {48, 112, 40, 16}}});
    return parts;
}

// The engine's turn of a point in the plane of axes i and j (its
// MakeRotationX, Y and Z for row vectors).
Vec3 Turn(Vec3 p, double angle, int i, int j) {
    double v[3] = {p.x, p.y, p.z};
    const double c = std::cos(angle), s = std::sin(angle);
    const double a = v[i], b = v[j];
    v[i] = a * c + b * s;
    v[j] = b * c - a * s;
    return {v[0], v[1], v[2]};
}

int IndexOf(const char* name) {
    const auto& parts = LampParts();
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (std::string(parts[i].name) == name) return static_cast<int>(i);
    return -1;
}

}  // namespace

const std::vector<LampPart>& LampParts() {
    static const std::vector<LampPart> parts = MakeParts();
    return parts;
}

Vec3 LampToWorld(int part, Vec3 p, bool direction, const orvcompile::ModelPlace* place) {
    for (int at = part; at >= 0; at = at == 0 ? -1 : IndexOf(LampParts()[static_cast<std::size_t>(at)].parent)) {
        const LampPart& joint = LampParts()[static_cast<std::size_t>(at)];
        p = Turn(Turn(Turn(p, joint.rotation.x, 1, 2), joint.rotation.y, 2, 0), joint.rotation.z, 0, 1);
        if (!direction) p = p + joint.translation;
    }
    if (!place) return p;
    // The lamp's own space: its foot the origin, its front +z.
    if (!direction) p = p - kDemoLampFoot;
    return place->ToLevel({-p.x, p.y, -p.z}, direction);
}

std::string LampModelText(int pageWidth, int pageHeight, const orvcompile::ModelPlace* place) {
    const auto& parts = LampParts();
    std::vector<ModelFilePart> out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const LampPart& part = parts[i];
        ModelFilePart& file = out.emplace_back();
        file.name = part.name;
        file.parent = part.parent;
        if (!place) {
            file.translation = part.translation;
            file.rotation = part.rotation;
        }
        for (const LatheTriangle& triangle : Triangles(part.surface)) {
            ModelFileTriangle& written = file.triangles.emplace_back();
            written.lightmap = "lamp";
            for (int k = 0; k < 3; ++k) {
                const LatheVertex& v = triangle.v[k];
                // The engine moves every point by the entity's position before
                // the part's rotation: taken off here, the joints turn about
                // their own origins (and a flat lamp's points stand where placed).
                const Vec3 p =
                    (place ? LampToWorld(static_cast<int>(i), v.position, false, place) : v.position) - kEntityPosition;
                written.v[k] = {p, v.skinX / pageWidth, v.skinY / pageHeight};
            }
        }
    }
    return ModelFileText("desk-lamp lamp lathe", out);
}

}  // namespace orvcontent
