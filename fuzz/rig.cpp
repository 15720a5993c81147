#include "fuzz/rig.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/render/mode_selection.h"
#include "engine/scene/scene.h"
#include "platform/report.h"

namespace fuzzing {

namespace {

const char* DropReport(int, int32_t, const char* format, va_list* args) {
    static char buffer[4096];
    std::vsnprintf(buffer, sizeof buffer, format, *args);
    return buffer;
}

}  // namespace

const char* WriteInput(const char* name, const uint8_t* data, size_t size) {
    // A file in memory with no name in any folder: nothing to clean up, however
    // the process ends. Readers open it afresh through its /proc path.
    static int fd = -1;
    static std::string path;
    if (fd < 0) {
        fd = ::memfd_create(name, 0);
        if (fd < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    bool ok = ::ftruncate(fd, 0) == 0;
    for (size_t done = 0; ok && done < size;) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, off_t(done));
        ok = n > 0;
        done += ok ? size_t(n) : 0;
    }
    if (!ok) {
        std::perror(path.c_str());
        std::abort();
    }
    return path.c_str();
}

void QuietReports() {
    static const bool installed = [] {
        LogSetCallback(&DropReport, kReportError, kReportWarning, kReportPlain);
        return true;
    }();
    (void)installed;
}

// A small target: nothing is rasterised, and the depth buffer a flare reads
// need not be large.
Rig::Rig() : platform_(64, 48) {
    QuietReports();
    platform_.log().enabled = false;
}

Rig& Rig::Get() {
    static Rig rig;
    return rig;
}

ZK3D::World& Rig::Begin() {
    ZK3D::ResetModeSelection();
    context_ = platform_.CreateContext();
    if (!context_) std::abort();
    world_ = ZK3D::CreateWorld(context_.get());
    ZK3D::SetCurrentWorld(world_.get());
    scene_ = ZK3D::CreateScene(world_.get(), "Fuzz");
    return *world_;
}

void Rig::End() {
    world_.reset();
    scene_ = nullptr;
    context_.reset();
    platform_.FreeReleased();
}

void DrawFrame(ZK3D::World& world, float time) {
    ZK3D::Scene* scene = world.currentScene;
    if (!scene) return;
    IDirect3DDevice7* device = world.context->device();
    scene->SetTime(time);
    device->BeginScene();
    scene->render();
    device->EndScene();
}

}  // namespace fuzzing
