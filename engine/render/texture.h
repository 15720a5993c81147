// A texture: a named image file (its bitmap) and the device surface made from it.
// Scene files, the font and the effects name textures; the world keeps them in
// one list and GetTexture reuses a texture it already has.
//
// Not here: the image readers. Loading goes through LoadTextureImage
// (texture_loader.h): JPEG, DDS and, for other formats, the utility library.
// Gotcha: a texture without a surface unbinds its stage when bound; nothing
// stands in for a missing image.
#pragma once

#include <memory>

#include "engine/core/node.h"
#include "platform/d3d7.h"
#include "platform/ref_ptr.h"

namespace ZK3D {

class Texture : public Node {
public:
    explicit Texture(const char* name);

    // Replaces the file name (releasing the old surface) and loads it at once.
    void SetBitmap(const char* fileName);
    // Loads the bitmap when there is one and no surface yet.
    void compile() override;
    // Binds the texture's surface on the stage, or no texture.
    static void Bind(DWORD stage, const Texture* texture);

    const char* bitmap() const { return bitmap_.get(); }
    IDirectDrawSurface7* surface() const { return surface_.get(); }
    // Takes over a surface (its reference), releasing the one held before.
    void AdoptSurface(IDirectDrawSurface7* surface);

private:
    void load();

    std::unique_ptr<char[]> bitmap_;
    platform::RefPtr<IDirectDrawSurface7> surface_;
};

}  // namespace ZK3D
