#include "platform/core/Seam.h"

#include <deque>
#include <map>
#include <vector>

#include "../../../tests/support/TestSeam.h"

namespace seam {
namespace {

struct ArmedFailure {
    std::int64_t result;
    int remaining;
};

struct State {
    std::map<std::string, ArmedFailure, std::less<>> failures;
    std::deque<int> answers;
    std::optional<std::uint32_t> ticks;
    bool recording = false;
    std::vector<Call> calls;
};

// Never destroyed: stand-ins are still called from destructors at process exit.
State& TheState() {
    static State* state = new State;
    return *state;
}

}  // namespace

std::optional<std::int64_t> Failure(const char* call) {
    auto& failures = TheState().failures;
    auto found = failures.find(call);
    if (found == failures.end()) return std::nullopt;
    std::int64_t result = found->second.result;
    if (--found->second.remaining <= 0) failures.erase(found);
    return result;
}

void Record(const char* call, const std::string& args) {
    if (TheState().recording) TheState().calls.push_back({call, args});
}

std::optional<int> NextMessageBoxAnswer() {
    auto& answers = TheState().answers;
    if (answers.empty()) return std::nullopt;
    int answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::uint32_t> TickCount() { return TheState().ticks; }

void ArmFailure(const std::string& call, std::int64_t result, int times) {
    TheState().failures[call] = {result, times};
}

void ScriptMessageBoxAnswers(std::initializer_list<int> answers) {
    TheState().answers.insert(TheState().answers.end(), answers);
}

int PendingMessageBoxAnswers() { return static_cast<int>(TheState().answers.size()); }

void SetTickCount(std::uint32_t ticks) { TheState().ticks = ticks; }

void StartRecording() { TheState().recording = true; }

const std::vector<Call>& Calls() { return TheState().calls; }

std::vector<std::string> CallNames() {
    std::vector<std::string> names;
    for (const auto& call : TheState().calls) names.push_back(call.name);
    return names;
}

void Reset() {
    ResetWindowing();
    TheState() = State{};
}

}  // namespace seam
