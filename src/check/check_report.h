#pragma once
// What `check` found: each finding says what is wrong, where, and how bad; the report prints
// itself for people (one line each) and as JSON for scripts.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tq {

enum class Severity {
    Error,    // a reader refuses it, or the client or server gets it wrong
    Warning,  // the files are valid, but something is lost or wasted (statics the client drops, dead bytes)
};

struct Finding {
    Severity severity = Severity::Error;
    std::string file;
    std::string kind;   // a short fixed name for scripts: "run-past-end", "duplicate-serial", ...
    std::string where;  // "block (3, 4)", "line 17", "cell (10, 20)"; empty for the whole file
    std::string what;
};

class CheckReport {
public:
    // A broken file can hold millions of faults of one kind: the first this many of each
    // kind in each file are listed, the rest only counted.
    static constexpr size_t ListedPerKind = 50;

    void add(Finding finding);
    // Findings of a (file, kind) that were counted but not kept, as a part of the check does
    // beyond the ones it lists: counted here only.
    void addUnlisted(const std::string& file, const std::string& kind, uint64_t count);
    // Everything a part of the check (run apart, perhaps on another thread) found, as if it
    // had been added here in the same order.
    void append(const CheckReport& part);
    // One line per file checked: "static index, facet F, W × H blocks".
    void checked(const std::string& file, const std::string& what);
    // Something worth knowing that is not wrong (the CRC a package expects, a file not found beside another).
    void note(const std::string& file, const std::string& text);

    bool clean() const { return total_ == 0; }
    uint64_t total() const { return total_; }
    const std::vector<Finding>& findings() const { return findings_; }
    // Counts of the findings of each (file, kind) that were not listed.
    std::vector<std::pair<std::pair<std::string, std::string>, uint64_t>> unlisted() const;

    // The human report: the files checked, the findings, the notes, and a last line with the totals.
    std::vector<std::string> lines() const;
    std::string json() const;

private:
    std::vector<std::pair<std::string, std::string>> checked_, notes_;
    std::vector<Finding> findings_;
    std::map<std::pair<std::string, std::string>, uint64_t> perKind_;
    uint64_t total_ = 0;
};

const char* severityName(Severity severity);

} // namespace tq
