#include "fillclear/fill_clear_rules.h"

#include "core/int_parse.h"
#include "core/setting_names.h"

namespace tq {

namespace {
const std::array<FillClearFieldInfo, FillClearFieldCount> Fields = {{
    // The two statics paths come only from the settings store (main and diff windows).
    {"MStaIdxEdit", settings::StaIdx, PathKind::StaticIndex, false},
    {"MStaticsEdit", settings::Statics, PathKind::Statics, false},
    {"MMapEdit", settings::Map, PathKind::Map, true},
}};
} // namespace

const std::array<FillClearFieldInfo, FillClearFieldCount>& fillClearFields() { return Fields; }

FillClearGoState decideFillClearGo(const std::array<bool, FillClearFieldCount>& green) {
    const bool all = green[0] && green[1] && green[2];
    return {all, all};
}

FillClearPassControls decideFillClearPasses(FillClearPasses now, bool staticsClicked) {
    now = keepOnePartChecked(now, staticsClicked);
    return {now, now.statics, now.map};
}

std::optional<std::string> clampedAltitudeText(const std::string& text) {
    const int32_t value = parseInt(text);
    if (value > FillAltitudeMax) return std::to_string(FillAltitudeMax);
    if (value < FillAltitudeMin) return std::to_string(FillAltitudeMin);
    return std::nullopt;
}

} // namespace tq
