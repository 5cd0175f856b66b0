// The sound manager's RIFF/WAV loader, into a buffer of SDL's dummy audio device.
#include <cstdio>
#include <cstdlib>

#include "FuzzInput.h"
#include "audio/DirectSoundManager.h"

namespace {

DirectSoundManager& Manager() {
    static DirectSoundManager* manager = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        auto* made = new DirectSoundManager;
        if (!made->DSound_Init()) {
            std::fputs("fuzz: the sound device did not start\n", stderr);
            std::abort();
        }
        return made;
    }();
    return *manager;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DirectSoundManager& manager = Manager();
    const int slot = manager.Load(fuzz::WriteInput(data, size));
    if (slot >= 0) manager.Play(slot);
    manager.DSound_Init();  // empties every slot for the next input
    return 0;
}
