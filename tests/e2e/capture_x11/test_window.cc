// A plain Xlib window for the capture tests and the benchmark.
//
//   qc_test_window [--title TEXT] [--class NAME] [--size WxH] [--at X,Y] [--color RRGGBB]
//                  [--right-color RRGGBB] [--type normal|dialog|dock|utility|menu] [--override]
//                  [--animate] [--fps N] [--no-pid] [--no-title]
//
// Opens a titled window with _NET_WM_PID, WM_CLASS (NAME, "QcTestWindow") and _NET_WM_NAME set, painted in
// one colour (the right half in another with --right-color). It stays still, repainting only on Expose,
// unless --animate is given: then it repaints all of itself every frame at --fps (default 60) with content
// that changes each time. --no-pid leaves _NET_WM_PID unset and --no-title leaves both names unset. Once it is mapped and painted it prints one line to standard output:
//   ready <window id> <x> <y> <width> <height>
// (the client area in root coordinates) and, after each later move or resize, a "moved" line of the same
// form. It runs until killed or closed.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Options {
    std::string title = "Capture Test Window";
    std::string windowClass = "qc_test_window";
    unsigned width = 400, height = 300;
    int x = 60, y = 60;
    bool placed = false;
    unsigned long color = 0xcc2020;
    long rightColor = -1;
    std::string type = "normal";
    bool overrideRedirect = false;
    bool animate = false;
    int fps = 60;
    bool setPid = true;
    bool setTitle = true;
};

[[noreturn]] void usage(const char* problem) {
    std::fprintf(stderr, "qc_test_window: %s\n", problem);
    std::exit(64);
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage(("missing value after " + arg).c_str());
            return argv[++i];
        };
        if (arg == "--title") options.title = value();
        else if (arg == "--class") options.windowClass = value();
        else if (arg == "--size") {
            if (std::sscanf(value().c_str(), "%ux%u", &options.width, &options.height) != 2) usage("bad --size");
        } else if (arg == "--at") {
            if (std::sscanf(value().c_str(), "%d,%d", &options.x, &options.y) != 2) usage("bad --at");
            options.placed = true;
        } else if (arg == "--color") options.color = std::strtoul(value().c_str(), nullptr, 16);
        else if (arg == "--right-color") options.rightColor = long(std::strtoul(value().c_str(), nullptr, 16));
        else if (arg == "--type") options.type = value();
        else if (arg == "--override") options.overrideRedirect = true;
        else if (arg == "--animate") options.animate = true;
        else if (arg == "--fps") options.fps = std::atoi(value().c_str());
        else if (arg == "--no-pid") options.setPid = false;
        else if (arg == "--no-title") options.setTitle = false;
        else usage(("unknown option " + arg).c_str());
    }
    if (options.width == 0 || options.height == 0 || options.fps <= 0) usage("sizes and fps must be positive");
    return options;
}

void setProperties(Display* display, Window window, const Options& options) {
    if (options.setTitle) {
        const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(options.title.data()), int(options.title.size()));
        XStoreName(display, window, options.title.c_str());
    }
    if (options.setPid) {
        const long pid = getpid();
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    }
    XClassHint hint{const_cast<char*>(options.windowClass.c_str()), const_cast<char*>("QcTestWindow")};
    XSetClassHint(display, window, &hint);
    std::string typeName = "_NET_WM_WINDOW_TYPE_";
    for (char c : options.type) typeName += char(std::toupper(static_cast<unsigned char>(c)));
    const Atom type = XInternAtom(display, typeName.c_str(), False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&type), 1);
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PSize | (options.placed ? USPosition : 0);
    hints->x = options.x;
    hints->y = options.y;
    hints->width = int(options.width);
    hints->height = int(options.height);
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
}

void paint(Display* display, Window window, GC gc, const Options& options, unsigned width, unsigned height,
           unsigned long frame) {
    if (!options.animate) {
        XSetForeground(display, gc, options.color);
        XFillRectangle(display, window, gc, 0, 0, width, height);
        if (options.rightColor >= 0) {
            XSetForeground(display, gc, static_cast<unsigned long>(options.rightColor));
            XFillRectangle(display, window, gc, int(width / 2), 0, width - width / 2, height);
        }
        return;
    }
    // Every frame differs everywhere: a background that cycles through shades and a moving bar.
    const unsigned long shade = (frame * 7) % 256;
    XSetForeground(display, gc, (shade << 16) | ((255 - shade) << 8) | ((frame * 3) % 256));
    XFillRectangle(display, window, gc, 0, 0, width, height);
    XSetForeground(display, gc, 0xffffff);
    XFillRectangle(display, window, gc, int((frame * 8) % width), 0, 24, height);
}

void report(Display* display, Window window, const char* what) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, attributes.root, 0, 0, &x, &y, &child);
    std::printf("%s %lu %d %d %d %d\n", what, window, x, y, attributes.width, attributes.height);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    Display* display = XOpenDisplay(nullptr);
    if (!display) usage("cannot open the display");
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = options.overrideRedirect;
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.event_mask = ExposureMask | StructureNotifyMask;
    const Window window = XCreateWindow(display, RootWindow(display, screen), options.x, options.y, options.width,
                                        options.height, 0, CopyFromParent, InputOutput, CopyFromParent,
                                        CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    setProperties(display, window, options);
    GC gc = XCreateGC(display, window, 0, nullptr);
    XMapRaised(display, window);

    unsigned width = options.width, height = options.height;
    bool ready = false;
    unsigned long frame = 0;
    const auto period = std::chrono::microseconds(1000000 / options.fps);
    auto next = std::chrono::steady_clock::now();
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    while (true) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == Expose && event.xexpose.count == 0) {
                paint(display, window, gc, options, width, height, frame);
                XSync(display, False);
                if (!ready) report(display, window, "ready");
                ready = true;
            } else if (event.type == ConfigureNotify) {
                const bool resized = unsigned(event.xconfigure.width) != width ||
                                     unsigned(event.xconfigure.height) != height;
                width = unsigned(event.xconfigure.width);
                height = unsigned(event.xconfigure.height);
                if (resized) paint(display, window, gc, options, width, height, frame);
                if (ready) report(display, window, "moved");
            } else if (event.type == ClientMessage && Atom(event.xclient.data.l[0]) == deleteWindow) {
                XCloseDisplay(display);
                return 0;
            }
        }
        if (options.animate && ready) {
            paint(display, window, gc, options, width, height, ++frame);
            XFlush(display);
            next += period;
            const auto now = std::chrono::steady_clock::now();
            if (next < now) next = now;
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
            pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
            poll(&descriptor, 1, int(wait));
        } else {
            pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
            poll(&descriptor, 1, -1);
        }
    }
}
