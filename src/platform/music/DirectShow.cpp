#include "platform/music/DirectShow.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/core/Files.h"
#include "platform/core/Seam.h"
#include "platform/music/Mp3Stream.h"
#include "platform/sound/Mixer.h"

namespace {

// Decoded ahead of the audio thread: about 0.74 s, far more than any pause of
// the decoding thread on a busy machine.
constexpr std::size_t kRingFrames = 1 << 15;
constexpr int kPieceFrames = 1024;
// Decoded on the caller's thread when the chain is built, so that a Run right
// after RenderFile has sound to play before the decoding thread's first turn.
constexpr int kPrerollFrames = 4 * kPieceFrames;

// One rendered file on its way to the mix: a thread decodes it into a ring
// that the audio thread plays from while the graph runs. Everything the two
// share is under the mixer lock.
class PlaybackChain final : public MixerSource {
public:
    explicit PlaybackChain(std::unique_ptr<Mp3Stream> stream) : stream(std::move(stream)), ring(kRingFrames * 2) {
        std::vector<float> piece(std::size_t{kPieceFrames} * 2);
        for (int done = 0; done < kPrerollFrames && !ended; done += kPieceFrames) Decode(piece);
        AddMixerSource(this);
        decoder = std::thread([this] { KeepAhead(); });
    }

    ~PlaybackChain() {
        {
            std::lock_guard guard(wakeLock);
            quit = true;
        }
        wake.notify_one();
        decoder.join();
        RemoveMixerSource(this);
    }

    // Under the mixer lock, as everything below.
    void SetRunning(bool run) { running = run; }

    bool TakeCompletion() {
        if (completions == 0) return false;
        --completions;
        return true;
    }

    void MixInto(float* mix, int frames) override {
        if (!running) return;
        std::size_t n = std::min<std::size_t>(frames, written - played);
        for (std::size_t i = 0; i < n; ++i) {
            std::size_t at = (played + i) % kRingFrames * 2;
            mix[i * 2] += ring[at];
            mix[i * 2 + 1] += ring[at + 1];
        }
        played += n;
        if (ended && played == written && !completed) {
            completed = true;
            ++completions;
        }
    }

private:
    // Decodes one piece into the ring; the ring must have room for it.
    void Decode(std::vector<float>& piece) {
        int got = stream->Read(piece.data(), kPieceFrames);
        auto lock = LockMixer();
        for (int i = 0; i < got; ++i) {
            std::size_t at = (written + i) % kRingFrames * 2;
            const std::size_t from = static_cast<std::size_t>(i) * 2;
            ring[at] = piece[from];
            ring[at + 1] = piece[from + 1];
        }
        written += got;
        if (got < kPieceFrames) ended = true;
    }

    // The decoding thread: tops the ring up whenever a piece fits, until the
    // file is decoded to its end or the chain is dropped.
    void KeepAhead() {
        std::vector<float> piece(std::size_t{kPieceFrames} * 2);
        for (;;) {
            bool room = false;
            {
                auto lock = LockMixer();
                if (ended) return;
                room = kRingFrames - (written - played) >= std::size_t(kPieceFrames);
            }
            std::unique_lock lock(wakeLock);
            if (quit) return;
            if (room) {
                lock.unlock();
                Decode(piece);
            } else {
                wake.wait_for(lock, std::chrono::milliseconds(10));
            }
        }
    }

    std::unique_ptr<Mp3Stream> stream;  // the decoding thread's only

    std::vector<float> ring;  // interleaved stereo frames
    std::size_t written = 0;  // frames put into the ring so far
    std::size_t played = 0;   // frames mixed so far
    bool ended = false;       // the last frame is in the ring
    bool running = false;
    bool completed = false;  // the end was reached and reported
    int completions = 0;     // EC_COMPLETE events not yet taken

