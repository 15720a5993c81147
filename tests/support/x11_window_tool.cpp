// A small X11 helper for the smoke tests under Xvfb: waits for a top-level
// window with a given title, optionally saves its picture (or, with --screen,
// the whole screen's) as PNG, and optionally sends it an Escape key press, the
// way a user would end the demo.
//
//   x11_window_tool --title Velmoor [--wait SECONDS] [--settle SECONDS]
//                   [--screenshot FILE.png] [--screen] [--escape]
// Exit codes: 0 done, 1 no such window in time, 2 bad arguments.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/frame_capture.h"

namespace {

Window FindWindow(Display* display, Window root, const std::string& title) {
    Window parent = 0, rootReturn = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    char* name = nullptr;
    if (XFetchName(display, root, &name) && name) {
        const bool match = title == name;
        XFree(name);
        if (match) return root;
    }
    Window found = 0;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !found; ++i) found = FindWindow(display, children[i], title);
        if (children) XFree(children);
    }
    return found;
}

bool SavePicture(Display* display, Window window, const std::string& path) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return false;
    XImage* picture = XGetImage(display, window, 0, 0, unsigned(attributes.width), unsigned(attributes.height),
                                AllPlanes, ZPixmap);
    if (!picture) return false;
    std::vector<uint8_t> rgb(size_t(attributes.width) * size_t(attributes.height) * 3);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long p = XGetPixel(picture, x, y);
            uint8_t* out = &rgb[(size_t(y) * size_t(attributes.width) + size_t(x)) * 3];
            out[0] = uint8_t((p & picture->red_mask) >> __builtin_ctzl(picture->red_mask));
            out[1] = uint8_t((p & picture->green_mask) >> __builtin_ctzl(picture->green_mask));
            out[2] = uint8_t((p & picture->blue_mask) >> __builtin_ctzl(picture->blue_mask));
        }
    XDestroyImage(picture);
    return platform::WritePng(path, rgb, attributes.width, attributes.height);
}

void SendEscape(Display* display, Window window) {
    for (int type : {KeyPress, KeyRelease}) {
        XKeyEvent key{};
        key.type = type;
        key.display = display;
        key.window = window;
        key.root = DefaultRootWindow(display);
        key.time = CurrentTime;
        key.same_screen = True;
        key.keycode = XKeysymToKeycode(display, XK_Escape);
        XSendEvent(display, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask,
                   reinterpret_cast<XEvent*>(&key));
    }
    XFlush(display);
}

}  // namespace

int main(int argc, char** argv) {
    std::string title, screenshot;
    double wait = 10, settle = 1;
    bool escape = false, screen = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--title" && i + 1 < argc)
            title = argv[++i];
        else if (a == "--wait" && i + 1 < argc)
            wait = std::atof(argv[++i]);
        else if (a == "--settle" && i + 1 < argc)
            settle = std::atof(argv[++i]);
        else if (a == "--screenshot" && i + 1 < argc)
            screenshot = argv[++i];
        else if (a == "--escape")
            escape = true;
        else if (a == "--screen")
            screen = true;
        else {
            std::fprintf(stderr,
                         "usage: x11_window_tool --title T [--wait S] [--settle S] [--screenshot F] [--screen] "
                         "[--escape]\n");
            return 2;
        }
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display || title.empty()) return 2;
    Window window = 0;
    for (double waited = 0; !window && waited < wait; waited += 0.1) {
        window = FindWindow(display, DefaultRootWindow(display), title);
        if (!window) usleep(100000);
    }
    if (!window) {
        std::fprintf(stderr, "x11_window_tool: no window \"%s\"\n", title.c_str());
        XCloseDisplay(display);
        return 1;
    }
    usleep(useconds_t(settle * 1e6));  // let the demo draw a few frames
    int code = 0;
    if (!screenshot.empty() && !SavePicture(display, screen ? DefaultRootWindow(display) : window, screenshot))
        code = 1;
    if (escape) SendEscape(display, window);
    XCloseDisplay(display);
    return code;
}
