// The demo window, its events, the keyboard state and the other small services
// of the operating system the program uses (tick count, message boxes).
//
// Built on SDL2, which only platform/ sees. Without a display there is no window;
// the program then runs headless and the device draws offscreen.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Virtual-key codes of the keys the program looks at, with the platform's values.
enum VirtualKey : int {
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,  // Page Up
    VK_NEXT = 0x22,   // Page Down
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_F1 = 0x70,
};

enum class EventKind {
    KeyDown,      // a key went down while the window had the focus
    CloseWindow,  // the user asked to close the window
    Quit,         // the process was asked to quit (end at once)
    Other,
};

struct Event {
    EventKind kind = EventKind::Other;
    int key = 0;  // VirtualKey for KeyDown, 0 for keys the program does not name
};

struct WindowDesc {
    std::string title;
    int width = 640;   // client area
    int height = 480;
    bool fullscreen = false;  // full screen on the desktop mode
};

class Window {
public:
    // Creates a centred, resizable window; nullptr (with the reason in *error) when no window
    // can be made, for example without a display.
    static std::unique_ptr<Window> Create(const WindowDesc& desc, std::string* error);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Takes the next pending event; false when none is waiting.
    bool PollEvent(Event* event);
    // Covers the window's display, with or without a window manager; back to
    // windowed, the window takes its first size again, centred.
    void SetFullscreen(bool fullscreen);
    bool Fullscreen() const { return fullscreen_; }
    // Size of the drawable area in pixels (the window may be larger than 640 x 480).
    void DrawableSize(int* width, int* height) const;
    // Refresh rate in Hz of the display the window is on (60 when it cannot be told).
    int RefreshRate() const;
    // The SDL window, for the graphics device in platform/gl.
    void* NativeHandle() const { return window_; }

private:
    Window(void* window, int width, int height) : window_(window), windowedWidth_(width), windowedHeight_(height) {}
    void* window_;
    int windowedWidth_, windowedHeight_;
    bool fullscreen_ = false;
};

// True when a display is available for windows.
bool HasDisplay();
// Starts and stops the video and event subsystems (counted; safe to nest).
bool VideoInit(std::string* error);
void VideoQuit();
// The size of the first display's desktop mode in pixels; false when there is
// no display to ask.
bool DesktopSize(int* width, int* height);

// Whether the key is held now (the high bit of the platform's asynchronous key
// state). Keys can be injected for tests and scripted runs with SetKeyOverride.
bool KeyHeld(int virtualKey);
// Forces a key's state (held or not) until cleared with ClearKeyOverrides.
void SetKeyOverride(int virtualKey, bool held);
void ClearKeyOverrides();

void ShowCursor(bool show);

// Milliseconds since an arbitrary start, wrapping at 2^32 like the platform's tick count.
uint32_t TickCount();

// A modal message box with an OK button, owned by the window (null: no owner).
void MessageBox(Window* owner, const char* caption, const char* text);

}  // namespace platform