    std::mutex wakeLock;
    std::condition_variable wake;
    bool quit = false;  // under wakeLock
    std::thread decoder;
};

class FilterGraph final : public IGraphBuilder, public IMediaControl, public IMediaEventEx {
public:
    HRESULT QueryInterface(const GUID& iid, void** object) override {
        const auto failure = SeamCall("FilterGraph::QueryInterface", InterfaceName(iid));
        if (!object) return E_POINTER;
        *object = nullptr;
        if (failure) return static_cast<HRESULT>(*failure);
        *object = Find(iid);
        if (!*object) return E_NOINTERFACE;
        ++references;
        return S_OK;
    }

    // The graph's `iid` interface, or null.
    void* Find(const GUID& iid) {
        if (iid == IID_IGraphBuilder) return static_cast<IGraphBuilder*>(this);
        if (iid == IID_IMediaControl) return static_cast<IMediaControl*>(this);
        if (iid == IID_IMediaEventEx) return static_cast<IMediaEventEx*>(this);
        return nullptr;
    }

    ULONG AddRef() override { return ++references; }

    ULONG Release() override {
        SeamCall("FilterGraph::Release", std::to_string(references - 1));
        if (--references > 0) return references;
        delete this;
        return 0;
    }

    HRESULT RenderFile(const WCHAR* file, const WCHAR* playList) override {
        std::string name = NarrowText(file);
        if (auto failure = SeamCall("IGraphBuilder::RenderFile", name)) {
            Drop();
            return static_cast<HRESULT>(*failure);
        }
        if (!file) return E_POINTER;
        if (playList) return E_INVALIDARG;
        HRESULT result = Build(name);
        if (FAILED(result)) Drop();
        return result;
    }

    HRESULT Run() override {
        if (auto failure = SeamCall("IMediaControl::Run")) return static_cast<HRESULT>(*failure);
        SetRunning(true);
        return S_OK;
    }

    HRESULT Stop() override {
        if (auto failure = SeamCall("IMediaControl::Stop")) return static_cast<HRESULT>(*failure);
        SetRunning(false);
        return S_OK;
    }

    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout) override {
        SeamCall("IMediaEventEx::GetEvent", std::to_string(timeout));
        if (!code || !param1 || !param2) return E_POINTER;
        if (timeout != 0) return E_INVALIDARG;
        auto lock = LockMixer();
        if (!chain || !chain->TakeCompletion()) return E_ABORT;
        *code = EC_COMPLETE;
        *param1 = S_OK;
        *param2 = 0;
        return S_OK;
    }

private:
    friend HRESULT(::CreateFilterGraph)(const GUID&, void**);
    ~FilterGraph() { Drop(); }

    static std::string InterfaceName(const GUID& iid) {
        if (iid == IID_IGraphBuilder) return "IGraphBuilder";
        if (iid == IID_IMediaControl) return "IMediaControl";
        if (iid == IID_IMediaEventEx) return "IMediaEventEx";
        return "other";
    }

    // A new chain for `name` takes the place of the old one. It holds the
    // audio device before the old one lets go, so the device stays open.
    HRESULT Build(const std::string& name) {
        std::string path = ResolveFileName(name);
        if (access(path.c_str(), R_OK) != 0) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        std::unique_ptr<Mp3Stream> stream = Mp3Stream::Open(path);
        if (!stream) return VFW_E_UNSUPPORTED_STREAM;
        if (!OpenMixer()) return VFW_E_NO_AUDIO_HARDWARE;
        auto built = std::make_unique<PlaybackChain>(std::move(stream));
        Drop();
        chain = std::move(built);
        return S_OK;
    }

    void Drop() {
        if (!chain) return;
        chain.reset();
        CloseMixer();
    }

    void SetRunning(bool run) {
        auto lock = LockMixer();
        if (chain) chain->SetRunning(run);
    }

    ULONG references = 1;
    std::unique_ptr<PlaybackChain> chain;  // none while the graph is empty
};

}  // namespace

HRESULT CreateFilterGraph(const GUID& iid, void** object) {
    auto* graph = new (std::nothrow) FilterGraph;
    if (!graph) return E_OUTOFMEMORY;
    *object = graph->Find(iid);
    if (*object) return S_OK;
    delete graph;
    return E_NOINTERFACE;
}
