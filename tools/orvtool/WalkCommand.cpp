// orvtool walk: runs the engine's own player update on a level file, headless,
// with the keys and mouse motion of each frame taken from a script, and prints
// the player after every frame. No images, window or sound are needed.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/Audio.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "orvtool/Commands.h"
#include "orvtool/InputFile.h"
#include "platform/core/System.h"
#include "player/Input.h"
#include "player/Player.h"
#include "player/ScriptedControls.h"

namespace {

// One group of the script: these keys and this mouse motion, `frames` times.
struct FrameGroup {
    std::vector<int> keys;
    LONG motionX = 0;
    LONG motionY = 0;
    long frames = 1;
};

struct KeyName {
    const char* name;
    int virtualKey;
};

const KeyName kKeys[] = {{"w", 'W'},          {"a", 'A'},           {"s", 'S'},        {"d", 'D'},
                         {"up", VK_UP},       {"down", VK_DOWN},    {"left", VK_LEFT}, {"right", VK_RIGHT},
                         {"space", VK_SPACE}, {"escape", VK_ESCAPE}};

bool ParseLong(const std::string& text, long low, long high, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && errno != ERANGE && value >= low && value <= high;
}

bool ParseKeys(const std::string& text, std::vector<int>& keys) {
    if (text == "-") return true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t plus = text.find('+', start);
        const std::string name = text.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        bool known = false;
        for (const KeyName& key : kKeys)
            if (name == key.name) {
                keys.push_back(key.virtualKey);
                known = true;
            }
        if (!known) return false;
        if (plus == std::string::npos) return true;
        start = plus + 1;
    }
}

// KEYS[@DX,DY][*N]; false when the group is not of that form.
bool ParseGroup(const std::string& text, FrameGroup& group) {
    std::string rest = text;
    if (const std::size_t star = rest.find('*'); star != std::string::npos) {
        if (!ParseLong(rest.substr(star + 1), 1, LONG_MAX, group.frames)) return false;
        rest.erase(star);
    }
    if (const std::size_t at = rest.find('@'); at != std::string::npos) {
        const std::string motion = rest.substr(at + 1);
        const std::size_t comma = motion.find(',');
        long x = 0, y = 0;
        if (comma == std::string::npos || !ParseLong(motion.substr(0, comma), INT32_MIN, INT32_MAX, x) ||
            !ParseLong(motion.substr(comma + 1), INT32_MIN, INT32_MAX, y))
            return false;
        group.motionX = static_cast<LONG>(x);
        group.motionY = static_cast<LONG>(y);
        rest.erase(at);
    }
    return ParseKeys(rest, group.keys);
}

bool ParseScript(const std::string& script, std::vector<FrameGroup>& groups, std::string& bad) {
    std::size_t start = 0;
    while ((start = script.find_first_not_of(" \t\n", start)) != std::string::npos) {
        const std::size_t end = script.find_first_of(" \t\n", start);
        const std::string text = script.substr(start, end == std::string::npos ? std::string::npos : end - start);
        FrameGroup group;
        if (!ParseGroup(text, group)) {
            bad = text;
            return false;
        }
        groups.push_back(group);
        start = end;
    }
    return true;
}

bool ParseCoordinate(const char* text, float& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtof(text, &end);
    return end != text && *end == '\0' && errno != ERANGE && std::isfinite(value);
}

void PrintFrame(long long frame) {
    const Player& p = g_Player;
    std::printf("%lld %.9g %.9g %.9g %.9g %.9g %.9g %.9g %.9g %d\n", frame, p.position.x, p.position.y, p.position.z,
                p.yaw, p.pitch, p.velocity.x, p.velocity.y, p.velocity.z, p.airborne);
}

}  // namespace

int WalkCommand(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const bool withStart = args.size() == 6 && args[2] == "--start";
    if (args.size() != 2 && !withStart) return UsageError("walk");

    std::vector<FrameGroup> groups;
    std::string bad;
    if (!ParseScript(args[1], groups, bad))
        return Fail("bad script group '" + bad + "': expected KEYS[@DX,DY][*N], KEYS '-' or names from " +
                        "w a s d up down left right space escape joined by '+'",
                    2);
    Vector start{};
    if (withStart &&
        !(ParseCoordinate(argv[4], start.x) && ParseCoordinate(argv[5], start.y) && ParseCoordinate(argv[6], start.z)))
        return Fail("the start must be three finite numbers", 2);

    const InputFile file(args[0]);
    if (file.Path().empty()) return Fail(file.Error());
    std::vector<BspNode*> nodes;
    if (!g_Bsp.ReadTree(file.Path().c_str(), nodes))
        return Fail("cannot read level '" + args[0] + "': it is missing or not a well-formed level");

    // As the program runs it after its start-up, without a jump sound.
    g_InvertMouseY = 1;
    g_JumpSound = -1;
    pSoundManager = &g_Audio.soundEffects;
    StartPlayer();
    if (withStart) g_Player.position = start;
    ScriptedControls controls;
    controls.Install();

    long long frame = 0;
    bool escaped = false;
    for (const FrameGroup& group : groups) {
        controls.keys = group.keys;
        for (long i = 0; i < group.frames && !escaped; ++i) {
            controls.motionX = group.motionX;
            controls.motionY = group.motionY;
            g_Input.Update();
            PrintFrame(++frame);
            escaped = KeyDown(VK_ESCAPE);
        }
        if (escaped) break;
    }
    g_Bsp.FreeTree(&g_Bsp.root);  // no surfaces were bound: nothing for a renderer to release
    if (std::fflush(stdout) != 0) return Fail("cannot write the output");
    return 0;
}
