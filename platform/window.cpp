#include "platform/window.h"

#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "platform/report.h"

namespace platform {

namespace {

std::mutex g_videoMutex;
int g_videoUsers = 0;

std::mutex g_keyMutex;
std::unordered_map<int, bool> g_keyOverrides;

SDL_Scancode ScancodeOf(int virtualKey) {
    switch (virtualKey) {
        case VK_ESCAPE: return SDL_SCANCODE_ESCAPE;
        case VK_LEFT: return SDL_SCANCODE_LEFT;
        case VK_UP: return SDL_SCANCODE_UP;
        case VK_RIGHT: return SDL_SCANCODE_RIGHT;
        case VK_DOWN: return SDL_SCANCODE_DOWN;
        case VK_INSERT: return SDL_SCANCODE_INSERT;
        case VK_SPACE: return SDL_SCANCODE_SPACE;
        case VK_PRIOR: return SDL_SCANCODE_PAGEUP;
        case VK_NEXT: return SDL_SCANCODE_PAGEDOWN;
        case VK_HOME: return SDL_SCANCODE_HOME;
        case VK_F1: return SDL_SCANCODE_F1;
        default: return SDL_SCANCODE_UNKNOWN;
    }
}

int VirtualKeyOf(SDL_Keycode key) {
    switch (key) {
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_UP: return VK_UP;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_DOWN: return VK_DOWN;
        case SDLK_INSERT: return VK_INSERT;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_PAGEUP: return VK_PRIOR;
        case SDLK_PAGEDOWN: return VK_NEXT;
        case SDLK_HOME: return VK_HOME;
        case SDLK_F1: return VK_F1;
        default: return 0;
    }
}

}  // namespace

bool HasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

bool VideoInit(std::string* error) {
    std::lock_guard lock(g_videoMutex);
    if (g_videoUsers == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        if (error) *error = SDL_GetError();
        return false;
    }
    ++g_videoUsers;
    return true;
}

void VideoQuit() {
    std::lock_guard lock(g_videoMutex);
    if (g_videoUsers > 0 && --g_videoUsers == 0) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

bool DesktopSize(int* width, int* height) {
    if (!HasDisplay() || !VideoInit(nullptr)) return false;
    SDL_DisplayMode mode{};
    const bool known = SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0;
    VideoQuit();
    if (!known) return false;
    *width = mode.w;
    *height = mode.h;
    return true;
}

std::unique_ptr<Window> Window::Create(const WindowDesc& desc, std::string* error) {
    if (!HasDisplay()) {
        if (error) *error = "no display";
        return nullptr;
    }
    if (!VideoInit(error)) return nullptr;
    // Made windowed and then switched: on X11 with no window manager a window
    // created full screen keeps its requested size. Resizable, because the device
    // scales its back buffer into whatever drawable the window has each frame.
    SDL_Window* w =
        SDL_CreateWindow(desc.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, desc.width, desc.height,
                         SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE);
    if (!w) {
        if (error) *error = SDL_GetError();
        VideoQuit();
        return nullptr;
    }
    std::unique_ptr<Window> window(new Window(w, desc.width, desc.height));
    if (desc.fullscreen) window->SetFullscreen(true);
    SDL_RaiseWindow(w);
    return window;
}

Window::~Window() {
    SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
    VideoQuit();
}

bool Window::PollEvent(Event* event) {
    SDL_Event e;
    if (!SDL_PollEvent(&e)) return false;
    *event = Event{};
    switch (e.type) {
        case SDL_QUIT:
            event->kind = EventKind::Quit;
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) event->kind = EventKind::CloseWindow;
            break;
        case SDL_KEYDOWN:
            event->kind = EventKind::KeyDown;
            event->key = VirtualKeyOf(e.key.keysym.sym);
            break;
        default:
            break;
    }
    return true;
}

void Window::SetFullscreen(bool fullscreen) {
    if (fullscreen == fullscreen_) return;
    auto* w = static_cast<SDL_Window*>(window_);
    if (fullscreen) {
        // Full screen on the desktop mode is a request to the window manager. With
        // none (a bare X server, a kiosk) the window would keep its size while SDL
        // reports the desktop's; covering the display first makes it true anyway.
        SDL_Rect bounds;
        const int display = SDL_GetWindowDisplayIndex(w);
        if (display >= 0 && SDL_GetDisplayBounds(display, &bounds) == 0) {
            SDL_SetWindowPosition(w, bounds.x, bounds.y);
            SDL_SetWindowSize(w, bounds.w, bounds.h);
        }
        if (SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            LogMessage("[GL] Cannot go full screen: %s", SDL_GetError());
    } else {
        SDL_SetWindowFullscreen(w, 0);
        SDL_SetWindowSize(w, windowedWidth_, windowedHeight_);
        SDL_SetWindowPosition(w, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    fullscreen_ = fullscreen;
}

void Window::DrawableSize(int* width, int* height) const {
    SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(window_), width, height);
}

int Window::RefreshRate() const {
    // The mode of the display the window is on now: it may have been moved.
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(static_cast<SDL_Window*>(window_));
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0 || mode.refresh_rate <= 0) return 60;
    return mode.refresh_rate;
}

bool KeyHeld(int virtualKey) {
    {
        std::lock_guard lock(g_keyMutex);
        const auto it = g_keyOverrides.find(virtualKey);
        if (it != g_keyOverrides.end()) return it->second;
    }
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    const SDL_Scancode code = ScancodeOf(virtualKey);
    if (code == SDL_SCANCODE_UNKNOWN) return false;
    // The main loop drains the event queue before every frame, which keeps this current.
    const Uint8* state = SDL_GetKeyboardState(nullptr);
    return state && state[code];
}

void SetKeyOverride(int virtualKey, bool held) {
    std::lock_guard lock(g_keyMutex);
    g_keyOverrides[virtualKey] = held;
}

void ClearKeyOverrides() {
    std::lock_guard lock(g_keyMutex);
    g_keyOverrides.clear();
}

void ShowCursor(bool show) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

uint32_t TickCount() { return static_cast<uint32_t>(SDL_GetTicks64()); }

void MessageBox(Window* owner, const char* caption, const char* text) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text,
                             owner ? static_cast<SDL_Window*>(owner->NativeHandle()) : nullptr);
}

}  // namespace platform
