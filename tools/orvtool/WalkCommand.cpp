// orvtool walk: runs the engine's own player update on a level file, headless,
// with the keys and mouse motion of each frame taken from a script, and prints
// the player after every frame. No images, window or sound are needed.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/Audio.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "orvtool/Commands.h"
#include "orvtool/InputFile.h"
#include "orvtool/WalkScript.h"
#include "platform/core/System.h"
#include "player/Input.h"
#include "player/Player.h"
#include "player/ScriptedControls.h"

namespace {

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
