// The platform's side of the test seam. Each stand-in call a test may watch
// or make fail asks the seam once, by the call's platform name; message boxes
// take scripted answers from it and the tick count may come from it. A test
// installs what answers (the tests' support library, tests/support/stand-ins/TestSeam.h);
// the program installs nothing, so there every question comes back empty
// after one pointer test, and the arguments a call words are dropped.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

class Seam {
public:
    // A stand-in call by its platform name ("CoInitialize",
    // "IDirectSound::CreateSoundBuffer") with its key arguments: noted while
    // the test records; the result it was armed to fail with, consuming one
    // armed failure. A test arms a call by its name, or one case of it by its
    // name and the first word of its arguments ("CreateSurface texture").
    virtual std::optional<std::int64_t> Call(const char* call, std::string_view args) = 0;
    // Whether the test armed `condition`, a case that is no call of its own
    // ("ShmPresent.Open": no shared-memory presents); consumes the arming.
    virtual bool Armed(const char* condition) = 0;
    virtual std::optional<int> MessageBoxAnswer() = 0;
    // A tick count standing in for the real clock.
    virtual std::optional<std::uint32_t> TickCount() = 0;

protected:
    ~Seam() = default;
};

// The seam that answers from now on.
void InstallSeam(Seam* seam);

// The installed seam's answers; empty when none is installed.
std::optional<std::int64_t> SeamCall(const char* call, std::string_view args = {});
bool SeamArmed(const char* condition);
std::optional<int> SeamMessageBoxAnswer();
std::optional<std::uint32_t> SeamTickCount();

// Implemented by the windowing stand-in: forgets every window, class, queued
// message and the pending quit, so each test starts from a fresh process state.
void ResetWindowing();
