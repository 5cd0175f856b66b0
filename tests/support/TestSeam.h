// The tests' side of the platform's test seam: arm a platform call to fail,
// script message-box answers, fix the tick count, and read back the calls made.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace seam {

struct Call {
    std::string name;
    std::string args;
};

// The next `times` calls of `call` (its platform name, e.g. "CoInitialize")
// fail with `result`.
void ArmFailure(const std::string& call, std::int64_t result, int times = 1);

// The next message boxes answer these button IDs, in order, without showing.
void ScriptMessageBoxAnswers(std::initializer_list<int> answers);
int PendingMessageBoxAnswers();

// GetTickCount returns `ticks` until the next Reset.
void SetTickCount(std::uint32_t ticks);

// From now on every stand-in call is recorded.
void StartRecording();
const std::vector<Call>& Calls();
std::vector<std::string> CallNames();

// Back to a fresh process: no armed failures, answers, fixed ticks or
// recorded calls; windows destroyed, classes unregistered, queue emptied.
void Reset();

}  // namespace seam
