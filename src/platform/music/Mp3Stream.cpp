#include "platform/music/Mp3Stream.h"

#include <mpg123.h>

#include <mutex>

#include "platform/sound/Mixer.h"

namespace {

constexpr int kFrameBytes = static_cast<int>(sizeof(float)) * kMixChannels;

void StartLibrary() {
    static std::once_flag started;
    std::call_once(started, [] { mpg123_init(); });
}

}  // namespace

std::unique_ptr<Mp3Stream> Mp3Stream::Open(const std::string& path) {
    StartLibrary();
    mpg123_handle* decoder = mpg123_new(nullptr, nullptr);
    if (!decoder) return nullptr;
    std::unique_ptr<Mp3Stream> stream(new Mp3Stream(decoder));
    // The mix format is the only output: the decoder doubles mono and
    // resamples every other rate (its own resampling keeps the length exact).
    mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO, 0);
    mpg123_format_none(decoder);
    mpg123_format(decoder, kMixRate, MPG123_STEREO, MPG123_ENC_FLOAT_32);
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_open(decoder, path.c_str()) != MPG123_OK ||
        mpg123_getformat(decoder, &rate, &channels, &encoding) != MPG123_OK)
        return nullptr;
    return stream;
}

Mp3Stream::~Mp3Stream() { mpg123_delete(decoder); }

int Mp3Stream::Read(float* out, int frames) {
    auto* bytes = reinterpret_cast<unsigned char*>(out);
    std::size_t wanted = std::size_t(frames) * kFrameBytes;
    std::size_t filled = 0;
    while (!decodedAll && filled < wanted) {
        std::size_t done = 0;
        int result = mpg123_read(decoder, bytes + filled, wanted - filled, &done);
        filled += done;
        // A decoding error that the decoder cannot skip ends the stream like its end.
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) decodedAll = true;
    }
    return static_cast<int>(filled / kFrameBytes);
}
