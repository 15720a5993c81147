#include <gtest/gtest.h>

#include <utility>

#include "platform/ref_counted.h"
#include "platform/ref_ptr.h"

namespace {

// Counts like every platform object but, instead of deleting itself, notes each
// time its last reference goes.
class Probe final : public platform::RefCounted<IDirectDraw7> {
public:
    HRESULT CreateSurface(DDSURFACEDESC2*, IDirectDrawSurface7**, void*) override { return E_NOTIMPL; }
    ULONG count() const { return RefCount(); }
    int lastReleased = 0;

private:
    void LastReleased() override { ++lastReleased; }
};

// Hands out a new reference through an out-parameter, as the platform's Get* and
// Create* calls do.
void HandOut(Probe& probe, IDirectDraw7** out) {
    probe.AddRef();
    *out = &probe;
}

}  // namespace

TEST(RefPtr, HoldsExactlyTheReferencesItWasGivenOrCopied) {
    Probe probe;  // the creator's reference
    {
        platform::RefPtr<IDirectDraw7> adopted(&probe);
        EXPECT_EQ(probe.count(), 1u);
        platform::RefPtr<IDirectDraw7> copy = adopted;
        EXPECT_EQ(probe.count(), 2u);
        platform::RefPtr<IDirectDraw7> moved = std::move(copy);
        EXPECT_FALSE(copy);
        EXPECT_EQ(moved.get(), &probe);
        EXPECT_EQ(probe.count(), 2u);

        HandOut(probe, moved.put());  // the held reference goes, the new one stays
        EXPECT_EQ(probe.count(), 2u);
        moved = adopted;
        EXPECT_EQ(probe.count(), 2u);
        adopted.reset();
        EXPECT_EQ(probe.count(), 1u);
        EXPECT_EQ(probe.lastReleased, 0);
    }
    EXPECT_EQ(probe.count(), 0u);
    EXPECT_EQ(probe.lastReleased, 1);
}
