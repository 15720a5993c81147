// Shadowed GL state (see gl_state_cache.h).
#include "platform/gl/gl_state_cache.h"

#include <cstring>

namespace platform::gl {

void GlStateCache::Reset() {
    for (auto& e : enabled_) e = -1;
    blendSource_ = blendDestination_ = 0;
    depthFunc_ = 0;
    depthMask_ = -1;
    frontFace_ = 0;
    polygonMode_ = 0;
    colorMask_ = -1;
    for (int& v : viewport_) v = -1;
    depthRange_[0] = depthRange_[1] = -1;
    for (int& v : scissor_) v = -1;
    for (float& v : clearColor_) v = -1;
    clearDepth_ = -1;
    program_ = ~0u;
    drawFramebuffer_ = ~0u;
    activeUnit_ = -1;
    for (int i = 0; i < kUnits; ++i) textures_[i] = samplers_[i] = ~0u;
    arrayBuffer_ = elementBuffer_ = vertexArray_ = ~0u;
}

int GlStateCache::CapIndex(GLenum cap) const {
    switch (cap) {
        case GL_BLEND: return 0;
        case GL_DEPTH_TEST: return 1;
        case GL_CULL_FACE: return 2;
        case GL_DITHER: return 3;
        case GL_SCISSOR_TEST: return 4;
        default: return 5;  // GL_DEPTH_CLAMP
    }
}

void GlStateCache::Enable(GLenum cap, bool on) {
    int8_t& e = enabled_[CapIndex(cap)];
    if (e == int8_t(on)) return;
    e = int8_t(on);
    on ? glEnable(cap) : glDisable(cap);
    ++changes;
}

void GlStateCache::BlendFunc(GLenum source, GLenum destination) {
    if (blendSource_ == source && blendDestination_ == destination) return;
    blendSource_ = source;
    blendDestination_ = destination;
    glBlendFunc(source, destination);
    ++changes;
}

void GlStateCache::DepthFunc(GLenum func) {
    if (depthFunc_ == func) return;
    depthFunc_ = func;
    glDepthFunc(func);
    ++changes;
}

void GlStateCache::DepthMask(bool write) {
    if (depthMask_ == int8_t(write)) return;
    depthMask_ = int8_t(write);
    glDepthMask(write ? GL_TRUE : GL_FALSE);
    ++changes;
}

void GlStateCache::FrontFace(GLenum face) {
    if (frontFace_ == face) return;
    frontFace_ = face;
    glFrontFace(face);
    ++changes;
}

void GlStateCache::PolygonMode(GLenum mode) {
    if (polygonMode_ == mode) return;
    polygonMode_ = mode;
    glPolygonMode(GL_FRONT_AND_BACK, mode);
    ++changes;
}

void GlStateCache::ColorMask(bool r, bool g, bool b, bool a) {
    const int mask = r | g << 1 | b << 2 | a << 3;
    if (colorMask_ == mask) return;
    colorMask_ = mask;
    glColorMask(r, g, b, a);
    ++changes;
}

void GlStateCache::Viewport(int x, int y, int width, int height) {
    const int v[4] = {x, y, width, height};
    if (std::memcmp(v, viewport_, sizeof v) == 0) return;
    std::memcpy(viewport_, v, sizeof v);
    glViewport(x, y, width, height);
    ++changes;
}

void GlStateCache::DepthRange(float nearZ, float farZ) {
    if (depthRange_[0] == nearZ && depthRange_[1] == farZ) return;
    depthRange_[0] = nearZ;
    depthRange_[1] = farZ;
    glDepthRange(nearZ, farZ);
    ++changes;
}

void GlStateCache::Scissor(int x, int y, int width, int height) {
    const int v[4] = {x, y, width, height};
    if (std::memcmp(v, scissor_, sizeof v) == 0) return;
    std::memcpy(scissor_, v, sizeof v);
    glScissor(x, y, width, height);
    ++changes;
}

void GlStateCache::ClearColor(float r, float g, float b, float a) {
    const float v[4] = {r, g, b, a};
    if (std::memcmp(v, clearColor_, sizeof v) == 0) return;
    std::memcpy(clearColor_, v, sizeof v);
    glClearColor(r, g, b, a);
    ++changes;
}

void GlStateCache::ClearDepth(float depth) {
    if (clearDepth_ == depth) return;
    clearDepth_ = depth;
    glClearDepth(depth);
    ++changes;
}

void GlStateCache::UseProgram(GLuint program) {
    if (program_ == program) return;
    program_ = program;
    glUseProgram(program);
    ++changes;
    ++programSwitches;
}

void GlStateCache::BindDrawFramebuffer(GLuint framebuffer) {
    if (drawFramebuffer_ == framebuffer) return;
    drawFramebuffer_ = framebuffer;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    ++changes;
}

void GlStateCache::ActiveTexture(int unit) {
    if (activeUnit_ == unit) return;
    activeUnit_ = unit;
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    ++changes;
}

void GlStateCache::BindTexture(int unit, GLuint texture) {
    if (textures_[unit] == texture) return;
    ActiveTexture(unit);
    textures_[unit] = texture;
    glBindTexture(GL_TEXTURE_2D, texture);
    ++changes;
    ++textureBinds;
}

void GlStateCache::BindSampler(int unit, GLuint sampler) {
    if (samplers_[unit] == sampler) return;
    samplers_[unit] = sampler;
    glBindSampler(GLuint(unit), sampler);
    ++changes;
}

void GlStateCache::BindArrayBuffer(GLuint buffer) {
    if (arrayBuffer_ == buffer) return;
    arrayBuffer_ = buffer;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    ++changes;
}

void GlStateCache::BindElementBuffer(GLuint buffer) {
    if (elementBuffer_ == buffer) return;
    elementBuffer_ = buffer;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
    ++changes;
}

void GlStateCache::BindVertexArray(GLuint vao) {
    if (vertexArray_ == vao) return;
    vertexArray_ = vao;
    elementBuffer_ = ~0u;  // element binding belongs to the vertex array
    glBindVertexArray(vao);
    ++changes;
}

void GlStateCache::Forget(GLuint texture, GLuint buffer) {
    for (int i = 0; i < kUnits; ++i)
        if (texture && textures_[i] == texture) textures_[i] = ~0u;
    if (buffer && arrayBuffer_ == buffer) arrayBuffer_ = ~0u;
    if (buffer && elementBuffer_ == buffer) elementBuffer_ = ~0u;
}

}  // namespace platform::gl
