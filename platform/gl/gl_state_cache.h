// A shadow of the GL state the device sets: each setter compares with the value
// last sent and issues the GL call only when it differs, counting the calls it
// does issue. Reset() forgets everything (after someone else touched GL).
//
// Only the draw framebuffer binding is tracked; code that reads pixels binds
// GL_READ_FRAMEBUFFER itself and nothing relies on that binding staying put.
// Pixel-store parameters are not tracked either: every upload and read-back sets
// the ones it needs.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>

namespace platform::gl {

class GlStateCache {
public:
    static constexpr int kUnits = 16;  // texture units tracked; stages use 0..7, uploads kUploadUnit
    static constexpr int kUploadUnit = 15;

    void Reset();

    void Enable(GLenum cap, bool on);  // GL_BLEND, GL_DEPTH_TEST, GL_CULL_FACE, GL_DITHER, GL_SCISSOR_TEST, GL_DEPTH_CLAMP
    void BlendFunc(GLenum source, GLenum destination);
    void DepthFunc(GLenum func);
    void DepthMask(bool write);
    void FrontFace(GLenum face);
    void PolygonMode(GLenum mode);
    void ColorMask(bool r, bool g, bool b, bool a);
    void Viewport(int x, int y, int width, int height);
    void DepthRange(float nearZ, float farZ);
    void Scissor(int x, int y, int width, int height);
    void ClearColor(float r, float g, float b, float a);
    void ClearDepth(float depth);
    void UseProgram(GLuint program);
    void BindDrawFramebuffer(GLuint framebuffer);
    void ActiveTexture(int unit);
    void BindTexture(int unit, GLuint texture);  // GL_TEXTURE_2D
    void BindSampler(int unit, GLuint sampler);
    void BindArrayBuffer(GLuint buffer);
    void BindElementBuffer(GLuint buffer);  // part of the bound vertex array
    void BindVertexArray(GLuint vao);

    // A deleted texture, buffer or framebuffer no longer counts as bound.
    void Forget(GLuint texture, GLuint buffer);
    void ForgetFramebuffer(GLuint framebuffer) {
        if (framebuffer && drawFramebuffer_ == framebuffer) drawFramebuffer_ = ~0u;
    }

    uint64_t changes = 0;          // GL state calls issued
    uint64_t textureBinds = 0;     // of those, texture bindings
    uint64_t programSwitches = 0;  // of those, program changes

private:
    static constexpr int kCaps = 6;
    int CapIndex(GLenum cap) const;

    int8_t enabled_[kCaps] = {-1, -1, -1, -1, -1, -1};
    GLenum blendSource_ = 0, blendDestination_ = 0;
    GLenum depthFunc_ = 0;
    int8_t depthMask_ = -1;
    GLenum frontFace_ = 0;
    GLenum polygonMode_ = 0;
    int colorMask_ = -1;
    int viewport_[4] = {-1, -1, -1, -1};
    float depthRange_[2] = {-1, -1};
    int scissor_[4] = {-1, -1, -1, -1};
    float clearColor_[4] = {-1, -1, -1, -1};
    float clearDepth_ = -1;
    GLuint program_ = ~0u;
    GLuint drawFramebuffer_ = ~0u;
    int activeUnit_ = -1;
    GLuint textures_[kUnits];
    GLuint samplers_[kUnits];
    GLuint arrayBuffer_ = ~0u;
    GLuint elementBuffer_ = ~0u;
    GLuint vertexArray_ = ~0u;

public:
    GlStateCache() { Reset(); }
};

}  // namespace platform::gl
