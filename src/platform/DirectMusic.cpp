#include "platform/DirectMusic.h"

#include <fluidsynth.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/ComClasses.h"
#include "platform/Files.h"
#include "platform/MidiFile.h"
#include "platform/Mixer.h"
#include "platform/Seam.h"

namespace {

// The General MIDI sound font of the synthesiser port (Debian's
// timgm6mb-soundfont): without it there is no port.
constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// The synthesiser port's identifier, as EnumPort gives it.
constexpr GUID kSynthPort = {0x4F52564D, 0x5359, 0x4E54, {0x48, 0x50, 0x4F, 0x52, 0x54, 0x00, 0x00, 0x01}};

constexpr int kRenderFrames = 512;

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

// Identifiers of the interfaces that are only handed out, never asked for.
constexpr GUID kIidPort = {0x4F52564D, 0x5359, 0x4E54, {0x48, 0x49, 0x49, 0x44, 0x00, 0x00, 0x00, 0x01}};
constexpr GUID kIidMusic = {0x4F52564D, 0x5359, 0x4E54, {0x48, 0x49, 0x49, 0x44, 0x00, 0x00, 0x00, 0x02}};
constexpr GUID kIidSegmentState = {0x4F52564D, 0x5359, 0x4E54, {0x48, 0x49, 0x49, 0x44, 0x00, 0x00, 0x00, 0x03}};

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

// The General MIDI synthesiser (FluidSynth) as a port. While active it is a
// source of the mix, rendering on the audio thread and playing the messages of
// the sequence the performance gave it at their frames.
class SynthPort final : public Counted<IDirectMusicPort, kIidPort>, public MixerSource {
public:
    // Null when the synthesiser or its sound font cannot be set up.
    static SynthPort* Create() {
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

    HRESULT Activate(BOOL active) override {
        seam::Record("IDirectMusicPort::Activate", std::to_string(active));
        if (auto failure = seam::Failure("IDirectMusicPort::Activate")) return static_cast<HRESULT>(*failure);
        return SetActive(active) ? S_OK : E_FAIL;
    }

    // False when no audio device can be opened.
    bool SetActive(bool active) {
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

    // From the start of `played`, cutting off the notes still held.
    void Play(std::shared_ptr<const MidiSequence> played) {
        auto lock = LockMixer();
        fluid_synth_all_notes_off(synth, -1);
        sequence = std::move(played);
        next = 0;
        frame = 0;
    }

    // Stops the sequence and every sound at once.
    void Silence() {
        auto lock = LockMixer();
        sequence.reset();
        fluid_synth_all_sounds_off(synth, -1);
    }

    bool IsPlaying(const MidiSequence* played) {
        auto lock = LockMixer();
        return sequence && sequence.get() == played && frame < sequence->lengthFrames;
    }

    void MixInto(float* mix, int frames) override {
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
                mix[(done + i) * 2] += left[i];
                mix[(done + i) * 2 + 1] += right[i];
            }
            frame += chunk;
            done += chunk;
        }
    }

private:
    SynthPort(fluid_settings_t* settings, fluid_synth_t* synth) : settings(settings), synth(synth) {}

    ~SynthPort() override {
        SetActive(false);
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
    }

    void Send(const MidiMessage& message) {
        int channel = message.status & 0x0F;
        switch (message.status & 0xF0) {
            case 0x80: fluid_synth_noteoff(synth, channel, message.data1); break;
            case 0x90:
                if (message.data2 == 0) fluid_synth_noteoff(synth, channel, message.data1);
                else fluid_synth_noteon(synth, channel, message.data1, message.data2);
                break;
            case 0xA0: fluid_synth_key_pressure(synth, channel, message.data1, message.data2); break;
            case 0xB0: fluid_synth_cc(synth, channel, message.data1, message.data2); break;
            case 0xC0: fluid_synth_program_change(synth, channel, message.data1); break;
            case 0xD0: fluid_synth_channel_pressure(synth, channel, message.data1); break;
            case 0xE0: fluid_synth_pitch_bend(synth, channel, message.data1 | message.data2 << 7); break;
        }
    }

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

class MusicObject final : public Counted<IDirectMusic, kIidMusic> {
public:
    HRESULT EnumPort(DWORD index, DMUS_PORTCAPS* caps) override {
        seam::Record("IDirectMusic::EnumPort", std::to_string(index));
        if (auto failure = seam::Failure("IDirectMusic::EnumPort")) return static_cast<HRESULT>(*failure);
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
        seam::Record("IDirectMusic::CreatePort");
        if (!created) return E_POINTER;
        *created = nullptr;
        if (auto failure = seam::Failure("IDirectMusic::CreatePort")) return static_cast<HRESULT>(*failure);
        if (outer) return CLASS_E_NOAGGREGATION;
        if (!params || params->dwSize != sizeof(DMUS_PORTPARAMS) || port != kSynthPort) return E_INVALIDARG;
        *created = SynthPort::Create();
        return *created ? S_OK : E_FAIL;
    }
};

class SegmentState final : public Counted<IDirectMusicSegmentState, kIidSegmentState> {};

class Segment final : public Counted<IDirectMusicSegment2, IID_IDirectMusicSegment2> {
public:
    explicit Segment(MidiSequence read) : sequence(std::make_shared<const MidiSequence>(std::move(read))) {}

