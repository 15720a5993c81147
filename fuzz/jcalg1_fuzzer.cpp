// JCALG1 streams: checked without output, then expanded, against a capacity
// the first two bytes choose (the rest is the stream). The check must agree with
// the expansion, and neither may touch memory outside the stream or the buffer.
#include <cstdlib>
#include <memory>

#include "engine/files/jcalg1.h"
#include "fuzz/rig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t capacity = data[0] | size_t(data[1]) << 8;
    const uint8_t* packed = data + 2;
    const size_t packedSize = size - 2;
    const int64_t checked = ZK3D::DecompressJCALG1(packed, packedSize, nullptr, capacity);
    // Exactly the capacity (left uninitialised, which is cheaper), so a write
    // past its end or a copy from before its start is caught.
    const std::unique_ptr<uint8_t[]> output(new uint8_t[capacity]);
    const int64_t expanded = ZK3D::DecompressJCALG1(packed, packedSize, output.get(), capacity);
    if (checked != expanded || expanded > int64_t(capacity) || expanded < ZK3D::kJCALG1Damaged) std::abort();
    return 0;
}
