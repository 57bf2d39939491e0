// A monitor's picture without the windows of some processes. Every top-level window is redirected
// (automatically, so the screen still shows them); each frame starts from the desktop background and
// copies, bottom first, the named pixmap of every viewable top-level that is not left out into a pixmap of
// the monitor's size on the server, which is then read in one copy. The pointer is drawn last.

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <vector>

#include "base/capture_error.h"
#include "platform/linux/x11_io/x11_frame_sources.h"
#include "platform/linux/x11/x11_properties.h"
#include "platform/linux/x11/x11_windows.h"

namespace platform::linux_desktop {
namespace {

// One top-level window to paint: where it is, its depth, and its process.
struct PaintedWindow {
    Window topLevel = 0;
    int x = 0, y = 0, outerWidth = 0, outerHeight = 0, depth = 0;
    int32_t pid = 0;
};

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

class DisplaySource final : public FrameSource {
public:
    DisplaySource(Display* display, const Rect& monitor, std::set<int32_t> excluded, SourceStyle style)
        : display_(display),
          root_(DefaultRootWindow(display)),
          monitor_{int(std::lround(monitor.x)), int(std::lround(monitor.y)), int(std::lround(monitor.width)),
                   int(std::lround(monitor.height))},
          excluded_(std::move(excluded)),
          style_(style) {}

    ~DisplaySource() override {
        if (cursor_) XFree(cursor_);
        if (gc_) XFreeGC(display_, gc_);
        if (canvas_) XFreePixmap(display_, canvas_);
        if (damage_) XDamageDestroy(display_, damage_);
        for (const auto& [window, damage] : windowDamage_) XDamageDestroy(display_, damage);
        if (redirected_) XCompositeUnredirectSubwindows(display_, root_, CompositeRedirectAutomatic);
        XSync(display_, False);
    }

    void attach() override {
        int eventBase = 0, errorBase = 0, major = 0, minor = 2;
        if (!XDamageQueryExtension(display_, &damageEventBase_, &errorBase)) {
            throw CaptureError("the X server has no DAMAGE extension", "external");
        }
        if (monitor_.width <= 0 || monitor_.height <= 0) throw CaptureError("the display has no area", "external");
        const bool composite = XCompositeQueryExtension(display_, &eventBase, &errorBase) &&
                               XCompositeQueryVersion(display_, &major, &minor) && (major > 0 || minor >= 2);
        depth_ = DefaultDepth(display_, DefaultScreen(display_));
        damage_ = XDamageCreate(display_, root_, XDamageReportNonEmpty);
        // Drawing that the screen does not show (a window under a left-out one) is damage to that window
        // only, so every top-level gets its own damage object, new ones as they are created.
        XSelectInput(display_, root_, SubstructureNotifyMask);
        Window rootReturn = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display_, root_, &rootReturn, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count; ++i) watch(children[i]);
            if (children) XFree(children);
        }
        if (composite) {
            // Automatic redirection never conflicts with a compositing manager's manual one.
            XCompositeRedirectSubwindows(display_, root_, CompositeRedirectAutomatic);
            redirected_ = true;
            repaint_.start();  // covered windows repaint what their new pixmaps lack
        }
        if (redirected_) {
            canvas_ = XCreatePixmap(display_, root_, unsigned(monitor_.width), unsigned(monitor_.height),
                                    unsigned(depth_));
            XGCValues values{};
            values.subwindow_mode = IncludeInferiors;
            values.graphics_exposures = False;
            gc_ = XCreateGC(display_, canvas_, GCSubwindowMode | GCGraphicsExposures, &values);
        }
        // Without Composite nothing can be left out: the screen is read as it is.
        int fixesEvent = 0, fixesError = 0;
        fixes_ = XFixesQueryExtension(display_, &fixesEvent, &fixesError);
    }

    void handle(const XEvent& event) override {
        if (event.type == damageEventBase_ + XDamageNotify) {
            changed_ = true;
            repaint_.damaged();
            return;
        }
        switch (event.type) {
            case CreateNotify:
                if (event.xcreatewindow.parent == root_) watch(event.xcreatewindow.window);
                break;
            case ReparentNotify:
                if (event.xreparent.parent == root_) {
                    watch(event.xreparent.window);
                } else if (auto it = windowDamage_.find(event.xreparent.window); it != windowDamage_.end()) {
                    XDamageDestroy(display_, it->second);
                    windowDamage_.erase(it);
                }
                break;
            case DestroyNotify:
                windowDamage_.erase(event.xdestroywindow.window);  // the server dropped its damage object
                break;
            case MapNotify:
            case UnmapNotify:
            case ConfigureNotify:
                changed_ = true;  // a window appeared, went or moved: the picture changes
                break;
            default:
                break;
        }
    }

