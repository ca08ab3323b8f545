#include "check/serial_sets.h"

#include <algorithm>
#include <array>

namespace tq {

void SortSerials(std::vector<uint32_t>& values, std::vector<uint32_t>& scratch) {
    if (std::is_sorted(values.begin(), values.end())) return;
    if (values.size() < 1024) {
        std::sort(values.begin(), values.end());
        return;
    }
    // Least significant digit first, three digits of 11 bits; a digit all values share is skipped.
    constexpr int Bits = 11, Digits = 3;
    constexpr size_t Buckets = size_t(1) << Bits;
    std::vector<std::array<uint32_t, Buckets>> counts(Digits);
    for (auto& c : counts) c.fill(0);
    for (const uint32_t v : values)
        for (int d = 0; d < Digits; ++d) ++counts[size_t(d)][(v >> (d * Bits)) & (Buckets - 1)];
    scratch.resize(values.size());
    for (int d = 0; d < Digits; ++d) {
        auto& c = counts[size_t(d)];
        if (std::count(c.begin(), c.end(), uint32_t(values.size())) == 1) continue;
        uint32_t at = 0;
        for (uint32_t& n : c) {
            const uint32_t here = n;
            n = at;
            at += here;
        }
        for (const uint32_t v : values) scratch[c[(v >> (d * Bits)) & (Buckets - 1)]++] = v;
        values.swap(scratch);
    }
}

SerialVerdict JudgeSerials(const std::vector<const std::vector<uint32_t>*>& objects,
                           const std::vector<uint32_t>& containers) {
    SerialVerdict verdict;
    struct Head {
        const uint32_t* at;
        const uint32_t* end;
    };
    std::vector<Head> heads;
    for (const std::vector<uint32_t>* list : objects)
        if (!list->empty()) heads.push_back({list->data(), list->data() + list->size()});
    const uint32_t* wanted = containers.data();
    const uint32_t* const wantedEnd = wanted + containers.size();
    auto containersBelow = [&](uint64_t serial) {
        for (; wanted != wantedEnd && *wanted < serial; ++wanted)
            if (verdict.missing.empty() || verdict.missing.back() != *wanted) verdict.missing.push_back(*wanted);
    };
    while (!heads.empty()) {
        // The least serial at the head of any list, and how many objects have it.
        uint32_t least = *heads[0].at;
        for (size_t i = 1; i < heads.size(); ++i) least = std::min(least, *heads[i].at);
        size_t count = 0;
        for (size_t i = 0; i < heads.size();) {
            Head& h = heads[i];
            while (h.at != h.end && *h.at == least) ++h.at, ++count;
            if (h.at == h.end) {
                heads[i] = heads.back();
                heads.pop_back();
            } else {
                ++i;
            }
        }
        if (count > 1) verdict.usedTwice.push_back(least);
        containersBelow(least);
        while (wanted != wantedEnd && *wanted == least) ++wanted;
    }
    containersBelow(uint64_t(UINT32_MAX) + 1);
    return verdict;
}

} // namespace tq
