// MPEG audio files (MP3 in practice) decoded with libmpg123 straight into the
// mix format (float stereo at kMixRate: mono is doubled, other rates are
// resampled by the decoder), a piece at a time, on whichever thread asks. The
// media graph's playback chain reads its file through this.
#pragma once

#include <memory>
#include <string>

struct mpg123_handle_struct;

class Mp3Stream {
public:
    // The stream of the file at `path`, at its start. Null when the file
    // cannot be opened or holds no MPEG audio frame: the first one is read
    // here to know. The file is read through a handle of the decoder's own, which the
    // shut-down's closing of the engine's streams leaves alone.
    static std::unique_ptr<Mp3Stream> Open(const std::string& path);

    ~Mp3Stream();
    Mp3Stream(const Mp3Stream&) = delete;
    Mp3Stream& operator=(const Mp3Stream&) = delete;

    // Up to `frames` frames (interleaved left, right) into `out`: fewer only at
    // the end of the stream, 0 once it is over.
    int Read(float* out, int frames);

private:
    explicit Mp3Stream(mpg123_handle_struct* decoder) : decoder(decoder) {}

    mpg123_handle_struct* decoder;
    bool decodedAll = false;
};
