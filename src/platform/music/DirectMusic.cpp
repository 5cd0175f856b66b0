// The performance, its segments and the loader; the music object and its
// synthesiser port are in DirectMusicPort.cpp.
#include "platform/music/DirectMusic.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/core/Files.h"
#include "platform/core/Seam.h"
#include "platform/music/DirectMusicPort.h"

namespace {

class SegmentState final : public Counted<IDirectMusicSegmentState, kIidSegmentState> {};

class Segment final : public Counted<IDirectMusicSegment2, IID_IDirectMusicSegment2> {
public:
    explicit Segment(MidiSequence read) : sequence(std::make_shared<const MidiSequence>(std::move(read))) {}

    HRESULT SetParam(const GUID& type, DWORD, DWORD, MUSIC_TIME, void* param) override {
        const char* kind = type == GUID_StandardMIDIFile ? "StandardMIDIFile"
                           : type == GUID_Download       ? "Download"
                                                         : "other";
        if (auto failure = SeamCall("IDirectMusicSegment::SetParam", kind)) return static_cast<HRESULT>(*failure);
        // Every port has the whole General MIDI set: downloading needs only a performance to go to.
        if (type == GUID_Download) return param ? S_OK : E_POINTER;
        return type == GUID_StandardMIDIFile ? S_OK : E_INVALIDARG;
    }

    const std::shared_ptr<const MidiSequence> sequence;
};

class Performance final : public Counted<IDirectMusicPerformance2, IID_IDirectMusicPerformance2> {
public:
    HRESULT Init(IDirectMusic** music, IDirectSound*, HWND) override {
        if (auto failure = SeamCall("IDirectMusicPerformance::Init")) return static_cast<HRESULT>(*failure);
        if (musicObject) return E_FAIL;  // already initialised
        if (music && *music) {
            musicObject = *music;
            musicObject->AddRef();
            return S_OK;
        }
        musicObject = NewMusicObject();
        if (music) {
            musicObject->AddRef();
            *music = musicObject;
        }
        return S_OK;
    }

    HRESULT PlaySegment(IDirectMusicSegment2* segment, DWORD flags, REFERENCE_TIME start,
                        IDirectMusicSegmentState** state) override {
        SeamCall("IDirectMusicPerformance::PlaySegment");
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
        SeamCall("IDirectMusicPerformance::Stop");
        if (time != 0 || flags != 0) return E_INVALIDARG;
        if ((!segment && !state) || (segment && segment == current)) StopAll();
        return S_OK;
    }

    HRESULT IsPlaying(IDirectMusicSegment2* segment, IDirectMusicSegmentState* state) override {
        if (!segment && !state) return E_POINTER;
        bool playing = segment && segment == current && blockZero && blockZero->IsPlaying(current->sequence.get());
        return playing ? S_OK : S_FALSE;
    }

    HRESULT AddPort(IDirectMusicPort* port) override {
        SeamCall("IDirectMusicPerformance::AddPort");
        if (!port) return E_POINTER;
        if (!musicObject) return E_FAIL;
        port->AddRef();
        ports.push_back(static_cast<SynthPort*>(port));
        return S_OK;
    }

    HRESULT AssignPChannelBlock(DWORD block, IDirectMusicPort* port, DWORD group) override {
        SeamCall("IDirectMusicPerformance::AssignPChannelBlock", std::to_string(block) + " " + std::to_string(group));
        if (std::find(ports.begin(), ports.end(), port) == ports.end() || group == 0) return E_INVALIDARG;
        // A standard MIDI file plays on channels 0 to 15: block 0 is the one that sounds.
        if (block == 0) blockZero = static_cast<SynthPort*>(port);
        return S_OK;
    }

    HRESULT CloseDown() override {
        SeamCall("IDirectMusicPerformance::CloseDown");
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
        const auto failure =
            SeamCall("IDirectMusicLoader::GetObject", description ? NarrowText(description->wszFileName) : "");
        if (!object) return E_POINTER;
        *object = nullptr;
        if (failure) return static_cast<HRESULT>(*failure);
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
        if (auto failure = SeamCall("IDirectMusicLoader::SetSearchDirectory", NarrowText(path)))
            return static_cast<HRESULT>(*failure);
        if (!path) return E_POINTER;
        if (objectClass != GUID_DirectMusicAllTypes && objectClass != CLSID_DirectMusicSegment) return E_INVALIDARG;
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
    return result;  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks): *object holds it, or Release deleted it
}

}  // namespace

HRESULT CreateDirectMusicPerformance(const GUID& iid, void** object) { return Create<Performance>(iid, object); }

HRESULT CreateDirectMusicLoader(const GUID& iid, void** object) { return Create<Loader>(iid, object); }
