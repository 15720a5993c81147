// Texture naming, surface ownership and binding; the image readers sit behind
// LoadTextureImage (texture_loader.h).
#include "engine/render/texture.h"

#include "engine/render/context.h"
#include "engine/render/texture_loader.h"
#include "engine/render/render_world.h"
#include "platform/report.h"
#include "platform/strings.h"

namespace ZK3D {

Texture::Texture(const char* name) : Node(name, ZKNODE_TEXTURE) { LogMessage("[Tex] Creating Texture \"%s\"", name); }

void Texture::AdoptSurface(IDirectDrawSurface7* surface) {
    // Handing in the surface already held keeps the one reference.
    if (surface != surface_.get()) surface_.reset(surface);
}

void Texture::SetBitmap(const char* fileName) {
    bitmap_.reset();
    AdoptSurface(nullptr);
    LogMessage("[Tex] \"%s\" - Set bitmap \"%s\"", name(), fileName);
    bitmap_.reset(DuplicateString(fileName));
    load();
}

void Texture::compile() {
    LogMessage("[Tex] Compiles Texture \"%s\"", name());
    if (bitmap_ && !surface_) load();
}

void Texture::load() {
    if (!bitmap_) return;
    IDirectDrawSurface7* loaded = nullptr;
    LoadTextureImage(CurrentContext(), name(), bitmap_.get(), &loaded);
    AdoptSurface(loaded);
}

void Texture::Bind(DWORD stage, const Texture* texture) {
    Context* context = CurrentContext();
    if (!context || !context->device()) return;
    context->device()->SetTexture(stage, texture ? texture->surface_.get() : nullptr);
}

}  // namespace ZK3D
