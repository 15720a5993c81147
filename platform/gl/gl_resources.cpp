// Surfaces, vertex buffers and their creators (see gl_resources.h).
#include "platform/gl/gl_resources.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace platform::gl {

namespace {

constexpr DWORD kMaxVertices = 1u << 20;
constexpr size_t kMaxVertexBytes = size_t(64) << 20;
constexpr DWORD kCaps2MipSubLevel = 0x10000;

struct GlFormat {
    GLenum internal, format, type;
    bool compressed;
};

// How a plain texture of the format goes to GL; DXT falls back to decoded 8-bit
// RGBA when the S3TC extension is missing.
GlFormat GlFormatOf(Format f, bool s3tc) {
    switch (f) {
        case Format::X1R5G5B5:
        case Format::A1R5G5B5: return {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false};
        case Format::A4R4G4B4: return {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false};
        case Format::R5G6B5: return {GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, false};
        case Format::DXT1:
            if (s3tc) return {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, true};
            break;
        case Format::DXT2:
        case Format::DXT3:
            if (s3tc) return {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, true};
            break;
        case Format::DXT4:
        case Format::DXT5:
            if (s3tc) return {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, true};
            break;
        default: break;
    }
    return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false};
}

// Sends one level of a plain texture (the texture is bound on the upload unit).
void UploadLevel(Format format, bool s3tc, int level, const SurfaceStorage::Level& l, bool allocate) {
    const GlFormat gf = GlFormatOf(format, s3tc);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    if (gf.compressed) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        const auto size = GLsizei(l.bytes.size());
        if (allocate)
            glCompressedTexImage2D(GL_TEXTURE_2D, level, gf.internal, l.width, l.height, 0, size, l.bytes.data());
        else
            glCompressedTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, l.width, l.height, gf.internal, size,
                                      l.bytes.data());
        return;
    }
    const void* data = l.bytes.data();
    std::vector<uint32_t> decoded;
    if (IsCompressed(format)) {  // no S3TC: decode on the CPU
        decoded.resize(size_t(l.width) * size_t(l.height));
        DecodeLevel(format, l.bytes.data(), l.pitch, l.width, l.height, decoded.data());
        data = decoded.data();
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    } else {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(l.pitch / size_t(BytesPerUnit(format))));
    }
    if (allocate)
        glTexImage2D(GL_TEXTURE_2D, level, GLint(gf.internal), l.width, l.height, 0, gf.format, gf.type, data);
    else
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, l.width, l.height, gf.format, gf.type, data);
}

// Render targets keep 8-bit RGBA in GL whatever their format; their CPU level
// converts on the way in and out. Formats without alpha go in with alpha 1. A
// target whose GL size differs from its logical one takes the CPU picture
// enlarged (or reduced) texel for texel.
void UploadRenderTarget(Format format, const SurfaceStorage::Level& l, int glWidth, int glHeight, bool allocate) {
    std::vector<uint32_t> argb(size_t(l.width) * size_t(l.height));
    DecodeLevel(format, l.bytes.data(), l.pitch, l.width, l.height, argb.data());
    if (glWidth != l.width || glHeight != l.height) {
        std::vector<uint32_t> scaled(size_t(glWidth) * size_t(glHeight));
        ScaleArgb(argb.data(), l.width, l.height, scaled.data(), glWidth, glHeight, false);
        argb.swap(scaled);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    if (allocate)
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, glWidth, glHeight, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     argb.data());
    else
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, glWidth, glHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, argb.data());
}

GLint DepthInternalFormat(Format format) {
    return format == Format::Depth16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24;
}

void UploadDepth(Format format, const SurfaceStorage::Level& l, int glWidth, int glHeight, bool allocate) {
    const DWORD mask = DepthMask(format);
    const int bytes = BytesPerUnit(format);
    std::vector<float> depth(size_t(glWidth) * size_t(glHeight));
    for (int y = 0; y < glHeight; ++y) {
        const int sy = std::min(l.height - 1, int((y + 0.5) * l.height / glHeight));
        const uint8_t* row = l.bytes.data() + size_t(sy) * l.pitch;
        for (int x = 0; x < glWidth; ++x) {
            const int sx = std::min(l.width - 1, int((x + 0.5) * l.width / glWidth));
            uint32_t word = 0;
            std::memcpy(&word, row + sx * bytes, size_t(bytes));
            depth[size_t(y) * size_t(glWidth) + size_t(x)] = float(double(word & mask) / double(mask));
        }
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (allocate)
        glTexImage2D(GL_TEXTURE_2D, 0, DepthInternalFormat(format), glWidth, glHeight, 0, GL_DEPTH_COMPONENT, GL_FLOAT,
                     depth.data());
    else
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, glWidth, glHeight, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
}

// One GL pixel a logical pixel reads, with its share of the logical pixel's area.
struct Tap {
    int index;
    double weight;
};

// For the logical pixels first .. first + count - 1 of an axis on which one
// logical pixel spans `scale` GL pixels (of `limit`): the GL pixels each one
// covers, weighted by how much of it they cover.
std::vector<std::vector<Tap>> AreaTaps(int first, int count, double scale, int limit) {
    std::vector<std::vector<Tap>> taps(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double a = std::clamp((first + i) * scale, 0.0, double(limit));
        const double b = std::clamp((first + i + 1) * scale, 0.0, double(limit));
        auto& t = taps[size_t(i)];
        double total = 0;
        for (int k = int(a); k < limit && k < b; ++k) {
            const double overlap = std::min(b, k + 1.0) - std::max(a, double(k));
            if (overlap > 1e-9) {
                t.push_back({k, overlap});
                total += overlap;
            }
        }
        if (t.empty()) {
            t.push_back({std::clamp(int(a), 0, limit - 1), 1.0});
            total = 1;
        }
        for (Tap& tap : t) tap.weight /= total;
    }
    return taps;
}

// The GL pixel under the centre of each logical pixel first .. first + count - 1.
std::vector<int> CentreTaps(int first, int count, double scale, int limit) {
    std::vector<int> taps(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) taps[size_t(i)] = std::clamp(int((first + i + 0.5) * scale), 0, limit - 1);
    return taps;
}

bool ValidRect(const RECT& r, int width, int height) {
    return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height && r.left < r.right && r.top < r.bottom;
}

}  // namespace

