// The platform's side of the test seam. Stand-ins ask it whether a test armed
// them to fail, take scripted message-box answers from it and report the calls
// they make. The arming side is tests/support/TestSeam.h; nothing in the
// engine arms anything, so in the program every query comes back empty.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace seam {

// The result a test armed `call` to fail with, consuming one armed failure.
std::optional<std::int64_t> Failure(const char* call);

// Notes a call and its key arguments while a test records.
void Record(const char* call, const std::string& args = {});

std::optional<int> NextMessageBoxAnswer();

// A tick count set by a test, standing in for the real clock.
std::optional<std::uint32_t> TickCount();

}  // namespace seam

// Implemented by the windowing stand-in: forgets every window, class, queued
// message and the pending quit, so each test starts from a fresh process state.
void ResetWindowing();
