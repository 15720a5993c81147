#include <gtest/gtest.h>

#include "platform/d3dx.h"
#include "platform/sphere_visibility.h"

namespace {
D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1;
    return m;
}
D3DMATRIX Translation(float x, float y, float z) {
    D3DMATRIX m = Identity();
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}
}  // namespace

TEST(MatrixStack, LocalMultiplicationPutsTheChildFirst) {
    ID3DXMatrixStack* stack = nullptr;
    ASSERT_EQ(D3DXCreateMatrixStack(0, &stack), D3D_OK);
    D3DMATRIX scale = Identity();
    scale._11 = 2;
    stack->MultMatrixLocal(&scale);         // parent: scale by 2 in x
    stack->Push();
    D3DMATRIX move = Translation(1, 0, 0);  // child: move by 1
    stack->MultMatrixLocal(&move);
    // move x scale: the child's translation is scaled by the parent.
    EXPECT_FLOAT_EQ(stack->GetTop()->_41, 2);
    EXPECT_FLOAT_EQ(stack->GetTop()->_11, 2);
    stack->Pop();
    EXPECT_FLOAT_EQ(stack->GetTop()->_41, 0);
    stack->Pop();  // the last matrix stays
    stack->MultMatrix(&move);  // top x move: translation not scaled
    EXPECT_FLOAT_EQ(stack->GetTop()->_41, 1);
    stack->LoadIdentity();
    EXPECT_FLOAT_EQ(stack->GetTop()->_11, 1);
    EXPECT_EQ(stack->Release(), 0u);
}

TEST(SphereVisibility, ClassifiesAgainstEachPlane) {
    const D3DMATRIX id = Identity();
    const D3DVECTOR centers[] = {{0, 0, 0.5f}, {2, 0, 0.5f}, {0.95f, 0, 0.5f}, {0, 0, -1}};
    const D3DVALUE radii[] = {0.1f, 0.1f, 0.1f, 0.1f};
    DWORD results[4];
    platform::ComputeSphereVisibility(id, id, id, centers, radii, 4, results);
    EXPECT_EQ(results[0], 0u);
    EXPECT_EQ(results[1], 0x2002u);   // wholly outside the right plane
    EXPECT_EQ(results[2], 0x2u);      // straddles the right plane
    EXPECT_EQ(results[3], 0x10010u);  // wholly behind the near plane
    for (DWORD r : results) EXPECT_EQ((r & D3DSTATUS_DEFAULT) != 0, r == 0x2002u || r == 0x10010u);
}
