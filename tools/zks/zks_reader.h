// Reads a ZKS scene file back into a zks::Scene, for inspection (zksdump) and
// for checking what a baker wrote.
//
// The reader is strict where the engine's loader is lenient: every read is
// bounds-checked and a file that ends inside a record, or a chunk that runs past
// the end, is an error instead of being padded. Values the model can only hold
// as overrides come back as overrides: a stage mask with bits above 3, a
// has-target other than 0 or 1, a gizmo shape code outside 1–5, a NumSpecial
// other than 0, a hierarchy count that differs from the records, a track without
// a key layout (its count goes to countOverride), a hierarchy that reaches the end
// of the file without its 0 flag. Writing the result gives the same bytes back
// for any file the writer made, except that a track header with a key count of 0
// comes back absent and is rewritten with its slot's value type and
// interpolation 1, and a non-zero hierarchy flag comes back as 1.
//
// It does not check the scene's sense (see ValidateScene) and never allocates
// more than the file's size justifies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/zks/zks_scene.h"

namespace zks {

bool ReadScene(const uint8_t* data, size_t size, Scene& out, std::string* error = nullptr);
bool LoadSceneFile(const std::string& path, Scene& out, std::string* error = nullptr);

}  // namespace zks
