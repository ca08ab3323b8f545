#pragma once

namespace tq {

// The two "which part" check boxes of the diff and fill/clear windows (statics, map).
struct PartChoice {
    bool statics = true;
    bool map = true;
    friend bool operator==(const PartChoice&, const PartChoice&) = default;
};

// After one box was clicked: unchecking the last checked one checks the other, so at
// least one part is always chosen.
PartChoice keepOnePartChecked(PartChoice now, bool staticsClicked);

} // namespace tq
