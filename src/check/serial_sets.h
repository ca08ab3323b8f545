#pragma once
// The serials of a world-save as `check` judges them: marked as they are met in pages of bits
// (a save's serials lie in a few runs, so a few pages hold them all) or, once they prove too
// scattered for that, kept as bare numbers to be sorted; then judged together to find the
// serials used more than once and the containers no object has.
#include <cstdint>
#include <memory>
#include <vector>

namespace tq {

// Sorts `values` ascending; `scratch` is working memory kept from one call to the next.
void SortSerials(std::vector<uint32_t>& values, std::vector<uint32_t>& scratch);

// The serials met in one part of a save.
class SerialSet {
public:
    // A page holds the serials of one value of the upper 16 bits.
    static constexpr uint32_t PageBits = uint32_t(1) << 16;
    static constexpr size_t PageWords = PageBits / 64;

    // Adds a serial; one this set holds already is noted as held twice.
    void add(uint32_t serial) {
        const uint32_t top = serial >> 16;
        uint64_t* page = top == lastTop_ ? lastPage_ : pageFor(top);
        if (!page) {
            list_.push_back(serial);
            return;
        }
        uint64_t& word = page[(serial & 0xFFFF) >> 6];
        const uint64_t bit = uint64_t(1) << (serial & 63);
        if (word & bit) twice_.push_back(serial);
        word |= bit;
        ++marked_;
    }
    // Whether the serials are kept as numbers (too scattered for pages of bits).
    bool listed() const { return listed_; }
    // The page of bits of serials with upper bits `top`, when there is one.
    const uint64_t* bits(uint32_t top) const;
    // Every serial held, in no set order (a serial added twice may be given once).
    void appendTo(std::vector<uint32_t>& out) const;
    // The serials added while this set already held them.
    const std::vector<uint32_t>& twice() const { return twice_; }
    // The upper bits of every page of bits.
    std::vector<uint32_t> tops() const;

private:
    // The page of `top`, made when new; nullptr once the set is a list.
    uint64_t* pageFor(uint32_t top);
    void appendPages(std::vector<uint32_t>& out) const;

    struct Page {
        uint32_t top;
        std::unique_ptr<uint64_t[]> bits;
    };
    std::vector<Page> pages_;
    uint32_t lastTop_ = UINT32_MAX;  // of the page used last (no top is this large)
    uint64_t* lastPage_ = nullptr;
    uint64_t marked_ = 0;
    bool listed_ = false;
    std::vector<uint32_t> list_, twice_;
};

struct SerialVerdict {
    std::vector<uint32_t> usedTwice;  // serials more than one object has, ascending, each once
    std::vector<uint32_t> missing;    // containers no object has, ascending, each once
};

// Judges the serials of the objects (a set per part of the save) against the containers items
// name (a set per part).
SerialVerdict JudgeSerials(const std::vector<const SerialSet*>& objects, const std::vector<const SerialSet*>& containers);

} // namespace tq
