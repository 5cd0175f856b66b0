#include "player/Player.h"

#include "globals/Globals.h"

void StartPlayer() {
    g_Player.position = {0.0f, 5.0f, 0.0f};
    g_Player.yaw = 0.0f;
    g_Player.pitch = 0.0f;
    g_Player.velocity = {0.0f, 0.0f, 0.0f};
    g_Player.airborne = 0;
    g_Player.jumpHeld = 0;
}