int ScaledSide(int side, double scale) { return std::clamp(int(std::lround(side * scale)), 1, kMaxSurfaceSide); }

// ---------------------------------------------------------------- ResourceHub

void ResourceHub::RetireTexture(GLuint name) {
    std::lock_guard lock(mutex_);
    if (name && !contextLost_) retired_.textures.push_back(name);
}

void ResourceHub::RetireBuffer(GLuint name) {
    std::lock_guard lock(mutex_);
    if (name && !contextLost_) retired_.buffers.push_back(name);
}

void ResourceHub::RetireFramebuffer(GLuint name) {
    std::lock_guard lock(mutex_);
    if (name && !contextLost_) retired_.framebuffers.push_back(name);
}

void ResourceHub::RetireRenderbuffer(GLuint name) {
    std::lock_guard lock(mutex_);
    if (name && !contextLost_) retired_.renderbuffers.push_back(name);
}

void ResourceHub::SetRenderScale(double x, double y, int samples) {
    std::lock_guard lock(mutex_);
    if (x == scale_.x && y == scale_.y && samples == scale_.samples) return;
    scale_.x = x;
    scale_.y = y;
    scale_.samples = samples;
    scaleGeneration_.store(++scale_.generation, std::memory_order_release);
}

ResourceHub::RenderScale ResourceHub::Scale() {
    std::lock_guard lock(mutex_);
    return scale_;
}

ResourceHub::Retired ResourceHub::TakeRetired() {
    std::lock_guard lock(mutex_);
    Retired out;
    std::swap(out, retired_);
    return out;
}

void ResourceHub::MarkContextLost() {
    std::lock_guard lock(mutex_);
    contextLost_ = true;
    retired_ = {};
}

bool ResourceHub::ContextLost() {
    std::lock_guard lock(mutex_);
    return contextLost_;
}

bool ResourceHub::MakeCurrent() {
    std::lock_guard lock(mutex_);
    return !contextLost_ && makeCurrent_ && makeCurrent_();
}

// ---------------------------------------------------------------- SurfaceStorage

SurfaceStorage::SurfaceStorage(std::shared_ptr<ResourceHub> h, SurfaceKind k, Format f, DWORD c)
    : hub(std::move(h)), kind(k), format(f), caps(c) {}

SurfaceStorage::~SurfaceStorage() {
    hub->RetireTexture(texture);
    hub->RetireFramebuffer(framebuffer);
    hub->RetireFramebuffer(readFramebuffer);
    hub->RetireFramebuffer(msFramebuffer);
    hub->RetireRenderbuffer(msColor);
    hub->RetireRenderbuffer(msDepth);
}

// ---------------------------------------------------------------- Surface

Surface* AsSurface(IDirectDrawSurface7* surface) { return dynamic_cast<Surface*>(surface); }
VertexBuffer* AsVertexBuffer(IDirect3DVertexBuffer7* buffer) { return dynamic_cast<VertexBuffer*>(buffer); }

Surface* Surface::CreateInternal(const std::shared_ptr<ResourceHub>& hub, SurfaceKind kind, Format format, DWORD caps,
                                 int width, int height) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = DWORD(width);
    desc.dwHeight = DWORD(height);
    desc.ddpfPixelFormat = PixelFormatOf(format);
    desc.ddsCaps.dwCaps = caps | (kind == SurfaceKind::Depth ? DDSCAPS_ZBUFFER : DDSCAPS_3DDEVICE);
    HRESULT result;
    return Create(hub, desc, &result);
}