    HRESULT SetParam(const GUID& type, DWORD, DWORD, MUSIC_TIME, void* param) override {
        seam::Record("IDirectMusicSegment::SetParam",
                     type == GUID_StandardMIDIFile ? "StandardMIDIFile" : type == GUID_Download ? "Download" : "other");
        if (auto failure = seam::Failure("IDirectMusicSegment::SetParam")) return static_cast<HRESULT>(*failure);
        // Every port has the whole General MIDI set: downloading needs only a performance to go to.
        if (type == GUID_Download) return param ? S_OK : E_POINTER;
        return type == GUID_StandardMIDIFile ? S_OK : E_INVALIDARG;
    }

    const std::shared_ptr<const MidiSequence> sequence;
};

class Performance final : public Counted<IDirectMusicPerformance2, IID_IDirectMusicPerformance2> {
public:
    HRESULT Init(IDirectMusic** music, IDirectSound*, HWND) override {
        seam::Record("IDirectMusicPerformance::Init");
        if (auto failure = seam::Failure("IDirectMusicPerformance::Init")) return static_cast<HRESULT>(*failure);
        if (musicObject) return E_FAIL;  // already initialised
        if (music && *music) {
            musicObject = *music;
            musicObject->AddRef();
            return S_OK;
        }
        musicObject = new MusicObject;
        if (music) {
            musicObject->AddRef();
            *music = musicObject;
        }
        return S_OK;
    }

    HRESULT PlaySegment(IDirectMusicSegment2* segment, DWORD flags, REFERENCE_TIME start,
                        IDirectMusicSegmentState** state) override {
        seam::Record("IDirectMusicPerformance::PlaySegment");
        if (state) *state = nullptr;
        if (!segment) return E_POINTER;
        if (flags != 0 || start != 0) return E_INVALIDARG;
        if (!blockZero) return E_FAIL;
        StopAll();
        current = static_cast<Segment*>(segment);
        current->AddRef();
        blockZero->Play(current->sequence);
        if (state) *state = new SegmentState;
        return S_OK;
    }

    HRESULT Stop(IDirectMusicSegment2* segment, IDirectMusicSegmentState* state, MUSIC_TIME time,
                 DWORD flags) override {
        seam::Record("IDirectMusicPerformance::Stop");
        if (time != 0 || flags != 0) return E_INVALIDARG;
        if (!segment && !state) StopAll();
        else if (segment && segment == current) StopAll();
        return S_OK;
    }

    HRESULT IsPlaying(IDirectMusicSegment2* segment, IDirectMusicSegmentState* state) override {
        if (!segment && !state) return E_POINTER;
        bool playing = segment && segment == current && blockZero && blockZero->IsPlaying(current->sequence.get());
        return playing ? S_OK : S_FALSE;
    }

    HRESULT AddPort(IDirectMusicPort* port) override {
        seam::Record("IDirectMusicPerformance::AddPort");
        if (!port) return E_POINTER;
        if (!musicObject) return E_FAIL;
        port->AddRef();
        ports.push_back(static_cast<SynthPort*>(port));
        return S_OK;
    }

