// The serials of a save judged in pages of bits (serials in a few runs, as saves have them)
// and by sorting (serials too scattered for pages, in every part or in one): all give what
// counting every serial does.
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
        uint32_t (*serial)(std::mt19937&, size_t piece);
    };
    // Items from 0x40000000 and characters from 1, some used twice, as a save has them.
    static const auto dense = [](std::mt19937& r) { return uint32_t(r() % 4 ? 0x40000000u + r() % 300000 : 1u + r() % 5000); };
    // Anywhere in the 32 bits: far more pages than a sorted copy would take.
    static const auto scattered = [](std::mt19937& r) { return uint32_t(r() % 3 ? r() : r() % 1000); };
    const Case cases[] = {
        {"dense", [](std::mt19937& r, size_t) { return dense(r); }},
        {"scattered", [](std::mt19937& r, size_t) { return scattered(r); }},
        {"one part scattered", [](std::mt19937& r, size_t piece) { return piece == 1 ? scattered(r) : dense(r); }},
    };
    for (const Case& c : cases) {
        std::mt19937 random(7);
        std::vector<SerialSet> pieces(3), containerSets(2);
        std::map<uint32_t, int> count;
        for (size_t p = 0; p < pieces.size(); ++p)
            for (int i = 0; i < 100000; ++i) {
                const uint32_t serial = c.serial(random, p);
                pieces[p].add(serial);
                ++count[serial];
            }
        pieces[1].add(UINT32_MAX);  // the ends of the range
        pieces[2].add(0);
        ++count[UINT32_MAX];
        ++count[0];
        std::vector<uint32_t> containers = {UINT32_MAX, 0, 0x7FFFFFFF, 0x7FFFFFFF, 12};
        for (int i = 0; i < 20000; ++i) containers.push_back(c.serial(random, size_t(i % 3)) ^ (i % 2 ? 0 : 0x00010000));
        for (size_t i = 0; i < containers.size(); ++i) containerSets[i % 2].add(containers[i]);

        std::vector<uint32_t> twice, missing;
        for (const auto& [serial, n] : count)
            if (n > 1) twice.push_back(serial);
        for (const uint32_t container : containers)
            if (!count.count(container)) missing.push_back(container);
        std::sort(missing.begin(), missing.end());
        missing.erase(std::unique(missing.begin(), missing.end()), missing.end());

        std::vector<const SerialSet*> objects, wanted;
        for (const SerialSet& piece : pieces) objects.push_back(&piece);
        for (const SerialSet& set : containerSets) wanted.push_back(&set);
        const SerialVerdict verdict = JudgeSerials(objects, wanted);
        EXPECT_EQ(pieces[1].listed(), std::string(c.name) != "dense") << c.name;
        EXPECT_EQ(verdict.usedTwice, twice) << c.name;
        EXPECT_EQ(verdict.missing, missing) << c.name;
        EXPECT_FALSE(twice.empty()) << c.name;
        EXPECT_FALSE(missing.empty()) << c.name;
    }
}

} // namespace
} // namespace tq
