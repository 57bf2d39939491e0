#include "platform/linux/ffmpeg/bgra_to_yuv420.h"

#include <algorithm>

namespace platform::linux_desktop {
namespace {

// BT.709 in 16-bit fixed point, scaled from full-range RGB to limited-range YCbCr (219 and 224 steps).
// Each chroma row sums to zero, so grey gives exactly 128.
constexpr int kShift = 16;
constexpr int kLumaR = 11966, kLumaG = 40254, kLumaB = 4064;
constexpr int kBlueR = -6596, kBlueG = -22188, kBlueB = 28784;
constexpr int kRedR = 28784, kRedG = -26145, kRedB = -2639;
constexpr int kLumaOffset = (16 << kShift) + (1 << (kShift - 1));
// Chroma is computed from the sum of four pixels: two more bits of scale.
constexpr int kChromaOffset = (128 << (kShift + 2)) + (1 << (kShift + 1));

// One row of luma from `pixels` (BGRA), `count` pixels.
void lumaRow(const uint8_t* __restrict pixels, uint8_t* __restrict luma, int count) {
    for (int x = 0; x < count; ++x) {
        const int b = pixels[4 * x], g = pixels[4 * x + 1], r = pixels[4 * x + 2];
        luma[x] = uint8_t((kLumaR * r + kLumaG * g + kLumaB * b + kLumaOffset) >> kShift);
    }
}

// One row of chroma from two rows of BGRA pixels, `count` samples (2 × count pixels per row).
void chromaRow(const uint8_t* __restrict top, const uint8_t* __restrict bottom, uint8_t* __restrict blue,
               uint8_t* __restrict red, int count) {
    for (int x = 0; x < count; ++x) {
        const int b = top[8 * x] + top[8 * x + 4] + bottom[8 * x] + bottom[8 * x + 4];
        const int g = top[8 * x + 1] + top[8 * x + 5] + bottom[8 * x + 1] + bottom[8 * x + 5];
        const int r = top[8 * x + 2] + top[8 * x + 6] + bottom[8 * x + 2] + bottom[8 * x + 6];
        blue[x] = uint8_t((kBlueR * r + kBlueG * g + kBlueB * b + kChromaOffset) >> (kShift + 2));
        red[x] = uint8_t((kRedR * r + kRedG * g + kRedB * b + kChromaOffset) >> (kShift + 2));
    }
}

}  // namespace

void convertBgraToYuv420(const PixelBuffer& frame, const PixelRect& area, const Yuv420Planes& planes) {
    if (!frame.bytes || frame.width <= 0 || frame.height <= 0) return;
    const int left = std::max(0, area.x) & ~1;
    const int top = std::max(0, area.y) & ~1;
    const int right = std::min(planes.width, (area.x + area.width + 1) & ~1);
    const int bottom = std::min(planes.height, (area.y + area.height + 1) & ~1);
    if (right <= left || bottom <= top) return;

    // Columns past the frame's last one (an odd width) are read from a two-pixel copy of its edge.
    const int inside = std::min(right, frame.width & ~1) - left;  // even pixels read straight from the frame
    for (int y = top; y < bottom; y += 2) {
        const uint8_t* rows[2] = {frame.bytes + size_t(std::min(y, frame.height - 1)) * frame.bytesPerRow,
                                  frame.bytes + size_t(std::min(y + 1, frame.height - 1)) * frame.bytesPerRow};
        uint8_t* blue = planes.blue + size_t(y / 2) * planes.blueStride + left / 2;
        uint8_t* red = planes.red + size_t(y / 2) * planes.redStride + left / 2;
        if (inside > 0) {
            for (int i = 0; i < 2; ++i) {
                lumaRow(rows[i] + 4 * left, planes.luma + size_t(y + i) * planes.lumaStride + left, inside);
            }
            chromaRow(rows[0] + 4 * left, rows[1] + 4 * left, blue, red, inside / 2);
        }
        if (left + std::max(inside, 0) < right) {
            // The last pair of columns: the frame's last pixel, twice when the width is odd.
            const int x = left + std::max(inside, 0);
            uint8_t edge[2][8];
            for (int i = 0; i < 2; ++i) {
                for (int j = 0; j < 2; ++j) {
                    const uint8_t* pixel = rows[i] + 4 * size_t(std::min(x + j, frame.width - 1));
                    std::copy(pixel, pixel + 4, edge[i] + 4 * j);
                }
                lumaRow(edge[i], planes.luma + size_t(y + i) * planes.lumaStride + x, 2);
            }
            chromaRow(edge[0], edge[1], blue + (x - left) / 2, red + (x - left) / 2, 1);
        }
    }
}

}  // namespace platform::linux_desktop