    bool settled() override { return repaint_.settled(); }

    bool gone() const override { return false; }

    bool changed() override {
        if (style_.showsCursor) readCursor();
        return changed_ || cursorMoved_;
    }

    std::optional<std::vector<PixelRect>> takeChanges() override {
        changed_ = false;
        cursorMoved_ = false;
        XDamageSubtract(display_, damage_, None, None);
        for (const auto& [window, damage] : windowDamage_) XDamageSubtract(display_, damage, None, None);
        return std::nullopt;  // a composed picture: any window's change may show anywhere
    }

    PixelRect bounds() override { return {0, 0, monitor_.width, monitor_.height}; }

    bool draw(const PixelRect& area, Canvas& canvas) override {
        Drawable drawable = root_;
        int originX = monitor_.x, originY = monitor_.y;
        if (redirected_) {
            compose();
            drawable = canvas_;
            originX = originY = 0;
        }
        const int left = std::max(area.x, 0), top = std::max(area.y, 0);
        const int right = std::min(area.x + area.width, monitor_.width);
        const int bottom = std::min(area.y + area.height, monitor_.height);
        if (left != area.x || top != area.y || right != area.x + area.width || bottom != area.y + area.height) {
            fillBackground(canvas, style_);
        }
        if (right > left && bottom > top) {
            if (!image_ || image_->width() != right - left || image_->height() != bottom - top) {
                image_ = std::make_unique<ShmImage>(display_, depth_, right - left, bottom - top);
            }
            if (!image_->grab(drawable, originX + left, originY + top)) return false;
            copyPixels(*image_->image(), 0, 0, right - left, bottom - top, canvas, left - area.x, top - area.y, true);
        }
        if (style_.showsCursor && cursor_) drawCursor(area, canvas);
        return true;
    }

private:
    void watch(Window window) {
        if (!windowDamage_.count(window)) windowDamage_[window] = XDamageCreate(display_, window, XDamageReportNonEmpty);
    }

    void compose() {
        const Pixmap background = backgroundPixmap();
        if (background) {
            XCopyArea(display_, background, canvas_, gc_, monitor_.x, monitor_.y, unsigned(monitor_.width),
                      unsigned(monitor_.height), 0, 0);
        } else {
            XSetForeground(display_, gc_, BlackPixel(display_, DefaultScreen(display_)));
            XFillRectangle(display_, canvas_, gc_, 0, 0, unsigned(monitor_.width), unsigned(monitor_.height));
        }
        for (const auto& window : paintOrder()) {
            if (window.pid != 0 && excluded_.count(window.pid)) continue;
            if (window.x >= monitor_.x + monitor_.width || window.y >= monitor_.y + monitor_.height ||
                window.x + window.outerWidth <= monitor_.x || window.y + window.outerHeight <= monitor_.y) {
                continue;
            }
            // Named for this one copy; a window that vanished meanwhile only costs an ignored error.
            const Pixmap pixmap = XCompositeNameWindowPixmap(display_, window.topLevel);
            if (window.depth == depth_) {
                XCopyArea(display_, pixmap, canvas_, gc_, 0, 0, unsigned(window.outerWidth),
                          unsigned(window.outerHeight), window.x - monitor_.x, window.y - monitor_.y);
            } else {
                copyOtherDepth(pixmap, window.depth, window.outerWidth, window.outerHeight, window.x - monitor_.x,
                               window.y - monitor_.y);
            }
            XFreePixmap(display_, pixmap);
        }
    }

