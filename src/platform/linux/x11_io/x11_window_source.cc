// One window's own pixels, decorations included: the top-level that holds the client (a window manager's
// frame) is what is recorded. With Composite the window is redirected (automatically, so the screen still
// shows it) and its pixmap is named: it holds the window's pixels even where other windows cover it or
// where it lies off the screen. The pixmap is named again after each resize and each map.

#include <X11/extensions/Xcomposite.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>

#include <algorithm>
#include <optional>

#include "base/capture_error.h"
#include "platform/linux/x11_io/x11_frame_sources.h"
#include "platform/linux/x11/x11_window_frame.h"
#include "platform/linux/x11/x11_windows.h"

namespace platform::linux_desktop {
namespace {

// More damaged rectangles than this are reported as the one rectangle around them.
constexpr int kMostChangedAreas = 64;

class WindowSource final : public FrameSource {
public:
    WindowSource(Display* display, Window window, SourceStyle style)
        : display_(display), window_(window), style_(style) {}

    ~WindowSource() override {
        releasePixmap();
        if (parts_) XFixesDestroyRegion(display_, parts_);
        if (damage_) XDamageDestroy(display_, damage_);
        if (redirected_) XCompositeUnredirectWindow(display_, window_, CompositeRedirectAutomatic);
        XSync(display_, False);
    }

    void attach() override {
        int eventBase = 0, errorBase = 0, major = 0, minor = 2;
        composite_ = XCompositeQueryExtension(display_, &eventBase, &errorBase) &&
                     XCompositeQueryVersion(display_, &major, &minor) && (major > 0 || minor >= 2);
        if (!XDamageQueryExtension(display_, &damageEventBase_, &errorBase)) {
            throw CaptureError("the X server has no DAMAGE extension", "external");
        }
        // The window as the user sees it: the window manager's frame, decorations included, when one holds
        // the client (its pixmap holds the client's pixels too), less the shadow the client declares.
        client_ = window_;
        shadowAtom_ = XInternAtom(display_, "_GTK_FRAME_EXTENTS", False);
        if (const Window topLevel = topLevelOf(display_, window_)) window_ = topLevel;
        // Events first, then the attributes: a destruction in between is then seen as an event.
        if (client_ == window_) {
            XSelectInput(display_, window_, StructureNotifyMask | PropertyChangeMask);
        } else {
            XSelectInput(display_, window_, StructureNotifyMask);
            XSelectInput(display_, client_, StructureNotifyMask | PropertyChangeMask);
        }
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, window_, &attributes)) {
            throw CaptureError("the window to record is gone", "external");
        }
        damage_ = XDamageCreate(display_, window_, XDamageReportNonEmpty);
        // The damaged parts are read back through an XFixes region, so that a frame can say where it changed.
        int fixesEvent = 0, fixesError = 0, fixesMajor = 2, fixesMinor = 0;
        if (XFixesQueryExtension(display_, &fixesEvent, &fixesError) &&
            XFixesQueryVersion(display_, &fixesMajor, &fixesMinor) && fixesMajor >= 2) {
            parts_ = XFixesCreateRegion(display_, nullptr, 0);
        }
        readGeometry(attributes);
        readVisibleArea();
        mapped_ = attributes.map_state == IsViewable;
        depth_ = attributes.depth;
        if (composite_) {
            // A window wholly on the screen and uncovered is copied into its new pixmap complete.
            if (!whollyVisible(attributes)) repaint_.start();
            // Automatic redirection never conflicts with other clients' (a compositing manager's manual
            // redirection of the frame keeps working, and the pixmap can be named either way).
            XCompositeRedirectWindow(display_, window_, CompositeRedirectAutomatic);
            redirected_ = true;
            stale_ = true;
        }
    }

    void handle(const XEvent& event) override {
        if (event.type == damageEventBase_ + XDamageNotify) {
            if (reinterpret_cast<const XDamageNotifyEvent&>(event).damage == damage_) {
                changed_ = true;
                repaint_.damaged();
            }
            return;
        }
        if (event.xany.window == client_ &&
            ((event.type == PropertyNotify && event.xproperty.atom == shadowAtom_) ||
             (event.type == ConfigureNotify && client_ != window_))) {
            // The declared shadow, or the client's place in its frame, changed: so does the part recorded.
            readVisibleArea();
            changed_ = true;
            everything_ = true;
        }
        if (event.xany.window != window_) return;
        switch (event.type) {
            case ConfigureNotify:
                if (event.xconfigure.width != width_ || event.xconfigure.height != height_ ||
                    event.xconfigure.border_width != border_) {
                    width_ = event.xconfigure.width;
                    height_ = event.xconfigure.height;
                    border_ = event.xconfigure.border_width;
                    readVisibleArea();
                    stale_ = true;
                    changed_ = true;
                    everything_ = true;
                }
                break;
            case MapNotify:
                mapped_ = true;
                stale_ = true;
                changed_ = true;
                everything_ = true;
                break;
            case UnmapNotify:
                mapped_ = false;
                releasePixmap();
                break;
            case DestroyNotify:
                gone_ = true;
                break;
            default:
                break;
        }
    }

