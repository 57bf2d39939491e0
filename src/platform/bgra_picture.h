#pragma once
// Pictures in memory, as capture streams deliver them and movie writers take them.

#include <cstdint>

namespace platform {

/// A picture of 32-bit BGRA pixels in memory (the only pixel format captured and encoded): `height` rows of
/// `bytesPerRow` bytes, each holding `width` pixels. The picture only points at its bytes; whoever made it
/// keeps them alive.
struct BgraPicture {
    uint8_t* bytes = nullptr;
    int width = 0;
    int height = 0;
    int bytesPerRow = 0;

    uint8_t* row(int y) const { return bytes + static_cast<long>(y) * bytesPerRow; }
};

}  // namespace platform
