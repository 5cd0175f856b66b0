// The music object and its one port, a General MIDI software synthesiser
// (FluidSynth) that sounds into the shared audio device while it is active.
// Shared by the music object's side (DirectMusicPort.cpp) and the
// performance, which plays segments on the port (DirectMusic.cpp).
#pragma once

#include <fluidsynth.h>

#include <cstdint>
#include <memory>

#include "platform/music/DirectMusic.h"
#include "platform/music/MidiFile.h"
#include "platform/sound/Mixer.h"

// Reference counting and QueryInterface for an object with one interface,
// `Interface` by the identifier `kIid`.
template <class Interface, const GUID& kIid>
class Counted : public Interface {
public:
    HRESULT QueryInterface(const GUID& iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != kIid) return E_NOINTERFACE;
        *object = static_cast<Interface*>(this);
        ++references;
        return S_OK;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override {
        if (--references > 0) return references;
        delete this;
        return 0;
    }

protected:
    virtual ~Counted() = default;

private:
    ULONG references = 1;
};

// The synthesiser port's identifier, as EnumPort gives it.
inline constexpr GUID kSynthPort = {0x4F52564D, 0x5359, 0x4E54, {0x48, 0x50, 0x4F, 0x52, 0x54, 0x00, 0x00, 0x01}};

// Identifiers of the interfaces that are only handed out, never asked for.
inline constexpr GUID kIidPort = {0x4F52564D, 0x5359, 0x4E54, {0x48, 0x49, 0x49, 0x44, 0x00, 0x00, 0x00, 0x01}};
inline constexpr GUID kIidMusic = {0x4F52564D, 0x5359, 0x4E54, {0x48, 0x49, 0x49, 0x44, 0x00, 0x00, 0x00, 0x02}};
inline constexpr GUID kIidSegmentState = {0x4F52564D, 0x5359, 0x4E54, {0x48, 0x49, 0x49, 0x44, 0x00, 0x00, 0x00, 0x03}};

// The General MIDI synthesiser as a port. While active it is a source of the
// mix, rendering on the audio thread and playing the messages of the sequence
// the performance gave it at their frames.
class SynthPort final : public Counted<IDirectMusicPort, kIidPort>, public MixerSource {
public:
    // Null when the synthesiser or its sound font cannot be set up.
    static SynthPort* Create();

    HRESULT Activate(BOOL active) override;
    // False when no audio device can be opened.
    bool SetActive(bool active);
    // From the start of `played`, cutting off the notes still held.
    void Play(std::shared_ptr<const MidiSequence> played);
    // Stops the sequence and every sound at once.
    void Silence();
    bool IsPlaying(const MidiSequence* played);
    void MixInto(float* mix, int frames) override;

private:
    static constexpr int kRenderFrames = 512;

    SynthPort(fluid_settings_t* settings, fluid_synth_t* synth) : settings(settings), synth(synth) {}
    ~SynthPort() override;
    void Send(const MidiMessage& message);

    fluid_settings_t* settings;
    fluid_synth_t* synth;
    bool inMix = false;  // main thread only
    // Shared with the audio thread, under the mixer lock.
    std::shared_ptr<const MidiSequence> sequence;
    std::size_t next = 0;     // the next message to send
    std::uint64_t frame = 0;  // frames rendered since the sequence started
    float left[kRenderFrames];
    float right[kRenderFrames];
};

// The music object Init makes: it offers the synthesiser as its one port.
IDirectMusic* NewMusicObject();
