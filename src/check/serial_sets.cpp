#include "check/serial_sets.h"

#include <algorithm>
#include <array>
#include <bit>
#include <memory>

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

const uint64_t* SerialSet::bits(uint32_t top) const {
    for (const Page& page : pages_)
        if (page.top == top) return page.bits.get();
    return nullptr;
}

std::vector<uint32_t> SerialSet::tops() const {
    std::vector<uint32_t> out;
    for (const Page& page : pages_) out.push_back(page.top);
    return out;
}

namespace {

// The serials whose bits are set in a page of bits of upper bits `top`, ascending.
void appendSerials(uint32_t top, const uint64_t* bits, std::vector<uint32_t>& out) {
    for (size_t w = 0; w < SerialSet::PageWords; ++w)
        for (uint64_t word = bits[w]; word; word &= word - 1)
            out.push_back(top << 16 | uint32_t(w * 64) | uint32_t(std::countr_zero(word)));
}

} // namespace

void SerialSet::appendPages(std::vector<uint32_t>& out) const {
    for (const Page& page : pages_) appendSerials(page.top, page.bits.get(), out);
}

void SerialSet::appendTo(std::vector<uint32_t>& out) const {
    appendPages(out);
    out.insert(out.end(), list_.begin(), list_.end());
}

uint64_t* SerialSet::pageFor(uint32_t top) {
    if (listed_) return nullptr;
    for (Page& page : pages_)
        if (page.top == top) {
            lastTop_ = top;
            return lastPage_ = page.bits.get();
        }
    // Pages while they take no more than the serials would as numbers (and a megabyte at least).
    constexpr size_t PageBytes = PageWords * 8;
    if ((pages_.size() + 1) * PageBytes > std::max<uint64_t>(marked_ * 8, uint64_t(1) << 20)) {
        appendPages(list_);
        pages_.clear();
        listed_ = true;
        lastTop_ = UINT32_MAX;
        lastPage_ = nullptr;
        return nullptr;
    }
    pages_.push_back({top, std::make_unique<uint64_t[]>(PageWords)});
    lastTop_ = top;
    return lastPage_ = pages_.back().bits.get();
}

namespace {

// Sorted lists, walked together.
SerialVerdict judgeSorted(const std::vector<const std::vector<uint32_t>*>& objects, const std::vector<uint32_t>& containers) {
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

SerialVerdict JudgeSerials(const std::vector<const SerialSet*>& objects, const std::vector<const SerialSet*>& containers) {
    SerialVerdict verdict;
    bool listed = false;
    for (const auto* sets : {&objects, &containers})
        for (const SerialSet* set : *sets) listed = listed || set->listed();
    if (!listed) {
        // Page by page: a bit two objects' pages share is a serial used twice; a container's
        // bit no object's page has is a container missing.
        std::vector<uint32_t> tops;
        for (const auto* sets : {&objects, &containers})
            for (const SerialSet* set : *sets)
                for (const uint32_t top : set->tops()) tops.push_back(top);
        std::sort(tops.begin(), tops.end());
        tops.erase(std::unique(tops.begin(), tops.end()), tops.end());
        std::vector<uint64_t> seen(SerialSet::PageWords), twice(SerialSet::PageWords), wanted(SerialSet::PageWords);
        for (const uint32_t top : tops) {
            std::fill(seen.begin(), seen.end(), 0);
            std::fill(twice.begin(), twice.end(), 0);
            std::fill(wanted.begin(), wanted.end(), 0);
            for (const SerialSet* set : objects)
                if (const uint64_t* bits = set->bits(top))
                    for (size_t w = 0; w < SerialSet::PageWords; ++w) {
                        twice[w] |= seen[w] & bits[w];
                        seen[w] |= bits[w];
                    }
            for (const SerialSet* set : containers)
                if (const uint64_t* bits = set->bits(top))
                    for (size_t w = 0; w < SerialSet::PageWords; ++w) wanted[w] |= bits[w] & ~seen[w];
            appendSerials(top, twice.data(), verdict.usedTwice);
            appendSerials(top, wanted.data(), verdict.missing);
        }
    } else {
        std::vector<std::vector<uint32_t>> lists(objects.size());
        std::vector<uint32_t> wanted, scratch;
        for (size_t i = 0; i < objects.size(); ++i) {
            objects[i]->appendTo(lists[i]);
            SortSerials(lists[i], scratch);
        }
        for (const SerialSet* set : containers) set->appendTo(wanted);
        SortSerials(wanted, scratch);
        std::vector<const std::vector<uint32_t>*> sorted;
        for (const auto& list : lists) sorted.push_back(&list);
        verdict = judgeSorted(sorted, wanted);
    }
    // Serials a part's own set met twice.
    for (const SerialSet* set : objects) verdict.usedTwice.insert(verdict.usedTwice.end(), set->twice().begin(), set->twice().end());
    std::vector<uint32_t> scratch;
    SortSerials(verdict.usedTwice, scratch);
    verdict.usedTwice.erase(std::unique(verdict.usedTwice.begin(), verdict.usedTwice.end()), verdict.usedTwice.end());
    return verdict;
}

} // namespace tq
