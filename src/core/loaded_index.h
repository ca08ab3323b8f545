#pragma once
#include "core/error.h"
#include "core/static_index.h"

#include <string>

namespace tq {

inline constexpr const char* IndexChangedMessage =
    "The static index was changed by another program or window since it was loaded. "
    "Load it again, then try once more. Nothing was changed.";

// An index held in memory that no longer matches its file.
class IndexChangedError : public Error {
public:
    explicit IndexChangedError(const std::string& path) : Error(IndexChangedMessage, path) {}
};

// Throws IndexChangedError when the index file no longer holds `index` (another writer
// replaced it after it was loaded, or a journal was just finished): saving the index from
// memory would undo that writer's work. Called under the world's lock; a missing file or
// one of the wrong size is left to the operation's own checks.
void CheckIndexUnchanged(const std::string& staidxPath, const StaticIndexBuffer& index);

} // namespace tq
