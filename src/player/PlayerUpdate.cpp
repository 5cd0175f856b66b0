// The per-frame player update. Everything is counted per frame and computed in
// single precision; only the radians-to-degrees step of the heading divides by
// pi as a double. Never build this with -ffast-math: a player without
// horizontal motion relies on not-a-number comparisons (see the probe below).
#include <cmath>

#if defined(__FAST_MATH__) || (defined(__FINITE_MATH_ONLY__) && __FINITE_MATH_ONLY__)
#error "the player update relies on not-a-number comparisons: build it without -ffast-math"
#endif

#include "audio/SoundManager.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "math/Vector.h"
#include "platform/core/System.h"
#include "platform/input/DirectInput.h"
#include "platform/window/Window.h"
#include "player/Input.h"
#include "player/Player.h"

namespace {

constexpr float kGroundFriction = 0.025f;
constexpr float kAirFriction = 0.01f;
constexpr float kImpulse = 0.1f;  // a key's push, added to the friction
constexpr float kSidewaysDivisor = 2.0f;
constexpr float kTurnRate = 0.04f;  // radians per frame of an arrow key
constexpr float kMaxSpeed = 0.5f;
constexpr float kProbeDistance = 1.5f;
constexpr float kEyeHeight = 5.0f;  // the eye above the feet
constexpr float kHeadAbove = 1.0f;  // the head test above the eye
constexpr float kStepIncrement = 0.1f;
constexpr float kStepLimit = 1.5f;
constexpr float kGroundIncrement = 0.1f;
constexpr float kGroundFloor = -1000.0f;
constexpr float kStandingEye = 5.1f;  // the eye above the first solid point below the feet
constexpr float kFallThreshold = 1.0f;
constexpr float kGravity = 0.05f;
constexpr float kFastestFall = -0.35f;
constexpr float kJumpSpeed = 0.6f;
constexpr std::int32_t kMouseLookPeriod = 2;  // frames
constexpr int kYawDivisor = 50;               // per frame of the period
constexpr int kPitchDivisor = 55;

bool Solid(float x, float y, float z) { return g_Bsp.IsPointSolid(x, y, z); }

// The heading goes through degrees: there with pi as a double, back with pi
// as a float.
float Degrees(float radians) { return static_cast<float>(radians * 180.0f / 3.141592654); }
float Radians(float degrees) { return degrees * 3.1415927f / 180.0f; }

// Adds `push` along the heading turned `degrees` from the yaw.
void Push(Player& player, float degrees, float push) {
    const float heading = Radians(Degrees(player.yaw) + degrees);
    player.velocity.x += push * std::cos(heading);
    player.velocity.z += push * std::sin(heading);
}

// Tries the step heights t = 0, 0.1, 0.2, ... (accumulated in single
// precision, the last one just past 1.5) at the point (x, z): true, with `t`,
// at the first height whose feet point (5 below eyeY + t) and eye point
// (eyeY + t) are both free. The eye point is asked only over free feet.
bool FindStepHeight(float x, float eyeY, float z, float& t) {
    for (t = 0.0f;; t += kStepIncrement) {
        if (!Solid(x, eyeY + t - kEyeHeight, z) && !Solid(x, eyeY + t, z)) return true;
        if (!(t < kStepLimit)) return false;
    }
}

}  // namespace