Surface* Surface::Create(const std::shared_ptr<ResourceHub>& hub, const DDSURFACEDESC2& desc, HRESULT* result) {
    *result = DDERR_INVALIDPARAMS;
    // Descriptions read from DDS files do not always flag their caps and pixel
    // format as valid; both are taken when they are filled in.
    const DWORD caps = desc.ddsCaps.dwCaps;
    if (desc.ddsCaps.dwCaps2 & (DDSCAPS2_CUBEMAP | DDSCAPS2_VOLUME)) {
        *result = DDERR_INVALIDCAPS;
        return nullptr;
    }
    if (caps & DDSCAPS_PRIMARYSURFACE) {
        *result = DDERR_PRIMARYSURFACEALREADYEXISTS;  // the context owns the one primary
        return nullptr;
    }
    // A pitch without client memory is refused; client memory is not supported.
    if (desc.dwFlags & (DDSD_PITCH | DDSD_LPSURFACE)) return nullptr;
    if (!(desc.dwFlags & DDSD_WIDTH) || !(desc.dwFlags & DDSD_HEIGHT) || desc.dwWidth == 0 || desc.dwHeight == 0)
        return nullptr;
    if (desc.dwWidth > kMaxSurfaceSide) {
        *result = DDERR_TOOBIGWIDTH;
        return nullptr;
    }
    if (desc.dwHeight > kMaxSurfaceSide) {
        *result = DDERR_TOOBIGHEIGHT;
        return nullptr;
    }
    const SurfaceKind kind = (caps & DDSCAPS_ZBUFFER)    ? SurfaceKind::Depth
                             : (caps & DDSCAPS_3DDEVICE) ? SurfaceKind::RenderTarget
                                                         : SurfaceKind::Plain;
    if (kind == SurfaceKind::Depth && (caps & (DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE))) {
        *result = DDERR_INVALIDCAPS;
        return nullptr;
    }
    Format format = kind == SurfaceKind::Depth ? Format::Depth24 : Format::X8R8G8B8;
    const DDPIXELFORMAT& pf = desc.ddpfPixelFormat;
    if ((desc.dwFlags & DDSD_PIXELFORMAT) || (pf.dwSize == sizeof(DDPIXELFORMAT) && pf.dwFlags != 0))
        format = FormatOf(pf);
    const bool formatFits = format != Format::Unknown && (kind == SurfaceKind::Depth) == IsDepth(format) &&
                            !(kind == SurfaceKind::RenderTarget && IsCompressed(format));
    if (!formatFits) {
        *result = DDERR_INVALIDPIXELFORMAT;
        return nullptr;
    }
    const int width = int(desc.dwWidth), height = int(desc.dwHeight);
    int levels = 1;
    if (kind == SurfaceKind::Plain && (caps & DDSCAPS_MIPMAP)) {
        levels = FullMipCount(width, height);
        if ((desc.dwFlags & DDSD_MIPMAPCOUNT) && desc.dwMipMapCount > 0)
            levels = std::min(levels, int(desc.dwMipMapCount));
    }
    std::shared_ptr<SurfaceStorage> storage;
    try {
        storage = std::make_shared<SurfaceStorage>(hub, kind, format, caps);
        storage->levels.resize(size_t(levels));
        for (int i = 0; i < levels; ++i) {
            SurfaceStorage::Level& l = storage->levels[size_t(i)];
            l.width = std::max(1, width >> i);
            l.height = std::max(1, height >> i);
            l.pitch = LevelPitch(format, l.width);
            l.bytes.assign(LevelSize(format, l.width, l.height), 0);
        }
        SurfaceStorage::Level& top = storage->levels[0];
        if (kind == SurfaceKind::Depth) {
            // A new depth buffer holds the far plane everywhere.
            const DWORD mask = DepthMask(format);
            const int bytes = BytesPerUnit(format);
            for (size_t p = 0; p + size_t(bytes) <= top.bytes.size(); p += size_t(bytes))
                std::memcpy(&top.bytes[p], &mask, size_t(bytes));
        } else if (kind == SurfaceKind::RenderTarget && !HasAlpha(format)) {
            EncodeLevel(format, std::vector<uint32_t>(size_t(width) * size_t(height), 0xFF000000u).data(), width,
                        height, top.bytes.data(), top.pitch);
        }
    } catch (const std::bad_alloc&) {
        *result = DDERR_OUTOFMEMORY;
        return nullptr;
    }
    // One object per level; each holds a reference on the next.
    Surface* first = new (std::nothrow) Surface(storage, 0);
    if (!first) {
        *result = DDERR_OUTOFMEMORY;
        return nullptr;
    }
    Surface* previous = first;
    for (int i = 1; i < levels; ++i) {
        Surface* level = new (std::nothrow) Surface(storage, i);
        if (!level) {
            first->Release();
            *result = DDERR_OUTOFMEMORY;
            return nullptr;
        }
        previous->next_ = level;
        previous = level;
    }
    *result = DD_OK;
    return first;
}

Surface::~Surface() {
    if (next_) next_->Release();
    if (depth_) depth_->Release();
}

Surface* Surface::AttachedDepth() const {
    std::lock_guard lock(storage_->mutex);
    return depth_;
}

int Surface::GlWidth() const { return storage_->glWidth > 0 ? storage_->glWidth : Width(); }
int Surface::GlHeight() const { return storage_->glHeight > 0 ? storage_->glHeight : Height(); }

