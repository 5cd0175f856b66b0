// The sound-effects service as the engine calls it.
#pragma once

class SoundManager {
public:
    virtual bool DSound_Init() = 0;
    virtual int Load(const char* fileName) = 0;  // slot 0..63, or -1
    virtual void Play(int index) = 0;
    virtual bool Shutdown() = 0;
    virtual void Stop(int index) = 0;

protected:
    ~SoundManager() = default;
};
