// Loading, camera choice, time and the PNG capture of the scene viewer.
#include "tools/zkview/viewer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/scene/camera.h"
#include "engine/scene/scene_loader.h"
#include "tools/image/png_writer.h"

namespace zkview {

using namespace ZK3D;

Viewer::Viewer(Context& context) : context_(context), world_(CreateWorld(&context)) { SetCurrentWorld(world_.get()); }

Viewer::~Viewer() = default;

bool Viewer::Open(const std::string& file, std::string* error) {
    scene_ = LoadScene(world_.get(), file.c_str());
    if (!scene_) {
        if (error) *error = "\"" + file + "\" could not be loaded as a scene file";
        return false;
    }
    CompileWorld(world_.get());
    SetCurrentScene(scene_);
    scene_->currentCamera = scene_->cameras;
    SetSeconds(0);
    return true;
}

bool Viewer::SelectCamera(const std::string& name) {
    if (!scene_) return false;
    for (Node* n = scene_->cameras; n; n = n->next) {
        if (n->name() && name == n->name()) {
            scene_->currentCamera = static_cast<Camera*>(n);
            return true;
        }
    }
    return false;
}

int Viewer::CameraCount() const {
    int count = 0;
    for (Node* n = scene_ ? scene_->cameras : nullptr; n; n = n->next) ++count;
    return count;
}

void Viewer::StepCamera(int step) {
    const int count = CameraCount();
    if (count == 0) return;
    int index = 0;
    for (Node* n = scene_->cameras; n && n != scene_->currentCamera; n = n->next) ++index;
    index = ((index + step) % count + count) % count;
    Node* n = scene_->cameras;
    while (index-- > 0) n = n->next;
    scene_->currentCamera = static_cast<Camera*>(n);
}

std::string Viewer::CameraName() const {
    return scene_ && scene_->currentCamera && scene_->currentCamera->name() ? scene_->currentCamera->name() : "";
}

float Viewer::Duration() const {
    if (!scene_ || scene_->animationDescriptor.framesPerSecond <= 0 || scene_->animationDescriptor.lastFrame <= 0)
        return 0;
    return static_cast<float>(scene_->animationDescriptor.lastFrame) /
           static_cast<float>(scene_->animationDescriptor.framesPerSecond);
}

void Viewer::SetSeconds(float seconds) {
    seconds_ = std::isfinite(seconds) && seconds > 0 ? seconds : 0;
    if (scene_) scene_->SetTime(seconds_ * static_cast<float>(std::max(scene_->animationDescriptor.framesPerSecond, 0)));
}

void Viewer::Advance(float seconds) {
    const float duration = Duration();
    float next = seconds_ + seconds;
    if (duration > 0 && next > duration) next = std::fmod(next, duration);
    SetSeconds(next);
}

void Viewer::Render() {
    if (!scene_) return;
    SetCurrentScene(scene_);
    context_.Clear();
    scene_->render();
}

bool CaptureBackBuffer(Context& context, const std::string& path, std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    IDirectDrawSurface7* back = context.d3dx() ? context.d3dx()->GetBackBuffer(0) : nullptr;
    if (!back) return fail("the device has no back buffer");
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(back->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr)) || !desc.lpSurface) {
        back->Release();
        return fail("the back buffer cannot be read");
    }
    image::Image picture;
    const bool readable = desc.ddpfPixelFormat.dwRGBBitCount == 32;
    if (readable) {
        picture = image::Image(static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight));
        for (DWORD y = 0; y < desc.dwHeight; ++y) {
            const auto* row = static_cast<const uint8_t*>(desc.lpSurface) + static_cast<ptrdiff_t>(desc.lPitch) * y;
            for (DWORD x = 0; x < desc.dwWidth; ++x) {
                uint32_t argb = 0;
                std::memcpy(&argb, row + 4 * x, 4);
                picture.at(static_cast<int>(x), static_cast<int>(y)) = {static_cast<uint8_t>(argb >> 16),
                                                                       static_cast<uint8_t>(argb >> 8),
                                                                       static_cast<uint8_t>(argb), 255};
            }
        }
    }
    back->Unlock(nullptr);
    back->Release();
    if (!readable) return fail("the back buffer is not a 32-bit surface");
    std::string why;
    if (!image::SavePng(picture, path, &why)) return fail(why.empty() ? "\"" + path + "\" cannot be written" : why);
    return true;
}

}  // namespace zkview