namespace {

// GL thread, storage mutex held: copies a multisampled target's samples (and its
// depth, when a depth buffer is attached) into its single-sample framebuffer.
// The scissor test is off here: the device enables it only inside Clear.
void Resolve(SurfaceStorage& st) {
    if (st.samples <= 1 || !st.needsResolve || !st.msFramebuffer || !st.framebuffer) return;
    GLint draw = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, st.msFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, st.framebuffer);
    const GLbitfield bits = GL_COLOR_BUFFER_BIT | (st.msDepth && st.framebufferDepth ? GL_DEPTH_BUFFER_BIT : 0);
    glBlitFramebuffer(0, 0, st.glWidth, st.glHeight, 0, 0, st.glWidth, st.glHeight, bits, GL_NEAREST);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(draw));
    st.needsResolve = false;
}

}  // namespace

bool Surface::SyncForCpu(const RECT* rect) {
    SurfaceStorage& st = *storage_;
    if (st.kind == SurfaceKind::Plain || !st.gpuNewer) return true;
    if (st.hub->ContextLost()) {  // nothing left to read: the CPU copy is all there is
        st.gpuNewer = false;
        return true;
    }
    if (!st.hub->OnGlThread() || !st.hub->MakeCurrent()) return false;
    if (st.kind == SurfaceKind::RenderTarget) {
        Resolve(st);
    } else if (const std::shared_ptr<SurfaceStorage> owner = st.resolvedBy.lock()) {
        std::lock_guard lock(owner->mutex);
        Resolve(*owner);
    }
    const SurfaceStorage::Level& l = st.levels[0];
    if (rect) {
        // A peek at a few pixels (a flare's depth test) reads those alone: a whole
        // read-back costs a full copy and conversion of the target.
        ReadBackLocked(int(rect->left), int(rect->top), int(rect->right - rect->left), int(rect->bottom - rect->top));
        return true;
    }
    ReadBackLocked(0, 0, l.width, l.height);
    st.gpuNewer = false;
    return true;
}

void Surface::ReadBackLocked(int x, int y, int width, int height) {
    SurfaceStorage& st = *storage_;
    SurfaceStorage::Level& l = st.levels[0];
    if (width <= 0 || height <= 0) return;
    const GLuint framebuffer = st.kind == SurfaceKind::RenderTarget ? st.framebuffer
                               : st.kind == SurfaceKind::Depth      ? st.readFramebuffer
                                                                    : 0;
    if (!framebuffer) return;
    const int bytes = BytesPerUnit(st.format);
    uint8_t* origin = l.bytes.data() + size_t(y) * l.pitch + size_t(x) * size_t(bytes);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);

    // The GL pixels behind the rectangle. At the logical size they are the
    // rectangle itself; at another size a colour pixel averages the GL pixels its
    // area covers, and a depth pixel takes the GL pixel under its centre (an
    // average of depths is no surface's depth).
    const int gw = st.glWidth > 0 ? st.glWidth : l.width, gh = st.glHeight > 0 ? st.glHeight : l.height;
    const double sx = double(gw) / l.width, sy = double(gh) / l.height;
    const bool scaled = gw != l.width || gh != l.height;
    const bool color = st.kind == SurfaceKind::RenderTarget;
    std::vector<std::vector<Tap>> columns, rows;
    std::vector<int> centreColumns, centreRows;
    int gx = x, gy = y, bw = width, bh = height;
    if (scaled && color) {
        columns = AreaTaps(x, width, sx, gw);
        rows = AreaTaps(y, height, sy, gh);
        gx = columns.front().front().index;
        gy = rows.front().front().index;
        bw = columns.back().back().index + 1 - gx;
        bh = rows.back().back().index + 1 - gy;
    } else if (scaled) {
        centreColumns = CentreTaps(x, width, sx, gw);
        centreRows = CentreTaps(y, height, sy, gh);
        gx = centreColumns.front();
        gy = centreRows.front();
        bw = centreColumns.back() + 1 - gx;
        bh = centreRows.back() + 1 - gy;
    }
    const size_t blockCount = size_t(bw) * size_t(bh);
    if (color) {
        std::vector<uint32_t> block(blockCount);
        glReadPixels(gx, gy, bw, bh, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, block.data());
        std::vector<uint32_t> argb;
        if (!scaled) {
            argb.swap(block);
        } else {
            argb.resize(size_t(width) * size_t(height));
            for (int row = 0; row < height; ++row) {
                for (int col = 0; col < width; ++col) {
                    double sum[4] = {};
                    for (const Tap& ty : rows[size_t(row)])
                        for (const Tap& tx : columns[size_t(col)]) {
                            const uint32_t p = block[size_t(ty.index - gy) * size_t(bw) + size_t(tx.index - gx)];
                            const double w = ty.weight * tx.weight;
                            for (int c = 0; c < 4; ++c) sum[c] += w * double((p >> (8 * c)) & 0xFF);
                        }
                    uint32_t p = 0;
                    for (int c = 0; c < 4; ++c) p |= uint32_t(std::clamp(std::lround(sum[c]), 0L, 255L)) << (8 * c);
                    argb[size_t(row) * size_t(width) + size_t(col)] = p;
                }
            }
        }
        if (!HasAlpha(st.format))
            for (uint32_t& p : argb) p |= 0xFF000000u;
        EncodeLevel(st.format, argb.data(), width, height, origin, l.pitch);
        return;
    }
    std::vector<float> block(blockCount);
    glReadPixels(gx, gy, bw, bh, GL_DEPTH_COMPONENT, GL_FLOAT, block.data());
    const DWORD mask = DepthMask(st.format);
    for (int row = 0; row < height; ++row) {
        uint8_t* out = origin + size_t(row) * l.pitch;
        const size_t from = size_t(scaled ? centreRows[size_t(row)] - gy : row) * size_t(bw);
        for (int col = 0; col < width; ++col) {
            const size_t at = from + size_t(scaled ? centreColumns[size_t(col)] - gx : col);
            const float d = std::clamp(block[at], 0.0f, 1.0f);
            const uint32_t word = uint32_t(double(d) * mask + 0.5);
            std::memcpy(out + col * bytes, &word, size_t(bytes));
        }
    }
}

