// The tests' side of the platform's test seam (platform/core/Seam.h): arm a
// platform call to fail, script message-box answers, fix the tick count, and
// read back the calls made. The first use installs it in the platform.
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

// The next `times` calls of `call` fail with `result`. `call` is a platform
// name ("CoInitialize"), one case of a call by its name and the first word of
// its recorded arguments ("CreateSurface texture"), or a condition the
// platform asks for by name ("ShmPresent.Open").
void ArmFailure(const std::string& call, std::int64_t result, int times = 1);

// The next message boxes answer these button IDs, in order, without showing.
void ScriptMessageBoxAnswers(std::initializer_list<int> answers);
int PendingMessageBoxAnswers();

// GetTickCount returns `ticks` until the next Reset.
void SetTickCount(std::uint32_t ticks);

// From now on every stand-in call is recorded.
void StartRecording();
// Records a call of a test's own stand-in among the platform's.
void Record(const std::string& call, const std::string& args = {});
const std::vector<Call>& Calls();
std::vector<std::string> CallNames();

// Back to a fresh process: no armed failures, answers, fixed ticks or
// recorded calls; windows destroyed, classes unregistered, queue emptied.
void Reset();

}  // namespace seam
