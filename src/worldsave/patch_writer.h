#pragma once
#include "core/atomic_file.h"
#include "core/progress.h"
#include "core/static_index.h"

#include <memory>
#include <string>

namespace tq {

inline constexpr const char* NothingToDoMessage = "Nothing to do!";

// Appends the block's statics as world-item sections (13 lines each, numbered after the
// file's highest section and serial; a new file starts at section 2, serial 1073741825)
// before a new "EOF" line; whatever followed the old first "EOF" line is dropped. The
// file is replaced atomically and every line ends in CRLF. An empty block logs
// "Nothing to do!" and leaves the file alone (a missing one is not created).
void WriteWorldItems(const std::string& path, const TStaticBlock& block, int bx, int by, const LogSink& log);
// WriteWorldItems up to, not including, the rename: the new text is complete on disk under a
// temporary name, for a caller that commits it together with other files. Null (after
// "Nothing to do!") for an empty block.
std::unique_ptr<AtomicFile> PrepareWorldItems(const std::string& path, const TStaticBlock& block, int bx, int by,
                                              const LogSink& log);

} // namespace tq
