// The size the show is rendered at, apart from the 640 x 480 the engine draws in.
//
// The engine keeps its logical space: viewports, screen-space vertices, surface
// sizes and depth read-back are all in logical pixels. The GL device maps them
// onto a back buffer of any size (and every render target by the same factor),
// optionally multisampled, so the same show renders sharper, not different.
//
// Works only on the contexts platform/gl makes; for any other context the calls
// do nothing and return false. Includes no GL header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3dx.h"

namespace platform {

struct RenderResolution {
    // The back buffer in pixels; 0 x 0 keeps the logical size. A size that is not
    // 4:3 holds the largest 4:3 rectangle that fits in it.
    int width = 0, height = 0;
    // Follows the window's drawable size (4:3 letterboxed inside it), also after
    // a resize or a change of full-screen state. Offscreen it keeps width x height.
    bool native = false;
    // Samples per pixel of the back buffer: 1 (none), 2, 4 or 8; resolved before
    // presenting and before any read-back.
    int samples = 1;
};

// The largest side CreateSurface makes, and so the largest back buffer.
constexpr int kMaxRenderSide = 8192;

// Reads "WxH" (each side 1 .. kMaxRenderSide) or "native"; false with a
// one-line reason in *error otherwise.
bool ParseResolution(const std::string& text, RenderResolution* out, std::string* error);

// Sets the context's rendering resolution and multisampling; the back buffer and
// every render target take their new size when next drawn into. False for a
// context not made by platform/gl or a resolution outside the limits above
// (nothing changes then), and when the driver gives fewer samples than asked
// (the back buffer then takes as many as it gives).
bool SetRenderResolution(ID3DXContext* context, const RenderResolution& resolution);

// The back buffer's size in pixels (not the logical size GetSurfaceDesc reports).
bool RenderedSize(ID3DXContext* context, int* width, int* height);

// The back buffer at its full size (resolved when multisampled) as ARGB
// (0xAARRGGBB), top row first.
bool ReadRenderedFrame(ID3DXContext* context, std::vector<uint32_t>* pixels, int* width, int* height);

// For a context on a window: whether the last request for a swap interval (vsync
// on or off) was accepted by the driver. An accepted interval may still not be
// honoured (a virtual display presents at once); callers that pace frames
// measure as well. False for offscreen contexts.
bool SwapIntervalAccepted(ID3DXContext* context);

}  // namespace platform
