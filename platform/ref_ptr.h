// An owned reference to a reference-counted platform object (anything with
// AddRef and Release): the holder releases it when it is reset or goes away.
//
// A holder starts from a reference the caller already has: the constructor and
// reset take one over, and put() hands the empty slot to a call that returns a
// new reference through a T** out-parameter. Copying adds a reference of its own.
// Not here: any check that the object is of the right kind; get() lends the raw
// pointer without a reference.
#pragma once

#include <utility>

namespace platform {

template <class T>
class RefPtr {
public:
    RefPtr() = default;
    explicit RefPtr(T* adopted) : p_(adopted) {}
    RefPtr(const RefPtr& other) : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    RefPtr(RefPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    RefPtr& operator=(RefPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~RefPtr() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Releases the reference held, then holds adopted (a reference the caller
    // hands over). The old pointer is cleared first, so a Release that reaches
    // back into the holder finds it already empty.
    void reset(T* adopted = nullptr) {
        T* old = std::exchange(p_, adopted);
        if (old) old->Release();
    }
    // Releases the reference held and returns the empty slot.
    T** put() {
        reset();
        return &p_;
    }

private:
    T* p_ = nullptr;
};

}  // namespace platform