    HRESULT AssignPChannelBlock(DWORD block, IDirectMusicPort* port, DWORD group) override {
        seam::Record("IDirectMusicPerformance::AssignPChannelBlock",
                     std::to_string(block) + " " + std::to_string(group));
        if (std::find(ports.begin(), ports.end(), port) == ports.end() || group == 0) return E_INVALIDARG;
        // A standard MIDI file plays on channels 0 to 15: block 0 is the one that sounds.
        if (block == 0) blockZero = static_cast<SynthPort*>(port);
        return S_OK;
    }

    HRESULT CloseDown() override {
        seam::Record("IDirectMusicPerformance::CloseDown");
        Close();
        return S_OK;
    }

private:
    ~Performance() override { Close(); }

    void Close() {
        StopAll();
        blockZero = nullptr;
        for (SynthPort* port : ports) {
            port->SetActive(false);
            port->Release();
        }
        ports.clear();
        if (musicObject) musicObject->Release();
        musicObject = nullptr;
    }

    void StopAll() {
        if (blockZero) blockZero->Silence();
        if (current) current->Release();
        current = nullptr;
    }

    IDirectMusic* musicObject = nullptr;
    std::vector<SynthPort*> ports;  // each with the performance's reference
    SynthPort* blockZero = nullptr;
    Segment* current = nullptr;  // the primary segment last played, with a reference
};

class Loader final : public Counted<IDirectMusicLoader, IID_IDirectMusicLoader> {
public:
    HRESULT GetObject(DMUS_OBJECTDESC* description, const GUID& iid, void** object) override {
        seam::Record("IDirectMusicLoader::GetObject", description ? NarrowText(description->wszFileName) : "");
        if (!object) return E_POINTER;
        *object = nullptr;
        if (auto failure = seam::Failure("IDirectMusicLoader::GetObject")) return static_cast<HRESULT>(*failure);
        if (!description || description->dwSize != DMUS_OBJECTDESC_SIZE) return E_INVALIDARG;
        const DWORD needed = DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME;
        if ((description->dwValidData & needed) != needed || description->guidClass != CLSID_DirectMusicSegment)
            return E_INVALIDARG;
        if (!(iid == IID_IDirectMusicSegment2)) return E_NOINTERFACE;

        // The name must end within its field.
        const WCHAR* name = description->wszFileName;
        if (std::find(name, name + 260, u'\0') == name + 260) return E_INVALIDARG;
        std::string path = NarrowText(name);
        if (!(description->dwValidData & DMUS_OBJ_FULLPATH) && !searchDirectory.empty())
            path = searchDirectory + "/" + path;
        std::string bytes;
        if (!ReadWhole(path, bytes)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        std::optional<MidiSequence> sequence = ReadStandardMidiFile(bytes);
        if (!sequence) return E_FAIL;
        *object = static_cast<IDirectMusicSegment2*>(new Segment(std::move(*sequence)));
        return S_OK;
    }

    HRESULT SetSearchDirectory(const GUID& objectClass, const WCHAR* path, BOOL) override {
        seam::Record("IDirectMusicLoader::SetSearchDirectory", NarrowText(path));
        if (auto failure = seam::Failure("IDirectMusicLoader::SetSearchDirectory"))
            return static_cast<HRESULT>(*failure);
        if (!path) return E_POINTER;
        if (objectClass != GUID_DirectMusicAllTypes && objectClass != CLSID_DirectMusicSegment)
            return E_INVALIDARG;
        std::string directory = NarrowText(path);
        std::error_code error;
        if (!std::filesystem::is_directory(directory, error)) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        searchDirectory = directory;
        return S_OK;
    }

private:
    static bool ReadWhole(const std::string& path, std::string& bytes) {
        FILE* file = OpenFile(path.c_str(), "rb");
        if (!file) return false;
        char buffer[4096];
        std::size_t count = 0;
        while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, count);
        bool read = !std::ferror(file);
        CloseFile(file);
        return read;
    }

    std::string searchDirectory;  // empty: the current directory
};

// A new object's `iid` interface; the object goes when it has none.
template <class Object>
HRESULT Create(const GUID& iid, void** object) {
    auto* created = new (std::nothrow) Object;
    if (!created) return E_OUTOFMEMORY;
    HRESULT result = created->QueryInterface(iid, object);
    created->Release();
    return result;
}

}  // namespace

HRESULT CreateDirectMusicPerformance(const GUID& iid, void** object) { return Create<Performance>(iid, object); }

HRESULT CreateDirectMusicLoader(const GUID& iid, void** object) { return Create<Loader>(iid, object); }