void Input::Update() {
    Player& player = g_Player;

    if (KeyDown(VK_ESCAPE)) {
        PostQuitMessage(0);
        return;
    }

    // A failed read leaves g_MouseState as the last good one.
    if (FAILED(g_pMouse->GetDeviceState(sizeof(DIMOUSESTATE), &g_MouseState))) {
        Release();
        PostQuitMessage(0);
    }

    // Mouse look turns the view every second frame by the two frames' motion.
    g_MouseFrame = (g_MouseFrame + 1) % kMouseLookPeriod;
    g_MouseSumX += static_cast<float>(g_MouseState.lX);
    g_MouseSumY += static_cast<float>(g_MouseState.lY);
    if (g_MouseFrame == 0) {
        player.yaw -= g_MouseSumX / (kMouseLookPeriod * kYawDivisor);
        if (g_InvertMouseY)
            player.pitch += g_MouseSumY / (kMouseLookPeriod * kPitchDivisor);
        else
            player.pitch -= g_MouseSumY / (kMouseLookPeriod * kPitchDivisor);
        g_MouseSumX = 0.0f;
        g_MouseSumY = 0.0f;
    }

    player.newPosition = player.position;
    const float friction = player.airborne ? kAirFriction : kGroundFriction;
    const float push = friction + kImpulse;

    if (KeyDown(VK_UP) || KeyDown('W')) Push(player, 90.0f, push);
    if (KeyDown(VK_DOWN) || KeyDown('S')) Push(player, -90.0f, push);

    if (KeyDown(VK_LEFT)) player.yaw += kTurnRate;
    if (KeyDown(VK_RIGHT)) player.yaw -= kTurnRate;

    const float sideways = push / kSidewaysDivisor;
    if (KeyDown('A')) {
        player.velocity.x -= sideways * std::cos(player.yaw);
        player.velocity.z -= sideways * std::sin(player.yaw);
    }
    if (KeyDown('D')) {
        player.velocity.x += sideways * std::cos(player.yaw);
        player.velocity.z += sideways * std::sin(player.yaw);
    }

    float speed = std::sqrt(player.velocity.x * player.velocity.x + player.velocity.z * player.velocity.z);
    if (speed > kMaxSpeed) {
        player.velocity.x *= kMaxSpeed / speed;
        player.velocity.z *= kMaxSpeed / speed;
        speed = kMaxSpeed;
    }

    player.newPosition.x += player.velocity.x;
    player.newPosition.z += player.velocity.z;

    // A standing player (speed 0) stops here without a division.
    const float slowed = speed - friction;
    if (slowed < 0.0f) {
        player.velocity.x = 0.0f;
        player.velocity.z = 0.0f;
    } else {
        player.velocity.x *= slowed / speed;
        player.velocity.z *= slowed / speed;
    }

    // Without horizontal motion the direction is not-a-number, and so is the
    // probe: every query at it then takes the front child at each node and
    // ends in the same leaf. A free leaf lets search A accept the height of
    // newPosition at t = 0; a solid one fails searches A to D and test E
    // accepts the same height. Either way the move is purely vertical.
    const Vector direction =
        Normalise({player.newPosition.x - player.position.x, 0.0f, player.newPosition.z - player.position.z});
    player.probe[0] = player.newPosition.x + kProbeDistance * direction.x;
    player.probe[1] = player.newPosition.z + kProbeDistance * direction.z;

    if (player.airborne || player.velocity.y < 0.0f) {
        if (player.velocity.y > 0.0f &&
            Solid(player.newPosition.x, player.position.y + kHeadAbove, player.newPosition.z))
            player.velocity.y = 0.0f;  // the head hits a ceiling
        else
            player.newPosition.y += player.velocity.y;
    }

    // Walls and steps: the whole move, then sliding along z, then along x,
    // each climbing up to 1.5; then the move at the present height; then the
    // vertical move alone.
    bool blocked = true;
    float t = 0.0f;
    if (FindStepHeight(player.probe[0], player.newPosition.y, player.probe[1], t)) {
        player.position = {player.newPosition.x, player.newPosition.y + t, player.newPosition.z};
        blocked = false;
    }
    if (blocked && FindStepHeight(player.position.x, player.newPosition.y, player.probe[1], t)) {
        player.position.y = player.newPosition.y + t;
        player.position.z = player.newPosition.z;
        blocked = false;
    }
    if (blocked && FindStepHeight(player.probe[0], player.newPosition.y, player.position.z, t)) {
        player.position.x = player.newPosition.x;
        player.position.y = player.newPosition.y + t;
        blocked = false;
    }
    if (blocked && !Solid(player.probe[0], player.position.y - kEyeHeight, player.probe[1])) {
        player.position.x = player.newPosition.x;
        player.position.z = player.newPosition.z;
        blocked = false;
    }
    if (blocked && !Solid(player.position.x, player.newPosition.y, player.position.z)) {
        player.position.y = player.newPosition.y;
        blocked = false;
    }

    // The ground: the first solid point below the feet, in steps of 0.1.
    float ground = player.position.y - kEyeHeight;
    while (!Solid(player.position.x, ground, player.position.z) && ground > kGroundFloor) ground -= kGroundIncrement;
    ground += kStandingEye;  // the eye of a player standing there
    if (player.position.y > ground) {
        if (player.position.y - ground > kFallThreshold) {
            player.airborne = 1;
            player.velocity.y -= kGravity;
        } else if (!player.airborne) {
            player.position.y = ground;  // walks down onto it
        } else if (player.velocity.y == 0.0f) {
            // A ceiling stopped the rise within the first unit, where gravity
            // does not act: without this the player would hang there for good,
            // unable to jump again. Only that case has no vertical speed here.
            player.velocity.y -= kGravity;
        }
    }
    if (player.velocity.y < kFastestFall) player.velocity.y = kFastestFall;
    if (player.position.y <= ground) {
        player.velocity.y = 0.0f;
        player.airborne = 0;
    }

    // A jump needs a fresh press of Space.
    if (KeyDown(VK_SPACE)) {
        if (!player.airborne && !player.jumpHeld) {
            player.velocity.y = kJumpSpeed;
            player.airborne = 1;
            player.jumpHeld = 1;
            pSoundManager->Play(g_JumpSound);
        }
    } else {
        player.jumpHeld = 0;
    }

    // Nowhere to go: pushed back by the attempted move; the velocity stays.
    if (blocked) {
        player.position.x = player.position.x - (player.newPosition.x - player.position.x);
        player.position.y = player.position.y - (player.newPosition.y - player.position.y);
        player.position.z = player.position.z - (player.newPosition.z - player.position.z);
    }
}
