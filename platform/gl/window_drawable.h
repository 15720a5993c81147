// The size of the window framebuffer a GL context draws into, asked of the GL
// platform (EGL or GLX) rather than of SDL.
//
// SDL's idea of a window's size can be wrong: on X11 with no window manager a
// full-screen request reports the desktop's size while the X window keeps its
// own, and the same happens when a window manager refuses or undoes a resize.
// Presenting has to letterbox into the drawable as it really is.
#pragma once

namespace platform::gl {

// Width and height in pixels of the drawable of the GL context current on this
// thread, which must be the context of sdlWindow (an SDL_Window*). Falls back to
// SDL_GL_GetDrawableSize when the GL platform does not answer.
void CurrentDrawableSize(void* sdlWindow, int* width, int* height);

}  // namespace platform::gl
