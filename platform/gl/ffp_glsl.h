// GLSL 3.30 source for the vertex and fragment shaders that reproduce one
// fixed-function pipeline (an FfpKey): transform or pre-transformed placement,
// per-vertex lighting in camera space, texture-coordinate generation and
// transforms, the texture-stage cascade, specular add, fog and alpha test.
//
// Pure functions of the key: no GL calls, so the text can be inspected in unit
// tests. Every rendering target is stored with the platform's top row at GL row 0
// (render-to-texture then samples like a file texture), so the shaders always
// negate clip y; the depth mapping z' = 2z - w stands in for a [0, 1] clip range.
#pragma once

#include <string>

#include "platform/gl/ffp_state.h"

namespace platform::gl {

// Vertex attribute locations.
constexpr int kAttribPosition = 0;
constexpr int kAttribNormal = 1;
constexpr int kAttribDiffuse = 2;
constexpr int kAttribSpecular = 3;
constexpr int kAttribTexture0 = 4;  // + set index, up to 8 sets

std::string GenerateVertexShader(const FfpKey& key);
std::string GenerateFragmentShader(const FfpKey& key);

}  // namespace platform::gl
