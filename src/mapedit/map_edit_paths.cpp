#include "mapedit/map_edit_paths.h"

#include "core/path_field_rules.h"
#include "mapedit/client_files.h"

namespace tq {

bool isValidMapPath(const std::string& path) {
    return judgePathField(path, PathKind::Map).colour == FieldColour::Green;
}

bool isValidClientFolder(const std::string& folder) { return clientFilesPresent(folder); }

} // namespace tq
