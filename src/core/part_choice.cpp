#include "core/part_choice.h"

namespace tq {

PartChoice keepOnePartChecked(PartChoice now, bool staticsClicked) {
    if (!now.statics && !now.map) {
        if (staticsClicked)
            now.map = true;
        else
            now.statics = true;
    }
    return now;
}

} // namespace tq
