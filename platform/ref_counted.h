// The reference counting every platform object shares: AddRef and Release on an
// atomic count that starts at 1 (the creator's reference). When the last
// reference goes, LastReleased runs; by default the object deletes itself.
//
// Use it in place of the interface a class implements:
//   class Surface final : public platform::RefCounted<IDirectDrawSurface7> { ... };
// An object that must outlive its count (a test stand-in owned elsewhere) or
// has more to do at zero overrides LastReleased.
#pragma once

#include <atomic>

#include "platform/d3d7.h"

namespace platform {

template <class Interface>
class RefCounted : public Interface {
public:
    ULONG AddRef() final { return ++refs_; }
    ULONG Release() final {
        const ULONG left = --refs_;
        if (left == 0) LastReleased();
        return left;
    }

protected:
    RefCounted() = default;
    virtual void LastReleased() { delete this; }
    ULONG RefCount() const { return refs_; }

private:
    std::atomic<ULONG> refs_{1};
};

}  // namespace platform
