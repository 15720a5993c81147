// The utility library's matrix stack: plain CPU matrices, no device involved.
#include <atomic>
#include <new>
#include <vector>

#include "platform/d3dx.h"

namespace {

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// a x b, row vectors: a acts first.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    const float* x = &a._11;
    const float* y = &b._11;
    D3DMATRIX r;
    float* o = &r._11;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            o[4 * i + j] = x[4 * i] * y[j] + x[4 * i + 1] * y[4 + j] + x[4 * i + 2] * y[8 + j] + x[4 * i + 3] * y[12 + j];
    return r;
}

class MatrixStack final : public ID3DXMatrixStack {
public:
    MatrixStack() : stack_{Identity()} {}
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT Push() override {
        stack_.push_back(stack_.back());
        return D3D_OK;
    }
    HRESULT Pop() override {
        if (stack_.size() > 1) stack_.pop_back();
        return D3D_OK;
    }
    HRESULT LoadIdentity() override {
        stack_.back() = Identity();
        return D3D_OK;
    }
    HRESULT LoadMatrix(const D3DMATRIX* m) override {
        if (!m) return D3DXERR_NULLPOINTER;
        stack_.back() = *m;
        return D3D_OK;
    }
    HRESULT MultMatrix(const D3DMATRIX* m) override {
        if (!m) return D3DXERR_NULLPOINTER;
        stack_.back() = Multiply(stack_.back(), *m);
        return D3D_OK;
    }
    HRESULT MultMatrixLocal(const D3DMATRIX* m) override {
        if (!m) return D3DXERR_NULLPOINTER;
        stack_.back() = Multiply(*m, stack_.back());
        return D3D_OK;
    }
    D3DMATRIX* GetTop() override { return &stack_.back(); }

private:
    std::atomic<ULONG> refs_{1};
    std::vector<D3DMATRIX> stack_;
};

}  // namespace

HRESULT D3DXCreateMatrixStack(DWORD /*flags*/, ID3DXMatrixStack** stack) {
    if (!stack) return D3DXERR_NULLPOINTER;
    *stack = new (std::nothrow) MatrixStack;
    return *stack ? D3D_OK : D3DXERR_NOMEMORY;
}
