// The music object and the synthesiser port it offers.
#include "platform/music/DirectMusicPort.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "platform/core/Seam.h"

namespace {

// The General MIDI sound font of the synthesiser port (Debian's
// timgm6mb-soundfont): without it there is no port.
constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

bool IsReadable(const char* path) {
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

// Nothing of the synthesiser's own goes to the console.
void SilenceSynthesiserLog() {
    static std::once_flag silenced;
    std::call_once(silenced, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) fluid_set_log_function(level, nullptr, nullptr);
    });
}

class MusicObject final : public Counted<IDirectMusic, kIidMusic> {
public:
    HRESULT EnumPort(DWORD index, DMUS_PORTCAPS* caps) override {
        if (auto failure = SeamCall("IDirectMusic::EnumPort", std::to_string(index)))
            return static_cast<HRESULT>(*failure);
        if (!caps) return E_POINTER;
        if (caps->dwSize != sizeof(DMUS_PORTCAPS)) return E_INVALIDARG;
        if (index > 0 || !IsReadable(kSoundFont)) return S_FALSE;
        *caps = {};
        caps->dwSize = sizeof(DMUS_PORTCAPS);
        caps->guidPort = kSynthPort;
        caps->dwClass = DMUS_PC_OUTPUTCLASS;
        caps->dwMaxChannelGroups = 1;
        caps->dwMaxAudioChannels = kMixChannels;
        const char16_t description[] = u"General MIDI Software Synthesizer";
        std::copy(std::begin(description), std::end(description), caps->wszDescription);
        return S_OK;
    }

    HRESULT CreatePort(const GUID& port, DMUS_PORTPARAMS* params, IDirectMusicPort** created,
                       IUnknown* outer) override {
        const auto failure = SeamCall("IDirectMusic::CreatePort");
        if (!created) return E_POINTER;
        *created = nullptr;
        if (failure) return static_cast<HRESULT>(*failure);
        if (outer) return CLASS_E_NOAGGREGATION;
        if (!params || params->dwSize != sizeof(DMUS_PORTPARAMS) || port != kSynthPort) return E_INVALIDARG;
        *created = SynthPort::Create();
        return *created ? S_OK : E_FAIL;
    }
};

}  // namespace

SynthPort* SynthPort::Create() {
    SilenceSynthesiserLog();
    fluid_settings_t* settings = new_fluid_settings();
    if (!settings) return nullptr;
    fluid_settings_setnum(settings, "synth.sample-rate", kMixRate);
    // Every call is made under the mixer lock: the synthesiser needs no lock of its own.
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    // Dry, so that stopping silences at once: no reverberation or chorus rings on.
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    if (!synth || fluid_synth_sfload(synth, kSoundFont, 1) == FLUID_FAILED) {
        if (synth) delete_fluid_synth(synth);
        delete_fluid_settings(settings);
        return nullptr;
    }
    return new SynthPort(settings, synth);
}

HRESULT SynthPort::Activate(BOOL active) {
    if (auto failure = SeamCall("IDirectMusicPort::Activate", std::to_string(active)))
        return static_cast<HRESULT>(*failure);
    return SetActive(active) ? S_OK : E_FAIL;
}

bool SynthPort::SetActive(bool active) {
    if (active && !inMix) {
        if (!OpenMixer()) return false;
        AddMixerSource(this);
        inMix = true;
    } else if (!active && inMix) {
        RemoveMixerSource(this);
        CloseMixer();
        inMix = false;
    }
    return true;
}

void SynthPort::Play(std::shared_ptr<const MidiSequence> played) {
    auto lock = LockMixer();
    fluid_synth_all_notes_off(synth, -1);
    sequence = std::move(played);
    next = 0;
    frame = 0;
}

void SynthPort::Silence() {
    auto lock = LockMixer();
    sequence.reset();
    fluid_synth_all_sounds_off(synth, -1);
}

bool SynthPort::IsPlaying(const MidiSequence* played) {
    auto lock = LockMixer();
    return sequence && sequence.get() == played && frame < sequence->lengthFrames;
}

void SynthPort::MixInto(float* mix, int frames) {
    for (int done = 0; done < frames;) {
        int chunk = std::min(frames - done, kRenderFrames);
        if (sequence) {
            const auto& messages = sequence->messages;
            while (next < messages.size() && messages[next].frame <= frame) Send(messages[next++]);
            // Rendered up to the next message, which then goes at its frame.
            if (next < messages.size())
                chunk = static_cast<int>(std::min<std::uint64_t>(chunk, messages[next].frame - frame));
        }
        fluid_synth_write_float(synth, chunk, left, 0, 1, right, 0, 1);
        for (int i = 0; i < chunk; ++i) {
            const std::size_t at = (static_cast<std::size_t>(done) + i) * 2;
            mix[at] += left[i];
            mix[at + 1] += right[i];
        }
        frame += chunk;
        done += chunk;
    }
}

SynthPort::~SynthPort() {
    SetActive(false);
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
}

void SynthPort::Send(const MidiMessage& message) {
    int channel = message.status & 0x0F;
    switch (message.status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, channel, message.data1);
        break;
    case 0x90:
        if (message.data2 == 0)
            fluid_synth_noteoff(synth, channel, message.data1);
        else
            fluid_synth_noteon(synth, channel, message.data1, message.data2);
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, message.data1, message.data2);
        break;
    case 0xB0:
        fluid_synth_cc(synth, channel, message.data1, message.data2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, channel, message.data1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, message.data1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, channel, message.data1 | message.data2 << 7);
        break;
    }
}

IDirectMusic* NewMusicObject() { return new MusicObject; }