    bool gone() const override { return gone_; }

    bool settled() override { return repaint_.settled(); }
    bool changed() override { return changed_; }

    std::optional<std::vector<PixelRect>> takeChanges() override {
        changed_ = false;
        // Only the window's own pixmap changes where its damage says; without Composite, other windows
        // moving over its area change the picture too.
        const bool known = composite_ && parts_ && !everything_ && !stale_;
        everything_ = false;
        if (!known) {
            XDamageSubtract(display_, damage_, None, None);
            return std::nullopt;
        }
        XDamageSubtract(display_, damage_, None, parts_);
        int count = 0;
        XRectangle* rectangles = XFixesFetchRegion(display_, parts_, &count);
        if (!rectangles) return std::nullopt;  // not read: the whole content counts as changed
        std::vector<PixelRect> areas;
        if (count > kMostChangedAreas) {
            int left = rectangles[0].x, top = rectangles[0].y, right = left, bottom = top;
            for (int i = 0; i < count; ++i) {
                left = std::min<int>(left, rectangles[i].x);
                top = std::min<int>(top, rectangles[i].y);
                right = std::max(right, rectangles[i].x + int(rectangles[i].width));
                bottom = std::max(bottom, rectangles[i].y + int(rectangles[i].height));
            }
            areas.push_back({left, top, right - left, bottom - top});
        } else {
            for (int i = 0; i < count; ++i) {
                areas.push_back({rectangles[i].x, rectangles[i].y, rectangles[i].width, rectangles[i].height});
            }
        }
        XFree(rectangles);
        // In the recorded part's own pixels.
        const PixelRect visible = visibleArea();
        for (PixelRect& each : areas) {
            each.x -= visible.x;
            each.y -= visible.y;
        }
        return areas;
    }

    PixelRect bounds() override {
        const PixelRect visible = visibleArea();
        return {0, 0, visible.width, visible.height};
    }

    bool draw(const PixelRect& wanted, Canvas& canvas) override {
        if (!mapped_ || gone_) return false;
        // `wanted` is in the recorded part's pixels; the reads below are in the window's.
        const PixelRect visible = visibleArea();
        const PixelRect area{wanted.x + visible.x, wanted.y + visible.y, wanted.width, wanted.height};
        Drawable drawable = window_;
        int originX = 0, originY = 0;  // where the window's (0, 0) is in `drawable`
        int limitWidth = width_, limitHeight = height_;
        int depth = depth_;
        if (composite_) {
            if (stale_ && !namePixmap()) return false;
            drawable = pixmap_;
            originX = originY = border_;
        } else {
            // Without Composite: the window's area of the root window, covered parts included.
            Window child = 0;
            const Window root = DefaultRootWindow(display_);
            if (!XTranslateCoordinates(display_, window_, root, 0, 0, &originX, &originY, &child)) return false;
            drawable = root;
            depth = DefaultDepth(display_, DefaultScreen(display_));
            limitWidth = std::min(width_, DisplayWidth(display_, DefaultScreen(display_)) - originX);
            limitHeight = std::min(height_, DisplayHeight(display_, DefaultScreen(display_)) - originY);
            const int hiddenLeft = std::max(0, -originX), hiddenTop = std::max(0, -originY);
            return drawClipped(area,
                               intersection(visible, {hiddenLeft, hiddenTop, limitWidth - hiddenLeft,
                                                      limitHeight - hiddenTop}),
                               drawable, originX, originY, depth, canvas);
        }
        return drawClipped(area, intersection(visible, {0, 0, limitWidth, limitHeight}), drawable, originX, originY,
                           depth, canvas);
    }

private:
    static PixelRect intersection(const PixelRect& a, const PixelRect& b) {
        const int left = std::max(a.x, b.x), top = std::max(a.y, b.y);
        const int right = std::min(a.x + a.width, b.x + b.width), bottom = std::min(a.y + a.height, b.y + b.height);
        return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
    }

    // The part of the window that is recorded, in the window's pixels: all of it, or, where the client
    // declares an invisible shadow around itself (GTK under a compositor), the part inside the shadow.
    PixelRect visibleArea() const { return shadowed_ ? visible_ : PixelRect{0, 0, width_, height_}; }

