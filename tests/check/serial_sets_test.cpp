// The serials of a save judged in pages of bits (serials in a few runs, as saves have them)
// and by sorting (serials too scattered for pages): both give what counting every serial does.
#include "check/serial_sets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

namespace tq {
namespace {

TEST(SerialSets, DenseAndScatteredSerialsJudgedAsCountingThem) {
    struct Case {
        const char* name;
        uint32_t (*serial)(std::mt19937&);
    };
    const Case cases[] = {
        // Items from 0x40000000 and characters from 1, some used twice, as a save has them.
        {"dense", [](std::mt19937& r) { return uint32_t(r() % 4 ? 0x40000000u + r() % 300000 : 1u + r() % 5000); }},
        // Anywhere in the 32 bits: far more pages than a sorted copy would take.
        {"scattered", [](std::mt19937& r) { return uint32_t(r() % 3 ? r() : r() % 1000); }},
    };
    for (const Case& c : cases) {
        std::mt19937 random(7);
        std::vector<std::vector<uint32_t>> pieces(3);
        std::map<uint32_t, int> count;
        for (auto& piece : pieces)
            for (int i = 0; i < 100000; ++i) {
                piece.push_back(c.serial(random));
                ++count[piece.back()];
            }
        pieces[1].push_back(UINT32_MAX);  // the ends of the range
        pieces[2].push_back(0);
        ++count[UINT32_MAX];
        ++count[0];
        std::vector<uint32_t> containers = {UINT32_MAX, 0, 0x7FFFFFFF, 0x7FFFFFFF, 12};
        for (int i = 0; i < 20000; ++i) containers.push_back(c.serial(random) ^ (i % 2 ? 0 : 0x00010000));

        std::vector<uint32_t> twice, missing;
        for (const auto& [serial, n] : count)
            if (n > 1) twice.push_back(serial);
        for (const uint32_t container : containers)
            if (!count.count(container)) missing.push_back(container);
        std::sort(missing.begin(), missing.end());
        missing.erase(std::unique(missing.begin(), missing.end()), missing.end());

        std::vector<std::vector<uint32_t>*> lists;
        for (auto& piece : pieces) lists.push_back(&piece);
        const SerialVerdict verdict = JudgeSerials(lists, containers);
        EXPECT_EQ(verdict.usedTwice, twice) << c.name;
        EXPECT_EQ(verdict.missing, missing) << c.name;
        EXPECT_FALSE(twice.empty()) << c.name;
        EXPECT_FALSE(missing.empty()) << c.name;
    }
}

} // namespace
} // namespace tq
