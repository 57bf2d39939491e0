#pragma once
// BGRA frames into 4:2:0 pictures (BT.709 matrix, full-range input to limited-range output), an area at a
// time, so that a picture kept from frame to frame is brought up to date where the frame changed only.

#include <cstdint>

#include "platform/screen_capture.h"

namespace platform::linux_desktop {

/// The three planes of a 4:2:0 picture whose width and height are even.
struct Yuv420Planes {
    uint8_t* luma = nullptr;
    uint8_t* blue = nullptr;  // Cb
    uint8_t* red = nullptr;   // Cr
    int lumaStride = 0;
    int blueStride = 0;
    int redStride = 0;
    int width = 0;
    int height = 0;
};

/// Converts `area` of `frame` into `planes`. The area is widened to even edges (a chroma sample covers two
/// by two pixels) and cut to the picture. Where the picture is larger than the frame (a frame of odd size
/// in a picture one pixel larger), the frame's last column and row are repeated.
void convertBgraToYuv420(const PixelBuffer& frame, const PixelRect& area, const Yuv420Planes& planes);

}  // namespace platform::linux_desktop
