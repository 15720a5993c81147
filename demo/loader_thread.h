// Background jobs of the loading phase: one thread reads the next scene file
// into the world while the main thread keeps the loading animation running.
//
// The job publishes its result before its finished state (release / acquire), so
// the main thread, which only polls the state once per frame, reads a complete
// result once it sees the job finished. The thread has a normal stack. The most
// derived class joins it in its destructor, before any of its own members (or its
// run()) are gone; the base class only checks that this happened.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

namespace ZK3D {
class Scene;
class World;
}  // namespace ZK3D

class Thread {
public:
    enum State { Created = 0, Running = 1, Finished = 2 };

    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // The thread body.
    virtual void run() = 0;
    int state() const { return state_.load(std::memory_order_acquire); }
    // Stores the result, then marks the job finished.
    void finish(void* code);
    void* result() const { return state() == Finished ? result_ : nullptr; }

    // Starts the thread; false when no thread could be started.
    bool start();
    // Waits until the thread has ended (at once when it never started); its
    // state is final then.
    void wait();

protected:
    Thread() = default;
    void setRunning() { state_.store(Running, std::memory_order_release); }

private:
    std::atomic<int> state_{Created};
    void* result_ = nullptr;
    std::thread thread_;
};

// Reads one scene file into the world: LoadScene's result (or null) is the job's result.
class LoaderThread final : public Thread {
public:
    LoaderThread(ZK3D::World* world, const char* fileName);
    // Waits for a load under way (Escape during loading, shutdown).
    ~LoaderThread() override;
    void run() override;
    ZK3D::Scene* scene() const { return static_cast<ZK3D::Scene*>(result()); }
    const char* fileName() const { return fileName_.get(); }

private:
    ZK3D::World* world_;
    std::unique_ptr<char[]> fileName_;
};
