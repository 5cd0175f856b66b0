// Hearing what the audio device played: SDL's disk driver writes the mix to a
// file (32-bit float stereo at the mix rate), read back once the device is
// closed. A clock joins the mix so that moments on the test's thread can be
// placed in the recording.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/sound/Mixer.h"
#include "support/files/Samples.h"
#include "support/files/TempDir.h"

class AudioCapture {
public:
    // Must be made before the device opens: it selects the disk driver.
    AudioCapture();
    ~AudioCapture();
    AudioCapture(const AudioCapture&) = delete;
    AudioCapture& operator=(const AudioCapture&) = delete;

    // Frames mixed since the device opened: a sound played between two
    // readings starts, in the recording, at a frame between them.
    std::size_t Frames();
    // Waits until `frames` frames have been mixed; false if that takes far
    // longer than playing them should.
    bool WaitFor(std::size_t frames);
    // The left channel from the device's first mixed frame on. Fails the test
    // where the right channel differs: every sound is mono.
    std::vector<float> Recording() const;
    // The left channel from the device's first mixed frame on, for what is
    // not mono (the MIDI synthesiser's stereo).
    std::vector<float> Left() const;

private:
    // Interleaved frames from the device's first mixed frame on, the clock's mark taken out.
    std::vector<float> Stereo() const;

    class Clock : public MixerSource {
    public:
        std::size_t frames = 0;
        void MixInto(float* mix, int count) override;
    };

    TempDir dir;
    Clock clock;
};