    void readVisibleArea() {
        shadowed_ = false;
        const auto shadow = declaredShadow(display_, client_);
        if (!shadow) return;
        XWindowAttributes client{};
        int x = 0, y = 0;
        Window child = 0;
        if (!XGetWindowAttributes(display_, client_, &client) ||
            !XTranslateCoordinates(display_, client_, window_, 0, 0, &x, &y, &child))
            return;
        const PixelRect inside{x + int(shadow->left), y + int(shadow->top),
                               client.width - int(shadow->left + shadow->right),
                               client.height - int(shadow->top + shadow->bottom)};
        visible_ = intersection(inside, {0, 0, width_, height_});
        shadowed_ = visible_.width > 0 && visible_.height > 0;
    }

    // Draws the part of `area` inside `readable` (both in window pixels) from `drawable`, whose pixel
    // (originX, originY) is the window's (0, 0).
    bool drawClipped(const PixelRect& area, const PixelRect& readable, Drawable drawable, int originX, int originY,
                     int depth, Canvas& canvas) {
        const int left = std::max(area.x, readable.x);
        const int top = std::max(area.y, readable.y);
        const int right = std::min(area.x + area.width, readable.x + readable.width);
        const int bottom = std::min(area.y + area.height, readable.y + readable.height);
        const bool whole = left == area.x && top == area.y && right == area.x + area.width &&
                           bottom == area.y + area.height;
        if (!whole) fillBackground(canvas, style_);
        if (right <= left || bottom <= top) return true;
        const int width = right - left, height = bottom - top;
        // One image of the window's size serves every smaller area too (a frame's changed parts).
        if (!image_ || image_->width() < width || image_->height() < height || image_->depth() != depth) {
            image_ = std::make_unique<ShmImage>(display_, depth, std::max(width, width_), std::max(height, height_));
        }
        if (!image_->grab(drawable, originX + left, originY + top, width, height)) {
            stale_ = composite_;
            everything_ = true;  // the pixmap may have gone with a resize whose event is still on its way
            return false;
        }
        const bool opaque = depth != 32 || !style_.clearBackground;
        copyPixels(*image_->image(), 0, 0, width, height, canvas, left - area.x, top - area.y, opaque);
        return true;
    }

    // True when no other top-level covers the window and it lies inside the screen.
    bool whollyVisible(const XWindowAttributes& attributes) {
        int x = 0, y = 0;
        Window child = 0;
        if (!XTranslateCoordinates(display_, window_, attributes.root, 0, 0, &x, &y, &child)) return false;
        const int screen = DefaultScreen(display_);
        if (x < 0 || y < 0 || x + attributes.width > DisplayWidth(display_, screen) ||
            y + attributes.height > DisplayHeight(display_, screen)) {
            return false;
        }
        bool above = false;  // walking bottom up: true once past the window's own top-level
        for (const auto& other : stackedTopLevels(display_)) {
            if (other.client == window_ || other.topLevel == window_) {
                above = true;
                continue;
            }
            if (above && other.x < x + attributes.width && x < other.x + other.width + 2 * other.borderWidth &&
                other.y < y + attributes.height && y < other.y + other.height + 2 * other.borderWidth) {
                return false;
            }
        }
        return above;
    }

    bool namePixmap() {
        releasePixmap();
        // A window unmapped right after this check leaves a pixmap id that copies fail on; the next frame
        // names it again.
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, window_, &attributes) || attributes.map_state != IsViewable) return false;
        pixmap_ = XCompositeNameWindowPixmap(display_, window_);
        readGeometry(attributes);
        depth_ = attributes.depth;
        stale_ = false;
        return true;
    }

    void releasePixmap() {
        if (pixmap_) XFreePixmap(display_, pixmap_);
        pixmap_ = 0;
        stale_ = true;
    }

    void readGeometry(const XWindowAttributes& attributes) {
        width_ = attributes.width;
        height_ = attributes.height;
        border_ = attributes.border_width;
    }

    Display* display_;
    Window window_;       // the top-level recorded
    Window client_ = 0;   // the application's window inside it
    Atom shadowAtom_ = None;
    bool shadowed_ = false;
    PixelRect visible_;   // the part inside the declared shadow, when `shadowed_`
    SourceStyle style_;
    bool composite_ = false;
    bool redirected_ = false;
    int damageEventBase_ = 0;
    Damage damage_ = 0;
    XserverRegion parts_ = 0;  // where the damage was, read at each take
    bool everything_ = true;   // the next take cannot tell where the content changed
    Pixmap pixmap_ = 0;
    bool stale_ = true;  // the pixmap must be named (again) before the next copy
    bool mapped_ = false;
    bool gone_ = false;
    bool changed_ = true;  // the first frame always counts as new
    RepaintWait repaint_;
    int width_ = 0, height_ = 0, border_ = 0, depth_ = 24;
    std::unique_ptr<ShmImage> image_;
};

}  // namespace

std::unique_ptr<FrameSource> makeWindowSource(Display* display, Window window, SourceStyle style) {
    return std::make_unique<WindowSource>(display, window, style);
}

}  // namespace platform::linux_desktop