void Surface::FollowScaleLocked() {
    SurfaceStorage& st = *storage_;
    if (st.kind == SurfaceKind::Plain || !st.hub->ScaleChangedSince(st.scaleGeneration)) return;
    const ResourceHub::RenderScale scale = st.hub->Scale();
    SurfaceStorage::Level& l = st.levels[0];
    const int width = ScaledSide(l.width, scale.x), height = ScaledSide(l.height, scale.y);
    const bool backBuffer = st.kind == SurfaceKind::RenderTarget && (st.caps & DDSCAPS_BACKBUFFER);
    const int samples = backBuffer ? std::max(1, scale.samples) : 1;
    st.scaleGeneration = scale.generation;
    if (width == st.glWidth && height == st.glHeight && samples == st.samples) return;
    if (st.texture) {
        // What was drawn survives the change, at the logical size.
        if (st.gpuNewer && st.kind == SurfaceKind::RenderTarget) {
            Resolve(st);
            ReadBackLocked(0, 0, l.width, l.height);
            st.gpuNewer = false;
        }
        st.hub->RetireTexture(st.texture);
        st.hub->RetireFramebuffer(st.framebuffer);
        st.hub->RetireFramebuffer(st.readFramebuffer);
        st.hub->RetireFramebuffer(st.msFramebuffer);
        st.hub->RetireRenderbuffer(st.msColor);
        st.hub->RetireRenderbuffer(st.msDepth);
        st.texture = st.framebuffer = st.readFramebuffer = st.framebufferDepth = 0;
        st.msFramebuffer = st.msColor = st.msDepth = 0;
        st.gpuNewer = false;
        l.dirty = true;
    }
    st.glWidth = width;
    st.glHeight = height;
    st.samples = samples;
    st.needsResolve = false;
}

HRESULT Surface::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, void* /*event*/) {
    if (!desc) return DDERR_INVALIDPARAMS;
    SurfaceStorage& st = *storage_;
    std::lock_guard lock(st.mutex);
    SurfaceStorage::Level& l = st.levels[size_t(level_)];
    if (l.locked) return DDERR_SURFACEBUSY;
    size_t offset = 0;
    if (rect) {
        if (!ValidRect(*rect, l.width, l.height)) return DDERR_INVALIDRECT;
        if (IsCompressed(st.format)) {
            if (rect->left % 4 || rect->top % 4) return DDERR_INVALIDRECT;
            offset = size_t(rect->top / 4) * l.pitch + size_t(rect->left / 4) * size_t(BytesPerUnit(st.format));
        } else {
            offset = size_t(rect->top) * l.pitch + size_t(rect->left) * size_t(BytesPerUnit(st.format));
        }
    }
    // A read-only look at a part of a mip-less target refreshes that part alone.
    const bool partial = rect && (flags & DDLOCK_READONLY) && level_ == 0 && !IsCompressed(st.format);
    if (!SyncForCpu(partial ? rect : nullptr)) return DDERR_SURFACEBUSY;
    l.locked = true;
    l.readOnlyLock = flags & DDLOCK_READONLY;
    const DWORD size = desc->dwSize;
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = size;
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
    desc->dwWidth = DWORD(l.width);
    desc->dwHeight = DWORD(l.height);
    if (IsCompressed(st.format)) {
        desc->dwFlags |= DDSD_LINEARSIZE;
        desc->dwLinearSize = DWORD(l.bytes.size());
    } else {
        desc->dwFlags |= DDSD_PITCH;
        desc->lPitch = LONG(l.pitch);
    }
    desc->ddpfPixelFormat = PixelFormatOf(st.format);
    desc->ddsCaps.dwCaps = st.caps;
    desc->lpSurface = l.bytes.data() + offset;
    return DD_OK;
}

HRESULT Surface::Unlock(RECT* /*rect*/) {
    SurfaceStorage& st = *storage_;
    std::lock_guard lock(st.mutex);
    SurfaceStorage::Level& l = st.levels[size_t(level_)];
    if (!l.locked) return DDERR_NOTLOCKED;
    l.locked = false;
    if (!l.readOnlyLock) {
        l.dirty = true;
        st.gpuNewer = false;
    }
    return DD_OK;
}

