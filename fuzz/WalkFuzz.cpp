// The script of orvtool walk, read as the command reads its argument, then
// played through the scripted controls for a few frames of each group: the
// keys the player update would see and the mouse motion it would read.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "orvtool/WalkScript.h"
#include "platform/core/System.h"
#include "player/Input.h"
#include "player/ScriptedControls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string script(reinterpret_cast<const char*>(data), size);
    std::vector<FrameGroup> groups;
    std::string bad;
    if (!ParseScript(script, groups, bad)) return 0;
    ScriptedControls controls;
    controls.Install();
    for (const FrameGroup& group : groups) {
        controls.keys = group.keys;
        // A group may hold billions of frames: a few show what each reads.
        for (long frame = 0; frame < std::min(group.frames, 4L); ++frame) {
            controls.motionX = group.motionX;
            controls.motionY = group.motionY;
            DIMOUSESTATE state;
            controls.GetDeviceState(sizeof state, &state);
            if (KeyDown(VK_ESCAPE)) return 0;
        }
    }
    return 0;
}
