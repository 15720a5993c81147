// Kept apart from the rest of the device: the GLX header brings in Xlib, whose
// macros (None, Always, Status, ...) must not meet the Direct3D declarations.
#include "platform/gl/window_drawable.h"

#include <SDL.h>
#include <epoxy/egl.h>
#include <epoxy/glx.h>

#include <cstring>

namespace platform::gl {

namespace {

bool EglDrawableSize(int* width, int* height) {
    if (eglGetCurrentContext() == EGL_NO_CONTEXT) return false;
    const EGLSurface surface = eglGetCurrentSurface(EGL_DRAW);
    EGLint w = 0, h = 0;
    if (surface == EGL_NO_SURFACE || !eglQuerySurface(eglGetCurrentDisplay(), surface, EGL_WIDTH, &w) ||
        !eglQuerySurface(eglGetCurrentDisplay(), surface, EGL_HEIGHT, &h) || w <= 0 || h <= 0)
        return false;
    *width = w;
    *height = h;
    return true;
}

bool GlxDrawableSize(int* width, int* height) {
    // Only where SDL draws through X11: elsewhere the GLX library may be missing.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") != 0 || !glXGetCurrentContext()) return false;
    Display* display = glXGetCurrentDisplay();
    const GLXDrawable drawable = glXGetCurrentDrawable();
    if (!display || !drawable) return false;
    unsigned int w = 0, h = 0;
    glXQueryDrawable(display, drawable, GLX_WIDTH, &w);
    glXQueryDrawable(display, drawable, GLX_HEIGHT, &h);
    if (w == 0 || h == 0) return false;
    *width = int(w);
    *height = int(h);
    return true;
}

}  // namespace

void CurrentDrawableSize(void* sdlWindow, int* width, int* height) {
    if (EglDrawableSize(width, height) || GlxDrawableSize(width, height)) return;
    SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(sdlWindow), width, height);
}

}  // namespace platform::gl
