// The model file reader. Everything is built under temporary ownership and
// handed to the Model only when the whole file has been read and checked, so
// a failed load frees what it made and leaves the Model as it was.
#include <array>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/TokenReader.h"
#include "level/Facing.h"
#include "math/Vector.h"
#include "model/Model.h"
#include "platform/core/Files.h"

namespace {

constexpr std::size_t kWordSize = sizeof(ModelPart::name);  // 31 characters and the NUL
constexpr std::size_t kFirstFreeWordSize = 64;

// Tokens a part record holds besides its polygons: name, free word, parent
// name, six floats, the polygon count, a free word, then two free words.
constexpr long long kPartTokens = 13;
constexpr long long kPolygonTokens = 16;  // 15 floats and a name

using Name = std::array<char, kWordSize>;

struct LoadedModel {
    std::vector<std::unique_ptr<ModelPart>> parts;
    std::vector<std::unique_ptr<Polygon[]>> polygonArrays;
};

// Whether the rest of the file could hold `count` more tokens: each takes a
// character and, but for the last, a separator. Counts are checked with it
// before anything is allocated for them.
bool CanHold(const TokenReader& tokens, long long count) {
    const long long left = tokens.BytesLeft();
    return left >= 0 && (left + 1) / 2 >= count;
}

bool SkipWord(TokenReader& tokens, std::size_t size = kWordSize) {
    char word[kFirstFreeWordSize];
    return tokens.ReadWord(word, size);
}

bool ReadPolygon(TokenReader& tokens, Polygon& polygon) {
    for (Vertex& vertex : polygon.vertices) {
        for (float& coordinate : vertex.position)
            if (!tokens.ReadFloat(coordinate)) return false;
        for (float& coordinate : vertex.lightmapCoord)
            if (!tokens.ReadFloat(coordinate)) return false;
    }
    if (!tokens.ReadWord(polygon.lightmapName, sizeof polygon.lightmapName)) return false;
    SetNormal(polygon);
    return true;
}

// Reads one part record; `partsAfter` records still follow it.
bool ReadPart(TokenReader& tokens, LoadedModel& model, Name& parentName, long long partsAfter) {
    ModelPart& part = *model.parts.emplace_back(std::make_unique<ModelPart>());
    if (!tokens.ReadWord(part.name, sizeof part.name) || !SkipWord(tokens) ||
        !tokens.ReadWord(parentName.data(), parentName.size()))
        return false;
    // The file gives the translation before the rotation.
    for (float& value : part.translation)
        if (!tokens.ReadFloat(value)) return false;
    for (float& value : part.rotation)
        if (!tokens.ReadFloat(value)) return false;
    std::int32_t count = 0;
    if (!tokens.ReadInteger(count) || count < 0) return false;
    if (!CanHold(tokens, 1 + count * kPolygonTokens + 2 + partsAfter * kPartTokens + 1)) return false;
    if (!SkipWord(tokens)) return false;

    Polygon* polygons = model.polygonArrays.emplace_back(std::make_unique<Polygon[]>(count)).get();
    part.polygons = polygons;
    part.polygonCount = count;
    for (std::int32_t q = 0; q < count; ++q)
        if (!ReadPolygon(tokens, polygons[q])) return false;
    return SkipWord(tokens) && SkipWord(tokens);
}

// Whether following parent links from some part comes back round to it.
bool HasCycle(const std::vector<std::int32_t>& parentOf) {
    enum : std::uint8_t { kUnseen, kOnWalk, kEndsAtRoot };
    std::vector<std::uint8_t> state(parentOf.size(), kUnseen);
    for (std::int32_t start = 0; start < static_cast<std::int32_t>(parentOf.size()); ++start) {
        std::int32_t i = start;
        while (i >= 0 && state[i] == kUnseen) {
            state[i] = kOnWalk;
            i = parentOf[i];
        }
        if (i >= 0 && state[i] == kOnWalk) return true;
        for (i = start; i >= 0 && state[i] == kOnWalk; i = parentOf[i]) state[i] = kEndsAtRoot;
    }
    return false;
}

// The first part in file order with the parent's name; the first part never
// has a parent. False when the links form a cycle.
bool ResolveParents(LoadedModel& model, const std::vector<Name>& parentNames) {
    const std::int32_t count = static_cast<std::int32_t>(model.parts.size());
    std::unordered_map<std::string_view, std::int32_t> firstNamed;
    for (std::int32_t i = 0; i < count; ++i) firstNamed.emplace(model.parts[i]->name, i);  // keeps the earliest

    std::vector<std::int32_t> parentOf(count, -1);
    for (std::int32_t i = 1; i < count; ++i) {
        auto found = firstNamed.find(parentNames[i].data());
        if (found != firstNamed.end()) parentOf[i] = found->second;
    }
    if (HasCycle(parentOf)) return false;
    for (std::int32_t i = 0; i < count; ++i)
        model.parts[i]->parent = parentOf[i] < 0 ? nullptr : model.parts[parentOf[i]].get();
    return true;
}

bool ReadModel(TokenReader& tokens, LoadedModel& model) {
    char magic[5];
    std::int32_t version = 0;
    if (!tokens.ReadWord(magic, sizeof magic) || std::strcmp(magic, "NMDL") != 0) return false;
    if (!tokens.ReadInteger(version) || version != 1) return false;
    if (!SkipWord(tokens, kFirstFreeWordSize) || !SkipWord(tokens) || !SkipWord(tokens)) return false;

    std::int32_t partCount = 0;
    if (!tokens.ReadInteger(partCount) || partCount <= 0) return false;
    if (!CanHold(tokens, partCount * kPartTokens + 1)) return false;
    model.parts.reserve(partCount);
    std::vector<Name> parentNames(partCount);
    for (std::int32_t i = 0; i < partCount; ++i)
        if (!ReadPart(tokens, model, parentNames[i], partCount - 1 - i)) return false;
    if (!SkipWord(tokens)) return false;
    return ResolveParents(model, parentNames);
}

}  // namespace

bool Model::Load(const char* fileName) {
    FILE* file = OpenFile(fileName, "r");
    if (!file) return false;
    TokenReader tokens(file);
    LoadedModel loaded;
    const bool read = ReadModel(tokens, loaded);
    CloseFile(file);
    if (!read) return false;

    // From here the parts and their polygons live until the program ends.
    const std::int32_t count = static_cast<std::int32_t>(loaded.parts.size());
    parts = new ModelPart*[count];
    for (std::int32_t i = 0; i < count; ++i) parts[i] = loaded.parts[i].release();
    for (auto& polygons : loaded.polygonArrays) polygons.release();
    partCount = count;
    return true;
}
