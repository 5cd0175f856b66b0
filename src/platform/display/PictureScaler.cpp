#include "platform/display/PictureScaler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <system_error>

#include "platform/display/VirtualDisplay.h"

// Where each of `to` pixels samples `from` texels: at its centre, mapped
// back, between the two nearest texel centres, clamped at the edges (what
// GL's linear filter does for a blit).
std::vector<PictureScaler::Tap> PictureScaler::Taps(int from, int to) {
    std::vector<Tap> taps(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i) {
        const double at = (i + 0.5) * from / to - 0.5;
        if (at <= 0.0) {
            taps[i] = {0, 0, 0};
            continue;
        }
        int first = static_cast<int>(at);
        int weight = static_cast<int>(std::lround((at - first) * 256.0));
        if (weight == 256) {
            ++first;
            weight = 0;
        }
        first = std::min(first, from - 1);
        taps[i] = {first, std::min(first + 1, from - 1), weight};
    }
    return taps;
}

namespace {

// Eight 16-bit lanes: two pixels' channels blue, green, red, 0 each, or one
// pixel with the pixel after it. Generic vectors, so that any processor's
// vector unit does the weighing.
using Lanes16 = std::uint16_t __attribute__((vector_size(16)));
using Lanes8 = std::uint8_t __attribute__((vector_size(8)));

// The pixel at `at` and the one after it, weighed by `weights` (the first's
// four lanes, the second's four).
Lanes16 Weighed(const std::uint32_t* at, const std::array<std::uint16_t, 8>& weights) {
    Lanes8 pair;
    std::memcpy(&pair, at, sizeof pair);
    Lanes16 factors;
    std::memcpy(&factors, weights.data(), sizeof factors);
    return __builtin_convertvector(pair, Lanes16) * factors;
}

}  // namespace

// One picture row scaled across, rounded to 8 bits a channel: 0x00RRGGBB
// words, each channel (a v + b w + 128) / 256 of its two samples a and b
// with weights v + w = 256, which fits 16 bits. Two pixels at a time: each
// reads its sample and the texel after it in one load (the row's last texel
// is repeated past its end; a tap whose second sample is its first has that
// texel after it, or weight 0 for it).
void PictureScaler::ScaleRow(const std::uint16_t* row, std::uint32_t* into) const {
    std::uint32_t expanded[kDisplayWidth + 1];
    for (int x = 0; x < kDisplayWidth; ++x) {
        const std::uint32_t pixel = row[x];
        const std::uint32_t r = pixel >> 11, g = (pixel >> 5) & 63, b = pixel & 31;
        expanded[x] = (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
    }
    expanded[kDisplayWidth] = expanded[kDisplayWidth - 1];
    for (int x = 0; x < width; x += 2) {
        const int next = std::min(x + 1, width - 1);  // an odd width's last pixel is weighed twice
        const Lanes16 left = Weighed(&expanded[columns[x].first], weights[x]);
        const Lanes16 right = Weighed(&expanded[columns[next].first], weights[next]);
        const Lanes16 sums = __builtin_shufflevector(left, right, 0, 1, 2, 3, 8, 9, 10, 11) +
                             __builtin_shufflevector(left, right, 4, 5, 6, 7, 12, 13, 14, 15) + 128;
        const Lanes8 pixels = __builtin_convertvector(sums >> 8, Lanes8);
        std::memcpy(&into[x], &pixels, next > x ? 8 : 4);
    }
}

void PictureScaler::Scale(const std::uint16_t* picture, int toWidth, int toHeight, std::uint8_t* out, int stride) {
    if (toWidth <= 0 || toHeight <= 0) return;
    if (toWidth != width || toHeight != height) {
        width = toWidth;
        height = toHeight;
        columns = Taps(kDisplayWidth, width);
        weights.clear();
        for (const Tap& column : columns) {
            const auto w = static_cast<std::uint16_t>(column.weight), v = static_cast<std::uint16_t>(256 - w);
            weights.push_back({v, v, v, v, w, w, w, w});
        }
        rows = Taps(kDisplayHeight, height);
        for (auto& half : across)
            for (auto& row : half) row.assign(static_cast<std::size_t>(width), 0);
    }
    // The image is the largest part of a frame's work on the processor that
    // the rasteriser's threads do not share, and they are idle meanwhile, so
    // a helper thread takes bands of rows in turn with this one. This one
    // never waits for the helper to start: on a busy machine it may be
    // scheduled late, and then this one has done the bands already. Where no
    // thread can be had, this one does them all.
    jobPicture = picture;
    jobOut = out;
    jobStride = stride;
    nextBand = 0;
    if (!helper.joinable()) {
        try {
            helper = std::thread(&PictureScaler::Help, this);
        } catch (const std::system_error&) {
        }
    }
    {
        std::lock_guard lock(mutex);
        open = true;
    }
    posted.notify_one();
    TakeBands(across[0]);
    std::unique_lock lock(mutex);
    open = false;
    finished.wait(lock, [this] { return !helping; });
}

PictureScaler::~PictureScaler() {
    if (!helper.joinable()) return;
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    posted.notify_one();
    helper.join();
}

void PictureScaler::Help() {
    std::unique_lock lock(mutex);
    for (;;) {
        posted.wait(lock, [this] { return stopping || open; });
        if (stopping) return;
        open = false;  // joined once
        helping = true;
        lock.unlock();
        TakeBands(across[1]);
        lock.lock();
        helping = false;
        finished.notify_one();
    }
}

void PictureScaler::TakeBands(std::vector<std::uint32_t> (&kept)[2]) {
    // Bands long enough that the picture rows scaled across again where one
    // begins are few.
    constexpr int kBandRows = 64;
    for (int top; (top = nextBand.fetch_add(1) * kBandRows) < height;)
        ScaleRows(jobPicture, top, std::min(top + kBandRows, height), jobOut, jobStride, kept);
}

void PictureScaler::ScaleRows(const std::uint16_t* picture, int top, int bottom, std::uint8_t* out, int stride,
                              std::vector<std::uint32_t> (&kept)[2]) const {
    // Rows go out from the top, so the picture's rows (from the bottom) are
    // read downwards; each is scaled across once and kept while it is needed.
    std::vector<std::uint32_t>& upper = kept[0];
    std::vector<std::uint32_t>& lower = kept[1];
    int upperRow = -1, lowerRow = -1;
    const std::size_t count = static_cast<std::size_t>(width) * 4;
    for (int y = top; y < bottom; ++y) {
        const Tap& tap = rows[height - 1 - y];
        if (upperRow != tap.second) {
            if (lowerRow == tap.second) {
                upper.swap(lower);
                lowerRow = -1;
            } else {
                ScaleRow(&picture[tap.second * kDisplayWidth], upper.data());
            }
            upperRow = tap.second;
        }
        if (lowerRow != tap.first) {
            ScaleRow(&picture[tap.first * kDisplayWidth], lower.data());
            lowerRow = tap.first;
        }
        // Byte by byte, with nothing aliased, so that the compiler vectorises it.
        const auto* __restrict from = reinterpret_cast<const std::uint8_t*>(lower.data());
        const auto* __restrict to = reinterpret_cast<const std::uint8_t*>(upper.data());
        std::uint8_t* __restrict row = out + static_cast<std::ptrdiff_t>(y) * stride;
        const std::uint16_t w = static_cast<std::uint16_t>(tap.weight), v = static_cast<std::uint16_t>(256 - w);
        for (std::size_t i = 0; i < count; ++i)
            row[i] = static_cast<std::uint8_t>((from[i] * v + to[i] * w + 128) >> 8);
    }
}