HRESULT Surface::GetSurfaceDesc(DDSURFACEDESC2* desc) {
    if (!desc) return DDERR_INVALIDPARAMS;
    const SurfaceStorage& st = *storage_;
    const SurfaceStorage::Level& l = st.levels[size_t(level_)];
    const DWORD size = desc->dwSize;
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = size ? size : DWORD(sizeof *desc);
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc->dwWidth = DWORD(l.width);
    desc->dwHeight = DWORD(l.height);
    if (IsCompressed(st.format)) {
        desc->dwFlags |= DDSD_LINEARSIZE;
        desc->dwLinearSize = DWORD(l.bytes.size());
    } else {
        desc->dwFlags |= DDSD_PITCH;
        desc->lPitch = LONG(l.pitch);
    }
    if (st.levels.size() > 1) {
        desc->dwFlags |= DDSD_MIPMAPCOUNT;
        desc->dwMipMapCount = DWORD(st.levels.size()) - DWORD(level_);
    }
    desc->ddpfPixelFormat = PixelFormatOf(st.format);
    desc->ddsCaps.dwCaps = st.caps;
    if (level_ > 0) desc->ddsCaps.dwCaps2 = kCaps2MipSubLevel;
    return DD_OK;
}

HRESULT Surface::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** attached) {
    if (!caps || !attached) return DDERR_INVALIDPARAMS;
    *attached = nullptr;
    Surface* found = nullptr;
    {
        std::lock_guard lock(storage_->mutex);
        if (caps->dwCaps & DDSCAPS_ZBUFFER)
            found = depth_;
        else if (caps->dwCaps & (DDSCAPS_MIPMAP | DDSCAPS_TEXTURE))
            found = next_;
        if (found) found->AddRef();
    }
    if (!found) return DDERR_NOTFOUND;
    *attached = found;
    return DD_OK;
}

HRESULT Surface::AddAttachedSurface(IDirectDrawSurface7* surface) {
    Surface* depth = AsSurface(surface);
    if (!depth) return DDERR_INVALIDPARAMS;
    if (storage_->kind != SurfaceKind::RenderTarget || depth->storage_->kind != SurfaceKind::Depth || level_ != 0)
        return DDERR_CANNOTATTACHSURFACE;
    if (depth->Width() < Width() || depth->Height() < Height()) return DDERR_CANNOTATTACHSURFACE;
    std::lock_guard lock(storage_->mutex);
    if (depth_) return DDERR_SURFACEALREADYATTACHED;
    depth->AddRef();
    depth_ = depth;
    return DD_OK;
}

HRESULT Surface::Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD /*flags*/, DDBLTFX* /*fx*/) {
    Surface* src = AsSurface(source);
    if (!src) return DDERR_INVALIDPARAMS;
    SurfaceStorage& ds = *storage_;
    SurfaceStorage& ss = *src->storage_;
    if (ds.kind == SurfaceKind::Depth || ss.kind == SurfaceKind::Depth) return DDERR_UNSUPPORTED;
    SurfaceStorage::Level& dl = ds.levels[size_t(level_)];
    SurfaceStorage::Level& sl = ss.levels[size_t(src->level_)];
    const RECT dr = destRect ? *destRect : RECT{0, 0, dl.width, dl.height};
    const RECT sr = sourceRect ? *sourceRect : RECT{0, 0, sl.width, sl.height};
    if (!ValidRect(dr, dl.width, dl.height) || !ValidRect(sr, sl.width, sl.height)) return DDERR_INVALIDRECT;

    std::unique_lock<std::mutex> lockDest(ds.mutex, std::defer_lock), lockSource(ss.mutex, std::defer_lock);
    if (&ds == &ss)
        lockDest.lock();
    else
        std::lock(lockDest, lockSource);
    if (dl.locked || sl.locked) return DDERR_SURFACEBUSY;
    if (!src->SyncForCpu() || !SyncForCpu()) return DDERR_SURFACEBUSY;

    const int dw = dr.right - dr.left, dh = dr.bottom - dr.top;
    const int sw = sr.right - sr.left, sh = sr.bottom - sr.top;
    const bool whole = dw == dl.width && dh == dl.height && sw == sl.width && sh == sl.height;
    if (whole && ds.format == ss.format && dw == sw && dh == sh && &dl != &sl) {
        dl.bytes = sl.bytes;  // same layout: a straight copy (DXT blocks included)
    } else {
        try {
            std::vector<uint32_t> from(size_t(sl.width) * size_t(sl.height));
            DecodeLevel(ss.format, sl.bytes.data(), sl.pitch, sl.width, sl.height, from.data());
            std::vector<uint32_t> part(size_t(sw) * size_t(sh));
            for (int y = 0; y < sh; ++y)
                std::memcpy(&part[size_t(y) * size_t(sw)], &from[size_t(sr.top + y) * size_t(sl.width) + size_t(sr.left)],
                            size_t(sw) * 4);
            std::vector<uint32_t> scaled(size_t(dw) * size_t(dh));
            ScaleArgb(part.data(), sw, sh, scaled.data(), dw, dh, false);
            std::vector<uint32_t> to(size_t(dl.width) * size_t(dl.height));
            DecodeLevel(ds.format, dl.bytes.data(), dl.pitch, dl.width, dl.height, to.data());
            for (int y = 0; y < dh; ++y)
                std::memcpy(&to[size_t(dr.top + y) * size_t(dl.width) + size_t(dr.left)], &scaled[size_t(y) * size_t(dw)],
                            size_t(dw) * 4);
            EncodeLevel(ds.format, to.data(), dl.width, dl.height, dl.bytes.data(), dl.pitch);
        } catch (const std::bad_alloc&) {
            return DDERR_OUTOFMEMORY;
        }
    }
    dl.dirty = true;
    ds.gpuNewer = false;
    return DD_OK;
}

