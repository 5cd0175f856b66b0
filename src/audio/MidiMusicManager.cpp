#include "audio/MidiMusicManager.h"

#include <unistd.h>

#include "globals/Globals.h"

namespace {

constexpr int kPortCapsCount = 10;
constexpr int kPathChars = 260;  // of the directory and of the wide names

bool IsValid(int index) { return index >= 0 && index < kMidiSegmentCount; }

}  // namespace

bool MidiMusicManager::Initialize(void* device) {
    if (FAILED(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IDirectMusicPerformance2, reinterpret_cast<void**>(&performance))))
        return false;
    if (FAILED(performance->Init(&music, static_cast<IDirectSound*>(device), g_Window))) return false;

    DMUS_PORTCAPS caps[kPortCapsCount] = {};
    for (DMUS_PORTCAPS& each : caps) each.dwSize = sizeof(DMUS_PORTCAPS);
    int ports = 0;
    while (ports < kPortCapsCount && music->EnumPort(ports, &caps[ports]) == S_OK) ++ports;

    // Without a port to create there is nothing to activate or assign: the
    // performance then plays nothing.
    IDirectMusicPort* port = nullptr;
    if (ports > 0) {
        DMUS_PORTPARAMS params = {};
        params.dwSize = sizeof(DMUS_PORTPARAMS);
        music->CreatePort(caps[0].guidPort, &params, &port, nullptr);
    }
    if (port) {
        port->Activate(TRUE);
        performance->AddPort(port);
        performance->AssignPChannelBlock(0, port, 1);
        // The port is not kept here: the performance holds it from now on.
        port->Release();
    }

    return SUCCEEDED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                      IID_IDirectMusicLoader, reinterpret_cast<void**>(&loader)));
}

int MidiMusicManager::Load(const char* fileName) {
    int index = 0;
    while (index < kMidiSegmentCount && segments[index].inUse) ++index;
    if (index == kMidiSegmentCount || !loader) return -1;

    char directory[kPathChars];
    if (!getcwd(directory, sizeof directory)) return -1;
    WCHAR wideDirectory[kPathChars];
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, directory, -1, wideDirectory, kPathChars) == 0) return -1;
    if (FAILED(loader->SetSearchDirectory(GUID_DirectMusicAllTypes, wideDirectory, FALSE))) return -1;

    DMUS_OBJECTDESC description = {};
    description.dwSize = DMUS_OBJECTDESC_SIZE;
    description.guidClass = CLSID_DirectMusicSegment;
    description.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME;
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, fileName, -1, description.wszFileName, kPathChars) == 0) return -1;

    IDirectMusicSegment2* segment = nullptr;
    if (FAILED(loader->GetObject(&description, IID_IDirectMusicSegment2, reinterpret_cast<void**>(&segment))))
        return -1;
    if (FAILED(segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, performance)) ||
        FAILED(segment->SetParam(GUID_Download, 0xFFFFFFFF, 0, 0, performance))) {
        segment->Release();
        return -1;
    }
    MidiSegmentSlot& slot = segments[index];
    slot.segment = segment;
    slot.state = nullptr;
    slot.inUse = 1;
    return index;
}

void MidiMusicManager::Play(int index) {
    if (!IsValid(index) || !segments[index].segment || !performance) return;
    MidiSegmentSlot& slot = segments[index];
    if (performance->IsPlaying(slot.segment, nullptr) == S_OK) return;
    // The state of the play before goes: only the last one is kept.
    if (slot.state) slot.state->Release();
    slot.state = nullptr;
    performance->PlaySegment(slot.segment, 0, 0, &slot.state);
}

void MidiMusicManager::Stop(int index) {
    if (!IsValid(index) || !segments[index].segment || !performance) return;
    if (performance->IsPlaying(segments[index].segment, nullptr) == S_OK) performance->Stop(nullptr, nullptr, 0, 0);
}

bool MidiMusicManager::Shutdown() {
    if (performance) performance->Stop(nullptr, nullptr, 0, 0);
    for (MidiSegmentSlot& slot : segments) {
        if (slot.segment) slot.segment->Release();
        slot.segment = nullptr;
        if (slot.state) slot.state->Release();
        slot.state = nullptr;
    }
    if (performance) {
        performance->CloseDown();
        performance->Release();
        performance = nullptr;
    }
    // The music object Initialize was handed holds a reference of ours too;
    // without this release it would outlive the performance for good.
    if (music) music->Release();
    music = nullptr;
    if (loader) loader->Release();
    loader = nullptr;
    return true;
}