    // The viewable children of the root, bottom first. The tree and every child's attributes and geometry
    // are asked for at once (two round trips per frame, whatever the number of windows); the process of
    // each top-level is looked up once and remembered.
    std::vector<PaintedWindow> paintOrder() {
        std::vector<PaintedWindow> windows;
        xcb_connection_t* connection = XGetXCBConnection(display_);
        ReplyPtr<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection, xcb_query_tree(connection, root_), nullptr), &std::free);
        if (!tree) return windows;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        std::vector<xcb_get_window_attributes_cookie_t> attributeRequests;
        std::vector<xcb_get_geometry_cookie_t> geometryRequests;
        for (int i = 0; i < count; ++i) {
            attributeRequests.push_back(xcb_get_window_attributes(connection, children[i]));
            geometryRequests.push_back(xcb_get_geometry(connection, children[i]));
        }
        std::map<Window, int32_t> seen;
        for (int i = 0; i < count; ++i) {
            ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(connection, attributeRequests[i], nullptr), &std::free);
            ReplyPtr<xcb_get_geometry_reply_t> geometry(
                xcb_get_geometry_reply(connection, geometryRequests[i], nullptr), &std::free);
            if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
                attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
                continue;
            }
            PaintedWindow window;
            window.topLevel = children[i];
            window.x = geometry->x;
            window.y = geometry->y;
            window.outerWidth = geometry->width + 2 * geometry->border_width;
            window.outerHeight = geometry->height + 2 * geometry->border_width;
            window.depth = geometry->depth;
            if (auto known = processes_.find(window.topLevel); known != processes_.end()) {
                window.pid = known->second;
                seen.insert(*known);
            } else {
                const Window client = clientWindow(display_, window.topLevel);
                window.pid = windowProcess(display_, client ? client : window.topLevel);
                // A frame whose client is not marked yet is asked again next time, so that a window being
                // managed right now is not taken for the window manager's own.
                if (client || attributes->override_redirect) seen.emplace(window.topLevel, window.pid);
            }
            windows.push_back(window);
        }
        processes_ = std::move(seen);  // forget windows that are gone
        return windows;
    }

    // A window of another depth (32-bit windows with alpha): read it and put its colours on the canvas.
    // Its alpha is dropped, which shows premultiplied pixels as they would look over black.
    void copyOtherDepth(Pixmap pixmap, int depth, int width, int height, int x, int y) {
        if (depth != 32 && depth != 24) return;
        XImage* image = XGetImage(display_, pixmap, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
        if (!image) return;
        if (image->bits_per_pixel == 32) {
            XImage* asCanvas = XCreateImage(display_, DefaultVisual(display_, DefaultScreen(display_)), unsigned(depth_),
                                            ZPixmap, 0, image->data, unsigned(width), unsigned(height), 32,
                                            image->bytes_per_line);
            if (asCanvas) {
                XPutImage(display_, canvas_, gc_, asCanvas, 0, 0, x, y, unsigned(width), unsigned(height));
                asCanvas->data = nullptr;
                XDestroyImage(asCanvas);
            }
        }
        XDestroyImage(image);
    }

    // The desktop's wallpaper as a wallpaper setter publishes it; 0 when there is none.
    Pixmap backgroundPixmap() {
        auto ids = longProperty(display_, root_, atom(display_, "_XROOTPMAP_ID"), XA_PIXMAP);
        return ids.empty() ? 0 : Pixmap(ids[0]);
    }

    void readCursor() {
        if (!fixes_) return;
        XFixesCursorImage* image = XFixesGetCursorImage(display_);
        if (!image) return;
        if (!cursor_ || cursor_->x != image->x || cursor_->y != image->y ||
            cursor_->cursor_serial != image->cursor_serial) {
            cursorMoved_ = true;
        }
        if (cursor_) XFree(cursor_);
        cursor_ = image;
    }

    // Blends the pointer (premultiplied ARGB) over the canvas.
    void drawCursor(const PixelRect& area, Canvas& canvas) {
        const int originX = cursor_->x - cursor_->xhot - monitor_.x - area.x;
        const int originY = cursor_->y - cursor_->yhot - monitor_.y - area.y;
        for (int row = 0; row < cursor_->height; ++row) {
            const int y = originY + row;
            if (y < 0 || y >= canvas.height) continue;
            auto* line = reinterpret_cast<uint32_t*>(canvas.bytes + size_t(y) * canvas.bytesPerRow);
            for (int column = 0; column < cursor_->width; ++column) {
                const int x = originX + column;
                if (x < 0 || x >= canvas.width) continue;
                const auto source = uint32_t(cursor_->pixels[row * cursor_->width + column]);
                const uint32_t alpha = source >> 24;
                if (alpha == 0) continue;
                uint32_t result = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    const uint32_t s = (source >> shift) & 0xff, d = (line[x] >> shift) & 0xff;
                    result |= std::min<uint32_t>(255, s + d * (255 - alpha) / 255) << shift;
                }
                line[x] = result;
            }
        }
    }

    Display* display_;
    Window root_;
    PixelRect monitor_;
    std::set<int32_t> excluded_;
    SourceStyle style_;
    int depth_ = 24;
    int damageEventBase_ = 0;
    Damage damage_ = 0;
    bool redirected_ = false;
    bool fixes_ = false;
    Pixmap canvas_ = 0;
    GC gc_ = nullptr;
    bool changed_ = true;
    bool cursorMoved_ = false;
    XFixesCursorImage* cursor_ = nullptr;
    std::unique_ptr<ShmImage> image_;
    std::map<Window, int32_t> processes_;  // top-level window -> its client's process
    RepaintWait repaint_;
    std::map<Window, Damage> windowDamage_;  // the root's children
};

}  // namespace

std::unique_ptr<FrameSource> makeDisplaySource(Display* display, const Rect& monitor,
                                               std::set<int32_t> excludedProcesses, SourceStyle style) {
    return std::make_unique<DisplaySource>(display, monitor, std::move(excludedProcesses), style);
}

}  // namespace platform::linux_desktop