GLuint Surface::EnsureTexture(GlStateCache& cache, uint64_t* uploads) {
    SurfaceStorage& st = *storage_;
    std::lock_guard lock(st.mutex);
    if (st.kind == SurfaceKind::Depth) return 0;
    FollowScaleLocked();
    const GLuint texture = EnsureTextureLocked(cache, uploads);
    Resolve(st);  // sampled: a multisampled target shows what was drawn
    return texture;
}

GLuint Surface::EnsureTextureLocked(GlStateCache& cache, uint64_t* uploads) {
    SurfaceStorage& st = *storage_;
    const bool allocate = st.texture == 0;
    if (allocate) {
        glGenTextures(1, &st.texture);
        if (!st.texture) return 0;
    }
    const bool renderTarget = st.kind == SurfaceKind::RenderTarget;
    const size_t levelCount = renderTarget ? 1 : st.levels.size();
    bool bound = false;
    const auto bind = [&] {
        if (!bound) cache.BindTexture(GlStateCache::kUploadUnit, st.texture);
        bound = true;
    };
    if (allocate) {
        bind();
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(levelCount) - 1);
        if (!HasAlpha(st.format)) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    }
    for (size_t i = 0; i < levelCount; ++i) {
        SurfaceStorage::Level& l = st.levels[i];
        if (!allocate && (!l.dirty || l.locked)) continue;
        bind();
        if (renderTarget)
            UploadRenderTarget(st.format, l, GlWidth(), GlHeight(), allocate);
        else
            UploadLevel(st.format, st.hub->s3tc, int(i), l, allocate);
        if (!l.locked) l.dirty = false;
        if (uploads) ++*uploads;
    }
    return st.texture;
}

GLuint Surface::EnsureDepthTextureLocked(GlStateCache& cache, uint64_t* uploads) {
    SurfaceStorage& st = *storage_;
    FollowScaleLocked();
    SurfaceStorage::Level& l = st.levels[0];
    const bool allocate = st.texture == 0;
    if (allocate) {
        glGenTextures(1, &st.texture);
        if (!st.texture) return 0;
        cache.BindTexture(GlStateCache::kUploadUnit, st.texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        UploadDepth(st.format, l, GlWidth(), GlHeight(), true);
        l.dirty = false;
        glGenFramebuffers(1, &st.readFramebuffer);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, st.readFramebuffer);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, st.texture, 0);
        glReadBuffer(GL_NONE);
        if (uploads) ++*uploads;
    } else if (l.dirty && !l.locked) {
        cache.BindTexture(GlStateCache::kUploadUnit, st.texture);
        UploadDepth(st.format, l, GlWidth(), GlHeight(), false);
        l.dirty = false;
        if (uploads) ++*uploads;
    }
    return st.texture;
}

GLuint Surface::EnsureFramebuffer(GlStateCache& cache, uint64_t* uploads) {
    if (storage_->kind != SurfaceKind::RenderTarget) return 0;
    Surface* depth = AttachedDepth();
    GLuint depthTexture = 0;
    Format depthFormat = Format::Depth24;
    if (depth) {
        std::lock_guard lock(depth->storage_->mutex);
        depthTexture = depth->EnsureDepthTextureLocked(cache, uploads);
        depthFormat = depth->storage_->format;
    }
    SurfaceStorage& st = *storage_;
    std::unique_lock lock(st.mutex);
    FollowScaleLocked();
    const GLuint color = EnsureTextureLocked(cache, uploads);
    if (!color) return 0;
    if (!st.framebuffer) {
        glGenFramebuffers(1, &st.framebuffer);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, st.framebuffer);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
    }
    if (st.framebufferDepth != depthTexture) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, st.framebuffer);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depthTexture, 0);
        st.framebufferDepth = depthTexture;
    }
    if (st.samples <= 1) return st.framebuffer;

    // Multisampled: draws go to renderbuffers of the target's own, depth
    // included; the attached depth buffer receives their depth at each resolve.
    if (!st.msFramebuffer) {
        glGenRenderbuffers(1, &st.msColor);
        glBindRenderbuffer(GL_RENDERBUFFER, st.msColor);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, st.samples, GL_RGBA8, st.glWidth, st.glHeight);
        glGenFramebuffers(1, &st.msFramebuffer);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, st.msFramebuffer);
        glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, st.msColor);
    }
    if ((st.msDepth != 0) != (depthTexture != 0)) {
        if (st.msDepth) {
            st.hub->RetireRenderbuffer(st.msDepth);
            st.msDepth = 0;
        } else {
            glGenRenderbuffers(1, &st.msDepth);
            glBindRenderbuffer(GL_RENDERBUFFER, st.msDepth);
            glRenderbufferStorageMultisample(GL_RENDERBUFFER, st.samples, GLenum(DepthInternalFormat(depthFormat)),
                                             st.glWidth, st.glHeight);
        }
        glBindFramebuffer(GL_READ_FRAMEBUFFER, st.msFramebuffer);
        glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, st.msDepth);
        if (depth) {
            // The depth buffer learns who resolves it with this target's mutex let
            // go: a depth read-back takes the two the other way round.
            const GLuint framebuffer = st.msFramebuffer;
            lock.unlock();
            std::lock_guard depthLock(depth->storage_->mutex);
            depth->storage_->resolvedBy = storage_;
            return framebuffer;
        }
    }
    return st.msFramebuffer;
}

