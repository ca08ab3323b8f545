#pragma once
// What a world-save's check says, as text to compare with what another check says: the
// report's lines, then its JSON.
#include "check/check_report.h"
#include "check/check_world_save.h"

#include <string>
#include <vector>

namespace tq::test {

inline std::vector<std::string> reportText(const CheckReport& report) {
    std::vector<std::string> out = report.lines();
    out.push_back(report.json());
    return out;
}

// Scans every part of `check` on this thread, then finishes it.
inline std::vector<std::string> scanAndReport(WorldSaveCheck& check) {
    WorldSaveCheck::Scratch scratch;
    for (size_t i = 0; i < check.parts(); ++i) check.scan(i, scratch);
    CheckReport report;
    check.finish(report);
    return reportText(report);
}

} // namespace tq::test
