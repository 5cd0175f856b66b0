// e2e_check: the checks the end-to-end scripts make on what a run of the
// program showed and played, and the one X request they cannot make with the
// desktop tools. Exit status 0 when the check holds; the reasons otherwise.
//
//   e2e_check picture SHOT.ppm [--overlay]   the level, letterboxed 4:3 (with crosshair and texts)
//   e2e_check changed A.ppm B.ppm            the view differs between two screenshots
//   e2e_check still A.ppm B.ppm              the view is the same in both
//   e2e_check buttons BOX.ppm                prints the box's button centres, left to right
//   e2e_check close WINDOW                   sends the window WM_DELETE_WINDOW
//   e2e_check music CAPTURE TRACK.mp3 UNTIL  the music from the capture's start to frame UNTIL
//   e2e_check jump CAPTURE JUMP.wav FROM TO  the jump sound first sounds between frames FROM and TO
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/music/Mp3Stream.h"
#include "platform/sound/Mixer.h"
#include "platform/sound/Mmio.h"
#include "support/observe/CloseWindow.h"
#include "support/observe/PictureChecks.h"
#include "support/observe/SoundChecks.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: e2e_check picture|changed|still|buttons|close|music|jump ...\n");
    return 2;
}

int Verdict(const std::vector<std::string>& problems) {
    for (const auto& problem : problems) std::printf("%s\n", problem.c_str());
    return problems.empty() ? 0 : 1;
}

Screenshot Load(const char* path) {
    auto shot = ReadScreenshot(path);
    if (!shot) {
        std::printf("%s is not a screenshot\n", path);
        std::exit(1);
    }
    return *shot;
}

std::vector<float> LoadCapture(const char* path) {
    auto capture = ReadCaptureLeft(path);
    if (!capture) {
        std::printf("no capture at %s\n", path);
        std::exit(1);
    }
    return *capture;
}

// The left channel of the track's first `frames` frames, decoded as the
// engine decodes it.
std::vector<float> DecodeMusic(const char* path, std::size_t frames) {
    auto stream = Mp3Stream::Open(path);
    if (!stream) {
        std::printf("cannot decode %s\n", path);
        std::exit(1);
    }
    std::vector<float> stereo(frames * kMixChannels);
    std::size_t got = 0;
    while (got < frames) {
        int read = stream->Read(stereo.data() + got * kMixChannels, int(std::min<std::size_t>(frames - got, 4096)));
        if (read <= 0) break;
        got += std::size_t(read);
    }
    std::vector<float> left(got);
    for (std::size_t i = 0; i < got; ++i) left[i] = stereo[i * kMixChannels];
    return left;
}

// The samples of a WAV file's data chunk, read with the engine's RIFF reader.
std::string WavSamples(const char* path) {
    HMMIO file = mmioOpenA(path, nullptr, MMIO_ALLOCBUF);
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    MMCKINFO data{};
    data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    std::string samples;
    if (file && mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) == MMSYSERR_NOERROR &&
        mmioDescend(file, &data, &riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR) {
        samples.resize(data.cksize);
        samples.resize(std::size_t(std::max<LONG>(0, mmioRead(file, samples.data(), LONG(data.cksize)))));
    }
    if (file) mmioClose(file, 0);
    if (samples.empty()) {
        std::printf("no samples in %s\n", path);
        std::exit(1);
    }
    return samples;
}

std::size_t Frame(const char* text) { return std::strtoull(text, nullptr, 10); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string command = argv[1];
    if (command == "picture") {
        bool overlay = argc > 3 && std::string(argv[3]) == "--overlay";
        return Verdict(CheckLevelPicture(Load(argv[2]), overlay));
    }
    if ((command == "changed" || command == "still") && argc == 4) {
        double difference = ViewDifference(Load(argv[2]), Load(argv[3]));
        std::printf("%.4f of the picture differs\n", difference);
        return command == "changed" ? difference < 0.05 : difference > 0.005;
    }
    if (command == "buttons") {
        for (auto centre : BoxButtons(Load(argv[2]))) std::printf("%d %d\n", centre.x, centre.y);
        return 0;
    }
    if (command == "close") {
        std::string problem = CloseWindow(std::strtoul(argv[2], nullptr, 0));
        return Verdict(problem.empty() ? std::vector<std::string>{} : std::vector<std::string>{problem});
    }
    if (command == "music" && argc == 5) {
        std::vector<float> capture = LoadCapture(argv[2]);
        std::size_t until = Frame(argv[4]);
        std::string report;
        auto problems =
            CheckMusic(capture, DecodeMusic(argv[3], std::min(until, capture.size())), 5 * kMixRate, until, report);
        std::printf("%s", report.c_str());
        return Verdict(problems);
    }
    if (command == "jump" && argc == 6) {
        std::string report;
        auto problems = CheckJump(LoadCapture(argv[2]), WavSamples(argv[3]), Frame(argv[4]), Frame(argv[5]), report);
        std::printf("%s", report.c_str());
        return Verdict(problems);
    }
    return Usage();
}
