#pragma once
// Copying a drawable's pixels into client memory: MIT-SHM when the server shares memory with us, plain
// XGetImage otherwise.

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

namespace platform::linux_desktop {

/// One image of a fixed size and depth, reused for every copy of that size or smaller.
class ShmImage {
public:
    ShmImage(Display* display, int depth, int width, int height);
    ~ShmImage();
    ShmImage(const ShmImage&) = delete;
    ShmImage& operator=(const ShmImage&) = delete;

    /// Copies the `width` × `height` pixels at (`x`, `y`) of `drawable`; false when the server refused
    /// (the drawable is gone, or the area is not inside it).
    bool grab(Drawable drawable, int x, int y) { return grab(drawable, x, y, width_, height_); }

    /// Copies the `width` × `height` pixels at (`x`, `y`) of `drawable`, an area no larger than the image.
    bool grab(Drawable drawable, int x, int y, int width, int height);

    /// The pixels of the last successful grab, that area's size (32 bits per pixel for depths 24 and 32);
    /// null before.
    const XImage* image() const { return grabbed_ ? &part_ : nullptr; }

    int width() const { return width_; }
    int height() const { return height_; }
    int depth() const { return depth_; }

private:
    Display* display_;
    int depth_;
    int width_;
    int height_;
    XImage* image_ = nullptr;
    XImage part_{};  // the image as the last grab filled it: its area's size, rows packed for that width
    bool grabbed_ = false;
    XShmSegmentInfo segment_{};
    bool shared_ = false;
};

}  // namespace platform::linux_desktop
