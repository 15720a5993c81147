#include "demo/loader_thread.h"

#include <new>

#include "engine/scene/scene_loader.h"
#include "platform/assert.h"
#include "platform/report.h"
#include "platform/strings.h"

Thread::~Thread() {
    // Joining here would be too late: the derived part, run() included, is gone.
    ZK_ASSERT(!thread_.joinable(), "a thread object is destroyed before its thread was waited for");
    if (thread_.joinable()) thread_.join();
}

void Thread::wait() {
    if (thread_.joinable()) thread_.join();
}

void Thread::finish(void* code) {
    result_ = code;
    state_.store(Finished, std::memory_order_release);
}

bool Thread::start() {
    try {
        thread_ = std::thread([this] { run(); });
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

LoaderThread::LoaderThread(ZK3D::World* world, const char* fileName)
    : world_(world), fileName_(DuplicateString(fileName)) {}

LoaderThread::~LoaderThread() { wait(); }

void LoaderThread::run() {
    setRunning();
    ZK3D::Scene* scene = nullptr;
    try {
        scene = ZK3D::LoadScene(world_, fileName_.get());
    } catch (const std::bad_alloc&) {
        // The scene loader reports what it can; running out of memory ends this load only.
        LogError("[Load] Not enough memory to load scene \"%s\"", fileName_.get());
    }
    finish(scene);
}
