#include "platform/core/Seam.h"

namespace {

Seam* installed = nullptr;

}  // namespace

void InstallSeam(Seam* seam) { installed = seam; }

std::optional<std::int64_t> SeamCall(const char* call, std::string_view args) {
    return installed ? installed->Call(call, args) : std::nullopt;
}

bool SeamArmed(const char* condition) { return installed && installed->Armed(condition); }

std::optional<int> SeamMessageBoxAnswer() { return installed ? installed->MessageBoxAnswer() : std::nullopt; }

std::optional<std::uint32_t> SeamTickCount() { return installed ? installed->TickCount() : std::nullopt; }
