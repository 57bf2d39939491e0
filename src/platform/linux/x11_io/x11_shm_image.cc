#include "platform/linux/x11_io/x11_shm_image.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include "platform/linux/x11/x11_display.h"

namespace platform::linux_desktop {
namespace {

// A visual of `depth` on the default screen; the pixel layout of a ZPixmap depends only on the depth.
Visual* visualOfDepth(Display* display, int depth) {
    XVisualInfo info{};
    if (XMatchVisualInfo(display, DefaultScreen(display), depth, TrueColor, &info)) return info.visual;
    return DefaultVisual(display, DefaultScreen(display));
}

}  // namespace

ShmImage::ShmImage(Display* display, int depth, int width, int height)
    : display_(display), depth_(depth), width_(width), height_(height) {
    if (!XShmQueryExtension(display)) return;
    image_ = XShmCreateImage(display, visualOfDepth(display, depth), depth, ZPixmap, nullptr, &segment_, width,
                             height);
    if (!image_) return;
    segment_.shmid = shmget(IPC_PRIVATE, size_t(image_->bytes_per_line) * height, IPC_CREAT | 0600);
    if (segment_.shmid >= 0) {
        segment_.shmaddr = image_->data = static_cast<char*>(shmat(segment_.shmid, nullptr, 0));
        segment_.readOnly = False;
        // Marked for removal at once: the segment goes away with the last attachment, even after a crash.
        shmctl(segment_.shmid, IPC_RMID, nullptr);
        if (segment_.shmaddr != reinterpret_cast<char*>(-1)) {
            shared_ = withoutXErrors(display, [&] { XShmAttach(display, &segment_); });
            if (!shared_) shmdt(segment_.shmaddr);
        }
    }
    if (!shared_) {
        // A server on another machine (or without room for the segment): plain copies instead.
        image_->data = nullptr;
        XDestroyImage(image_);
        image_ = nullptr;
    }
}

ShmImage::~ShmImage() {
    if (shared_) {
        XShmDetach(display_, &segment_);
        XSync(display_, False);
        shmdt(segment_.shmaddr);
        image_->data = nullptr;
    }
    if (image_) XDestroyImage(image_);
}

bool ShmImage::grab(Drawable drawable, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0 || width > width_ || height > height_) return false;
    if (shared_) {
        // The server writes the area's rows packed for its width (32-bit scanline padding) from the start
        // of the segment; the image is described that way for the request and for the reader.
        part_ = *image_;
        part_.width = width;
        part_.height = height;
        part_.bytes_per_line = ((width * image_->bits_per_pixel + 31) / 32) * 4;
        grabbed_ = XShmGetImage(display_, drawable, &part_, x, y, AllPlanes);
        return grabbed_;
    }
    XImage* fresh = XGetImage(display_, drawable, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    grabbed_ = fresh != nullptr;
    if (!fresh) return false;
    if (image_) XDestroyImage(image_);
    image_ = fresh;
    part_ = *image_;
    return true;
}

}  // namespace platform::linux_desktop
