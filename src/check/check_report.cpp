#include "check/check_report.h"

#include "core/facets.h"

#include <algorithm>
#include <cstdio>

namespace tq {

namespace {

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (u < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", u);
            out += hex;
        } else out += c;
    }
    return out + "\"";
}

} // namespace

const char* severityName(Severity severity) { return severity == Severity::Error ? "error" : "warning"; }

void CheckReport::add(Finding finding) {
    ++total_;
    if (++perKind_[{finding.file, finding.kind}] <= ListedPerKind) findings_.push_back(std::move(finding));
}

void CheckReport::addUnlisted(const std::string& file, const std::string& kind, uint64_t count) {
    if (count == 0) return;
    total_ += count;
    uint64_t& seen = perKind_[{file, kind}];
    // A part lists the first of each kind itself; those beyond the list stay beyond it here.
    seen = std::max<uint64_t>(seen, ListedPerKind) + count;
}

void CheckReport::append(const CheckReport& part) {
    checked_.insert(checked_.end(), part.checked_.begin(), part.checked_.end());
    notes_.insert(notes_.end(), part.notes_.begin(), part.notes_.end());
    for (const Finding& f : part.findings_) add(f);
    for (const auto& [key, count] : part.perKind_)
        if (count > ListedPerKind) addUnlisted(key.first, key.second, count - ListedPerKind);
}

void CheckReport::checked(const std::string& file, const std::string& what) { checked_.emplace_back(file, what); }

void CheckReport::note(const std::string& file, const std::string& text) { notes_.emplace_back(file, text); }

std::vector<std::pair<std::pair<std::string, std::string>, uint64_t>> CheckReport::unlisted() const {
    std::vector<std::pair<std::pair<std::string, std::string>, uint64_t>> out;
    for (const auto& [key, count] : perKind_)
        if (count > ListedPerKind) out.push_back({key, count - ListedPerKind});
    return out;
}

std::vector<std::string> CheckReport::lines() const {
    std::vector<std::string> out;
    for (const auto& [file, what] : checked_) out.push_back("Checked " + file + ": " + what);
    for (const Finding& f : findings_)
        out.push_back(f.file + ": " + severityName(f.severity) + ": " + (f.where.empty() ? "" : f.where + ": ") + f.what);
    for (const auto& [key, count] : unlisted())
        out.push_back(key.first + ": " + groupedNumber(count) + " more of the kind " + key.second + " not listed");
    for (const auto& [file, text] : notes_) out.push_back(file + ": note: " + text);
    const std::string files = std::to_string(checked_.size()) + (checked_.size() == 1 ? " file" : " files");
    if (clean()) out.push_back("No problems found in " + files);
    else out.push_back(groupedNumber(total_) + (total_ == 1 ? " problem" : " problems") + " found in " + files);
    return out;
}

std::string CheckReport::json() const {
    std::string out = "{\n  \"clean\": " + std::string(clean() ? "true" : "false") +
                      ",\n  \"problems\": " + std::to_string(total_) + ",\n  \"checked\": [";
    for (size_t i = 0; i < checked_.size(); ++i)
        out += std::string(i ? "," : "") + "\n    {\"file\": " + jsonString(checked_[i].first) +
               ", \"what\": " + jsonString(checked_[i].second) + "}";
    out += checked_.empty() ? "],\n  \"findings\": [" : "\n  ],\n  \"findings\": [";
    for (size_t i = 0; i < findings_.size(); ++i) {
        const Finding& f = findings_[i];
        out += std::string(i ? "," : "") + "\n    {\"file\": " + jsonString(f.file) + ", \"severity\": \"" +
               severityName(f.severity) + "\", \"kind\": " + jsonString(f.kind) + ", \"where\": " +
               jsonString(f.where) + ", \"what\": " + jsonString(f.what) + "}";
    }
    out += findings_.empty() ? "],\n  \"unlisted\": [" : "\n  ],\n  \"unlisted\": [";
    const auto more = unlisted();
    for (size_t i = 0; i < more.size(); ++i)
        out += std::string(i ? "," : "") + "\n    {\"file\": " + jsonString(more[i].first.first) + ", \"kind\": " +
               jsonString(more[i].first.second) + ", \"count\": " + std::to_string(more[i].second) + "}";
    out += more.empty() ? "],\n  \"notes\": [" : "\n  ],\n  \"notes\": [";
    for (size_t i = 0; i < notes_.size(); ++i)
        out += std::string(i ? "," : "") + "\n    {\"file\": " + jsonString(notes_[i].first) +
               ", \"text\": " + jsonString(notes_[i].second) + "}";
    out += notes_.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

} // namespace tq
