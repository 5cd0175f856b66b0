#include "support/stand-ins/TestSeam.h"

#include <deque>
#include <map>
#include <optional>
#include <string_view>

#include "platform/core/Seam.h"

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

// The platform's seam as the tests drive it: installed on first use.
class TestSeam final : public ::Seam {
public:
    std::optional<std::int64_t> Call(const char* call, std::string_view args) override {
        Record(call, args);
        if (auto failure = Consume(call)) return failure;
        if (args.empty()) return std::nullopt;
        return Consume(std::string(call) + " " + std::string(args.substr(0, args.find(' '))));
    }

    bool Armed(const char* condition) override { return Consume(condition).has_value(); }

    std::optional<int> MessageBoxAnswer() override {
        if (state.answers.empty()) return std::nullopt;
        const int answer = state.answers.front();
        state.answers.pop_front();
        return answer;
    }

    std::optional<std::uint32_t> TickCount() override { return state.ticks; }

    void Record(std::string_view call, std::string_view args) {
        if (state.recording) state.calls.push_back({std::string(call), std::string(args)});
    }

    State state;

private:
    std::optional<std::int64_t> Consume(std::string_view key) {
        auto found = state.failures.find(key);
        if (found == state.failures.end()) return std::nullopt;
        const std::int64_t result = found->second.result;
        if (--found->second.remaining <= 0) state.failures.erase(found);
        return result;
    }
};

// Never destroyed: stand-ins are still called from destructors at process exit.
TestSeam& Installed() {
    static TestSeam* const seam = [] {
        auto* made = new TestSeam;
        InstallSeam(made);
        return made;
    }();
    return *seam;
}

}  // namespace

void ArmFailure(const std::string& call, std::int64_t result, int times) {
    Installed().state.failures[call] = {result, times};
}

void ScriptMessageBoxAnswers(std::initializer_list<int> answers) {
    auto& scripted = Installed().state.answers;
    scripted.insert(scripted.end(), answers);
}

int PendingMessageBoxAnswers() { return static_cast<int>(Installed().state.answers.size()); }

void SetTickCount(std::uint32_t ticks) { Installed().state.ticks = ticks; }

void StartRecording() { Installed().state.recording = true; }

void Record(const std::string& call, const std::string& args) { Installed().Record(call, args); }

const std::vector<Call>& Calls() { return Installed().state.calls; }

std::vector<std::string> CallNames() {
    std::vector<std::string> names;
    for (const auto& call : Calls()) names.push_back(call.name);
    return names;
}

void Reset() {
    ResetWindowing();
    Installed().state = State{};
}

}  // namespace seam
