// The input devices on a real display: starting and releasing the DirectInput
// object and the mouse, and the mouse's readings of real pointer motion.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/WinMain.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "platform/input/DirectInput.h"
#include "platform/window/Sdl.h"
#include "platform/window/Window.h"
#include "player/Input.h"
#include "player/Player.h"
#include "support/files/LevelFiles.h"
#include "support/files/TempDir.h"
#include "support/stand-ins/TestSeam.h"

namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = WindowProc;
        windowClass.lpszClassName = "INPUTTEST";
        ASSERT_NE(RegisterClassExA(&windowClass), 0);
        g_Window = CreateWindowExA(0, "INPUTTEST", "input", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                                   nullptr, nullptr);
        ASSERT_NE(g_Window, nullptr);
        seam::StartRecording();
    }
    void TearDown() override {
        g_Input.Release();
        g_Bsp.FreeTree(&g_Bsp.root);
        seam::Reset();
        g_Window = nullptr;
    }

    // The calls recorded from the `from`-th on, with their arguments.
    static std::vector<std::string> CallsSince(std::size_t from = 0) {
        std::vector<std::string> calls;
        const auto& all = seam::Calls();
        for (std::size_t i = from; i < all.size(); ++i)
            calls.push_back(all[i].args.empty() ? all[i].name : all[i].name + "(" + all[i].args + ")");
        return calls;
    }

    // Reads the mouse until the readings add up to at least `wanted` along
    // X, or a generous number of reads have found nothing more. The pointer's
    // motion reaches the program through the X server, at its own pace.
    static DIMOUSESTATE ReadUntil(LONG wanted) {
        DIMOUSESTATE total{};
        for (int attempt = 0; attempt < 200 && total.lX < wanted; ++attempt) {
            DIMOUSESTATE state{};
            EXPECT_EQ(g_pMouse->GetDeviceState(sizeof state, &state), DI_OK);
            total.lX += state.lX;
            total.lY += state.lY;
            total.lZ += state.lZ;
            SDL_Delay(10);
        }
        return total;
    }

    static void Xdotool(const std::string& args) { ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0) << args; }

    // Buttons and the wheel are sent to the window itself: whichever program
    // on the display holds the pointer would take them otherwise.
    static std::string ToTheWindow() {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        EXPECT_TRUE(SDL_GetWindowWMInfo(SdlWindowOf(g_Window), &info));
        return " --window " + std::to_string(info.info.x11.window) + " ";
    }
};

using Calls = std::vector<std::string>;

const Calls kStartCalls = {"DirectInputCreateA(0x700)", "IDirectInputA::CreateDevice",
                           "IDirectInputDeviceA::SetCooperativeLevel(0xa)", "IDirectInputDeviceA::SetDataFormat",
                           "IDirectInputDeviceA::Acquire"};

TEST_F(InputTest, StartAcquiresTheSystemMouseInRelativeModeAndReleaseLetsItGo) {
    ASSERT_TRUE(g_Input.Start(nullptr));
    EXPECT_EQ(CallsSince(), kStartCalls);
    EXPECT_NE(g_pDirectInput, nullptr);
    EXPECT_NE(g_pMouse, nullptr);
    EXPECT_TRUE(SDL_GetRelativeMouseMode()) << "the pointer is captured and hidden";

    const std::size_t started = seam::Calls().size();
    EXPECT_TRUE(g_Input.Release());
    EXPECT_EQ(CallsSince(started),
              (Calls{"IDirectInputDeviceA::Unacquire", "IDirectInputDeviceA::Release", "IDirectInputA::Release"}));
    EXPECT_EQ(g_pMouse, nullptr);
    EXPECT_EQ(g_pDirectInput, nullptr);
    EXPECT_FALSE(SDL_GetRelativeMouseMode());

    const std::size_t released = seam::Calls().size();
    EXPECT_TRUE(g_Input.Release());
    EXPECT_EQ(CallsSince(released), Calls{}) << "a second release does nothing";
}

TEST_F(InputTest, WithoutDirectInputStartFailsWithoutTouchingADevice) {
    seam::ArmFailure("DirectInputCreateA", DIERR_NOTINITIALIZED);
    EXPECT_FALSE(g_Input.Start(nullptr));
    EXPECT_EQ(CallsSince(), Calls{"DirectInputCreateA(0x700)"});
    EXPECT_EQ(g_pDirectInput, nullptr);
    EXPECT_EQ(g_pMouse, nullptr);
}

TEST_F(InputTest, AFailingStepReleasesTheDeviceThenTheObject) {
    const Calls kRelease = {"IDirectInputDeviceA::Unacquire", "IDirectInputDeviceA::Release", "IDirectInputA::Release"};
    for (std::size_t step = 1; step < kStartCalls.size(); ++step) {
        const std::string call = kStartCalls[step].substr(0, kStartCalls[step].find('('));
        SCOPED_TRACE(call);
        const std::size_t from = seam::Calls().size();
        seam::ArmFailure(call, E_FAIL);
        EXPECT_FALSE(g_Input.Start(nullptr));
        Calls expected(kStartCalls.begin(), kStartCalls.begin() + static_cast<long>(step) + 1);
        // Without a device only the DirectInput object is released.
        expected.insert(expected.end(), step == 1 ? kRelease.end() - 1 : kRelease.begin(), kRelease.end());
        EXPECT_EQ(CallsSince(from), expected);
        EXPECT_EQ(g_pDirectInput, nullptr);
        EXPECT_EQ(g_pMouse, nullptr);
        EXPECT_FALSE(SDL_GetRelativeMouseMode());
    }
}

