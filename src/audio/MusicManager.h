// The music service as the engine calls it.
#pragma once

class MusicManager {
public:
    virtual bool Initialize(void* device) = 0;
    virtual int Load(const char* fileName) = 0;  // track 0..63, or -1
    virtual void Play(int index) = 0;            // once per idle pass: keeps the track looping
    virtual bool Shutdown() = 0;
    virtual void Stop(int index) = 0;

protected:
    ~MusicManager() = default;
};
