#include "platform/linux/x11_io/x11_frame_sources.h"

#include <X11/extensions/Xcomposite.h>

#include <algorithm>
#include <cstring>

namespace platform::linux_desktop {

namespace {

constexpr std::chrono::milliseconds kRepaintWait{500};

}  // namespace

void RepaintWait::start() { deadline_ = std::chrono::steady_clock::now() + kRepaintWait; }

void RepaintWait::damaged() { repainted_ = damagedSinceAsked_ = true; }

bool RepaintWait::settled() {
    if (!deadline_) return true;
    const bool quiet = repainted_ && !damagedSinceAsked_;
    damagedSinceAsked_ = false;
    if (quiet || std::chrono::steady_clock::now() >= *deadline_) deadline_.reset();
    return !deadline_;
}

void copyPixels(const XImage& image, int fromX, int fromY, int width, int height, Canvas& canvas, int toX,
                int toY, bool opaque) {
    for (int row = 0; row < height; ++row) {
        const auto* from = reinterpret_cast<const uint32_t*>(image.data + size_t(fromY + row) * image.bytes_per_line) +
                           fromX;
        auto* to = reinterpret_cast<uint32_t*>(canvas.bytes + size_t(toY + row) * canvas.bytesPerRow) + toX;
        if (opaque) {
            for (int column = 0; column < width; ++column) to[column] = from[column] | 0xff000000u;
        } else {
            std::memcpy(to, from, size_t(width) * 4);
        }
    }
}

void fillBackground(Canvas& canvas, const SourceStyle& style) {
    const uint32_t pixel = style.clearBackground ? 0u : 0xff000000u;
    for (int row = 0; row < canvas.height; ++row) {
        auto* to = reinterpret_cast<uint32_t*>(canvas.bytes + size_t(row) * canvas.bytesPerRow);
        std::fill(to, to + canvas.width, pixel);
    }
}

}  // namespace platform::linux_desktop
