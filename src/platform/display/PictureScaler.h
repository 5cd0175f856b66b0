// The window's image made on the processor: the 640x480 RGB565 picture scaled
// into a rectangle of 32-bit pixels with linear filtering, as GL's linear
// blit of the same picture gives it (to within one step per channel). Under
// a software rasteriser this is several times cheaper than drawing the scaled
// picture through GL.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class PictureScaler {
public:
    PictureScaler() = default;
    ~PictureScaler();
    PictureScaler(const PictureScaler&) = delete;
    PictureScaler& operator=(const PictureScaler&) = delete;

    // `picture` is 640x480 RGB565 with its rows from the bottom, as GL reads
    // them back. Writes `width` by `height` pixels, rows from the top, each
    // row `stride` bytes apart; each pixel is the bytes blue, green, red, 0
    // (0x00RRGGBB in a little-endian word). A helper thread shares the rows.
    void Scale(const std::uint16_t* picture, int width, int height, std::uint8_t* out, int stride);

private:
    struct Tap {
        int first;   // the nearer sample
        int second;  // the farther one, or `first` again at an edge
        int weight;  // of the second, in 256ths
    };
    static std::vector<Tap> Taps(int from, int to);
    void ScaleRow(const std::uint16_t* row, std::uint32_t* into) const;
    // Rows [top, bottom) of the image, with `kept` for two picture rows scaled across.
    void ScaleRows(const std::uint16_t* picture, int top, int bottom, std::uint8_t* out, int stride,
                   std::vector<std::uint32_t> (&kept)[2]) const;

    // Takes bands of rows of the current job until none are left.
    void TakeBands(std::vector<std::uint32_t> (&kept)[2]);
    void Help();

    int width = 0, height = 0;
    std::vector<Tap> columns, rows;
    std::vector<std::array<std::uint16_t, 8>>
        weights;                              // each column's: its first sample's four times, then its second's
    std::vector<std::uint32_t> across[2][2];  // each thread's two picture rows scaled across

    // The job the two threads share, set while `open` is false.
    const std::uint16_t* jobPicture = nullptr;
    std::uint8_t* jobOut = nullptr;
    int jobStride = 0;
    std::atomic<int> nextBand{0};

    std::mutex mutex;
    std::condition_variable posted, finished;
    bool open = false;     // the helper may join the job, until it has or the job is done
    bool helping = false;  // it has, and is not done
    bool stopping = false;
    std::thread helper;
};