TEST_F(InputTest, TheMouseRefusesWhatItDoesNotProvide) {
    IDirectInputA* directInput = nullptr;
    EXPECT_LT(DirectInputCreateA(nullptr, 0x0500, &directInput, nullptr), 0);
    ASSERT_EQ(DirectInputCreateA(nullptr, DIRECTINPUT_VERSION, &directInput, nullptr), DI_OK);
    IDirectInputDeviceA* mouse = nullptr;
    const GUID keyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
    EXPECT_EQ(directInput->CreateDevice(keyboard, &mouse, nullptr), DIERR_DEVICENOTREG);
    ASSERT_EQ(directInput->CreateDevice(GUID_SysMouse, &mouse, nullptr), DI_OK);

    EXPECT_EQ(mouse->SetCooperativeLevel(g_Window, DISCL_BACKGROUND), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->Acquire(), DIERR_INVALIDPARAM) << "no data format yet";
    const DIDATAFORMAT absolute = {0, 16};
    EXPECT_EQ(mouse->SetDataFormat(&absolute), DIERR_INVALIDPARAM);
    ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DI_OK);
    DIMOUSESTATE state{};
    EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_EQ(mouse->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DIERR_ACQUIRED);
    EXPECT_EQ(mouse->GetDeviceState(12, &state), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(mouse->Unacquire(), DI_OK);
    EXPECT_EQ(mouse->Unacquire(), DI_NOEFFECT);
    mouse->Release();
    directInput->Release();
}

TEST_F(InputTest, ReadsReportThePointersMotionTheWheelAndTheButtonsSinceThePreviousRead) {
    ASSERT_TRUE(g_Input.Start(nullptr));
    Xdotool("mousemove_relative -- 30 12");
    const DIMOUSESTATE moved = ReadUntil(30);
    EXPECT_EQ(moved.lX, 30);
    EXPECT_EQ(moved.lY, 12) << "toward the user is +Y";

    Xdotool("mousemove_relative -- -7 -3");
    DIMOUSESTATE back{};
    for (int attempt = 0; attempt < 200 && back.lX == 0; ++attempt) {
        ASSERT_EQ(g_pMouse->GetDeviceState(sizeof back, &back), DI_OK);
        SDL_Delay(10);
    }
    EXPECT_EQ(back.lX, -7);
    EXPECT_EQ(back.lY, -3);

    Xdotool("click" + ToTheWindow() + "4");  // the wheel, one notch away from the user
    DIMOUSESTATE wheel{};
    for (int attempt = 0; attempt < 200 && wheel.lZ == 0; ++attempt) {
        ASSERT_EQ(g_pMouse->GetDeviceState(sizeof wheel, &wheel), DI_OK);
        SDL_Delay(10);
    }
    EXPECT_EQ(wheel.lZ, 120);

    Xdotool("mousedown" + ToTheWindow() + "3");
    DIMOUSESTATE pressed{};
    for (int attempt = 0; attempt < 200 && !pressed.rgbButtons[1]; ++attempt) {
        ASSERT_EQ(g_pMouse->GetDeviceState(sizeof pressed, &pressed), DI_OK);
        SDL_Delay(10);
    }
    Xdotool("mouseup" + ToTheWindow() + "3");
    EXPECT_EQ(pressed.rgbButtons[1], 0x80) << "the right button";
    EXPECT_EQ(pressed.rgbButtons[0], 0);
    EXPECT_EQ(pressed.lX, 0);
}

TEST_F(InputTest, AFailedReadReleasesTheDevicesAsksToQuitAndTheFrameGoesOnWithTheLastReading) {
    TempDir dir;
    std::vector<BspNode*> nodes;
    ASSERT_TRUE(g_Bsp.ReadTree(dir.Write("floor.bsp", kFloorLevel).c_str(), nodes));
    StartPlayer();
    g_InvertMouseY = 1;
    KeyDown = [](int key) { return key == 'W'; };
    ASSERT_TRUE(g_Input.Start(nullptr));
    g_MouseState.lX = 30;  // the last good reading

    seam::ArmFailure("IDirectInputDeviceA::GetDeviceState", E_FAIL);
    const std::size_t from = seam::Calls().size();
    g_Input.Update();
    EXPECT_EQ(CallsSince(from),
              (Calls{"IDirectInputDeviceA::GetDeviceState(16)", "IDirectInputDeviceA::Unacquire",
                     "IDirectInputDeviceA::Release", "IDirectInputA::Release", "PostQuitMessage(0)"}));
    EXPECT_EQ(g_pMouse, nullptr);
    EXPECT_EQ(g_pDirectInput, nullptr);
    EXPECT_EQ(g_MouseSumX, 30.0f);
    EXPECT_FLOAT_EQ(g_Player.position.z, 0.125f) << "the frame still moved the player";
}

}  // namespace
