#include "check/serial_sets.h"

#include <algorithm>
#include <array>
#include <bit>

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

namespace {

constexpr size_t PageBits = size_t(1) << 16;  // a page holds the serials of one value of the upper 16 bits
constexpr size_t PageWords = PageBits / 64;

constexpr uint32_t NoPage = UINT32_MAX;  // no serial has these upper 16 bits

// Sorted lists, walked together.
SerialVerdict judgeSorted(const std::vector<std::vector<uint32_t>*>& objects, const std::vector<uint32_t>& containers) {
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


} // namespace

SerialVerdict JudgeSerials(const std::vector<std::vector<uint32_t>*>& objects, std::vector<uint32_t> containers) {
    size_t total = 0;
    std::vector<uint64_t> tops(PageBits / 64, 0);
    for (const std::vector<uint32_t>* list : objects) {
        total += list->size();
        for (const uint32_t serial : *list) tops[serial >> 22] |= uint64_t(1) << ((serial >> 16) & 63);
    }
    size_t pages = 0;
    for (const uint64_t word : tops) pages += size_t(std::popcount(word));

    std::vector<uint32_t> scratch;
    // Pages of bits while they take no more than a sorted copy would (and a megabyte at least).
    if (pages * (PageBits / 8) > std::max<size_t>(total * 8, size_t(1) << 20)) {
        for (std::vector<uint32_t>* list : objects) SortSerials(*list, scratch);
        SortSerials(containers, scratch);
        return judgeSorted(objects, containers);
    }
    std::vector<uint32_t> pageOf(PageBits, NoPage);
    uint32_t next = 0;
    for (size_t top = 0; top < PageBits; ++top)
        if (tops[top >> 6] >> (top & 63) & 1) pageOf[top] = next++;
    std::vector<uint64_t> bits(size_t(next) * PageWords, 0);
    SerialVerdict verdict;
    for (const std::vector<uint32_t>* list : objects)
        for (const uint32_t serial : *list) {
            uint64_t& word = bits[size_t(pageOf[serial >> 16]) * PageWords + ((serial & 0xFFFF) >> 6)];
            const uint64_t bit = uint64_t(1) << (serial & 63);
            if (word & bit) verdict.usedTwice.push_back(serial);
            word |= bit;
        }
    for (const uint32_t container : containers) {
        const uint32_t page = pageOf[container >> 16];
        if (page == NoPage || !(bits[size_t(page) * PageWords + ((container & 0xFFFF) >> 6)] >> (container & 63) & 1))
            verdict.missing.push_back(container);
    }
    for (std::vector<uint32_t>* found : {&verdict.usedTwice, &verdict.missing}) {
        SortSerials(*found, scratch);
        found->erase(std::unique(found->begin(), found->end()), found->end());
    }
    return verdict;
}

} // namespace tq