GLuint Surface::EnsureResolvedFramebuffer(GlStateCache& cache, uint64_t* uploads) {
    if (!EnsureFramebuffer(cache, uploads)) return 0;
    SurfaceStorage& st = *storage_;
    std::lock_guard lock(st.mutex);
    Resolve(st);
    return st.framebuffer;
}

void Surface::MarkDrawn() {
    {
        std::lock_guard lock(storage_->mutex);
        storage_->gpuNewer = true;
        storage_->needsResolve = storage_->samples > 1;
    }
    if (Surface* depth = AttachedDepth()) {
        std::lock_guard lock(depth->storage_->mutex);
        depth->storage_->gpuNewer = true;
    }
}

// ---------------------------------------------------------------- VertexBuffer

VertexBuffer* VertexBuffer::Create(const std::shared_ptr<ResourceHub>& hub, const D3DVERTEXBUFFERDESC& desc,
                                   HRESULT* result) {
    const DWORD stride = FvfStride(desc.dwFVF);
    const bool positioned = (desc.dwFVF & D3DFVF_POSITION_MASK) != 0;
    if (!positioned || stride == 0 || desc.dwNumVertices == 0 || desc.dwNumVertices > kMaxVertices ||
        size_t(stride) * desc.dwNumVertices > kMaxVertexBytes) {
        *result = desc.dwNumVertices > kMaxVertices ? D3DERR_VBUF_CREATE_FAILED : D3DERR_INVALIDVERTEXFORMAT;
        if (desc.dwNumVertices == 0) *result = DDERR_INVALIDPARAMS;
        return nullptr;
    }
    try {
        std::vector<uint8_t> bytes(size_t(stride) * desc.dwNumVertices, 0);
        VertexBuffer* vb = new VertexBuffer(hub, desc, std::move(bytes));
        *result = D3D_OK;
        return vb;
    } catch (const std::bad_alloc&) {
        *result = D3DERR_VBUF_CREATE_FAILED;
        return nullptr;
    }
}

VertexBuffer::~VertexBuffer() { hub_->RetireBuffer(buffer_); }

HRESULT VertexBuffer::Lock(DWORD flags, void** data, DWORD* size) {
    if (!data) return DDERR_INVALIDPARAMS;
    std::lock_guard lock(mutex_);
    if (locked_) return D3DERR_VERTEXBUFFERLOCKED;
    locked_ = true;
    if (!(flags & DDLOCK_READONLY)) dirty_ = true;
    *data = bytes_.data();
    if (size) *size = DWORD(bytes_.size());
    return D3D_OK;
}

HRESULT VertexBuffer::Unlock() {
    std::lock_guard lock(mutex_);
    if (!locked_) return DDERR_NOTLOCKED;
    locked_ = false;
    return D3D_OK;
}

HRESULT VertexBuffer::GetVertexBufferDesc(D3DVERTEXBUFFERDESC* desc) {
    if (!desc) return DDERR_INVALIDPARAMS;
    *desc = desc_;
    desc->dwSize = sizeof(D3DVERTEXBUFFERDESC);
    return D3D_OK;
}

bool VertexBuffer::Locked() {
    std::lock_guard lock(mutex_);
    return locked_;
}

GLuint VertexBuffer::EnsureBuffer(GlStateCache& cache, uint64_t* uploads) {
    std::lock_guard lock(mutex_);
    if (!buffer_) {
        glGenBuffers(1, &buffer_);
        if (!buffer_) return 0;
        dirty_ = true;
    }
    if (dirty_ && !locked_) {
        cache.BindArrayBuffer(buffer_);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(bytes_.size()), bytes_.data(), GL_STATIC_DRAW);
        dirty_ = false;
        if (uploads) ++*uploads;
    }
    return buffer_;
}

// ---------------------------------------------------------------- creators

HRESULT DirectDraw::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, void* outer) {
    if (!desc || !surface || outer) return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    HRESULT result;
    *surface = Surface::Create(hub_, *desc, &result);
    return result;
}

HRESULT Direct3D::CreateVertexBuffer(D3DVERTEXBUFFERDESC* desc, IDirect3DVertexBuffer7** buffer, DWORD /*flags*/) {
    if (!desc || !buffer) return DDERR_INVALIDPARAMS;
    *buffer = nullptr;
    HRESULT result;
    *buffer = VertexBuffer::Create(hub_, *desc, &result);
    return result;
}

}  // namespace platform::gl
