// The utility library's matrix stack: plain CPU matrices, no device involved.
#include <new>
#include <vector>

#include "platform/d3dx.h"
#include "platform/ref_counted.h"

namespace {

class MatrixStack final : public platform::RefCounted<ID3DXMatrixStack> {
public:
    MatrixStack() : stack_{D3DMatrixIdentity()} {}
    HRESULT Push() override {
        stack_.push_back(stack_.back());
        return D3D_OK;
    }
    HRESULT Pop() override {
        if (stack_.size() > 1) stack_.pop_back();
        return D3D_OK;
    }
    HRESULT LoadIdentity() override {
        stack_.back() = D3DMatrixIdentity();
        return D3D_OK;
    }
    HRESULT LoadMatrix(const D3DMATRIX* m) override {
        if (!m) return D3DXERR_NULLPOINTER;
        stack_.back() = *m;
        return D3D_OK;
    }
    HRESULT MultMatrix(const D3DMATRIX* m) override {
        if (!m) return D3DXERR_NULLPOINTER;
        stack_.back() = D3DMatrixMultiply(stack_.back(), *m);
        return D3D_OK;
    }
    HRESULT MultMatrixLocal(const D3DMATRIX* m) override {
        if (!m) return D3DXERR_NULLPOINTER;
        stack_.back() = D3DMatrixMultiply(*m, stack_.back());
        return D3D_OK;
    }
    D3DMATRIX* GetTop() override { return &stack_.back(); }

private:
    std::vector<D3DMATRIX> stack_;
};

}  // namespace

HRESULT D3DXCreateMatrixStack(DWORD /*flags*/, ID3DXMatrixStack** stack) {
    if (!stack) return D3DXERR_NULLPOINTER;
    *stack = new (std::nothrow) MatrixStack;
    return *stack ? D3D_OK : D3DXERR_NOMEMORY;
}
