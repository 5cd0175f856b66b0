// The RIFF reading stand-ins on real files.
#include <gtest/gtest.h>

#include <string>

#include "platform/core/Files.h"
#include "platform/sound/Mmio.h"
#include "support/files/TempDir.h"
#include "support/files/WavFile.h"
#include "support/stand-ins/TestSeam.h"

using namespace std::string_literals;

namespace {

constexpr FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');

class MmioTest : public ::testing::Test {
protected:
    void SetUp() override { seam::Reset(); }
    void TearDown() override {
        if (file) mmioClose(file, 0);
    }

    void Open(const std::string& bytes) {
        file = mmioOpenA(dir.Write("sound.wav", bytes).c_str(), nullptr, MMIO_ALLOCBUF);
        ASSERT_NE(file, nullptr);
    }
    std::string Read(LONG bytes) {
        std::string text(static_cast<std::size_t>(bytes), '?');
        LONG read = mmioRead(file, text.data(), bytes);
        return read < 0 ? "<error>" : text.substr(0, static_cast<std::size_t>(read));
    }

    TempDir dir;
    HMMIO file = nullptr;
    // A form with an odd-sized chunk first, so the others sit behind a pad byte.
    std::string wave = RiffWave({{"junk", "odd"}, FormatChunk({}), {"data", "samples"}, {"LIST", "INFOtext"}});
};

TEST_F(MmioTest, TheFormAndItsChunksAreFoundPastOddChunksAndTheirPadBytes) {
    Open(wave);
    MMCKINFO riff{};
    riff.fccType = kWave;
    ASSERT_EQ(mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.ckid, mmioFOURCC('R', 'I', 'F', 'F'));
    EXPECT_EQ(riff.cksize, wave.size() - 8);
    EXPECT_EQ(riff.dwDataOffset, 8u);

    MMCKINFO chunk{};
    chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    ASSERT_EQ(mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
    EXPECT_EQ(chunk.cksize, 7u);
    EXPECT_EQ(chunk.dwDataOffset, 12u + 12 + 24 + 8);
    EXPECT_EQ(Read(7), "samples");

    ASSERT_EQ(mmioAscend(file, &chunk, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioDescend(file, &chunk, &riff, 0), MMSYSERR_NOERROR) << "the chunk after the pad byte";
    EXPECT_EQ(chunk.ckid, mmioFOURCC('L', 'I', 'S', 'T'));
    EXPECT_EQ(chunk.fccType, mmioFOURCC('I', 'N', 'F', 'O'));
    EXPECT_EQ(Read(4), "text") << "a list is entered past its type";
}

TEST_F(MmioTest, WithoutAFlagTheChunkRightHereIsEntered) {
    Open(wave);
    MMCKINFO riff{};
    riff.fccType = kWave;
    ASSERT_EQ(mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    MMCKINFO chunk{};
    ASSERT_EQ(mmioDescend(file, &chunk, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(chunk.ckid, mmioFOURCC('j', 'u', 'n', 'k'));
    EXPECT_EQ(Read(6), "odd\0fm"s) << "reads run on past the chunk's end";
    ASSERT_EQ(mmioAscend(file, &chunk, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioDescend(file, &chunk, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(chunk.ckid, mmioFOURCC('f', 'm', 't', ' '));
}

TEST_F(MmioTest, SearchesEndAtTheParentOrTheFile) {
    // A "data" chunk after the end of the form does not belong to it.
    Open(RiffWave({FormatChunk({})}) + "data\x02\0\0\0xy"s);
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('A', 'V', 'I', ' ');
    EXPECT_EQ(mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF), MMIOERR_CHUNKNOTFOUND);
    ASSERT_EQ(mmioSeek(file, 0, SEEK_SET), 0);
    riff.fccType = kWave;
    ASSERT_EQ(mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    MMCKINFO chunk{};
    chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    EXPECT_EQ(mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    ASSERT_EQ(mmioSeek(file, 0, SEEK_SET), 0);
    EXPECT_EQ(mmioDescend(file, &chunk, nullptr, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
}

TEST_F(MmioTest, ReadsStopAtTheEndOfTheFile) {
    Open("RIFF\x04\0\0\0WAVE"s);
    EXPECT_EQ(mmioSeek(file, 0, SEEK_END), 12);
    ASSERT_EQ(mmioSeek(file, 8, SEEK_SET), 8);
    EXPECT_EQ(Read(100), "WAVE");
    EXPECT_EQ(Read(100), "");
    seam::ArmFailure("mmioRead", -1);
    EXPECT_EQ(Read(100), "<error>");
}

TEST_F(MmioTest, FilesOpenLikeEveryEngineFileAndCloseForGood) {
    dir.Write("jump.wav", wave);
    HMMIO opened = mmioOpenA(dir.File("JUMP.WAV").c_str(), nullptr, MMIO_ALLOCBUF);
    ASSERT_NE(opened, nullptr) << "the name resolves regardless of case";
    EXPECT_EQ(mmioClose(opened, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(_fcloseall(), 0) << "no stream left open";
    EXPECT_EQ(mmioOpenA(dir.File("missing.wav").c_str(), nullptr, MMIO_ALLOCBUF), nullptr);
    seam::ArmFailure("mmioOpenA", 0);
    EXPECT_EQ(mmioOpenA(dir.File("jump.wav").c_str(), nullptr, MMIO_ALLOCBUF), nullptr);
}

}  // namespace
