#pragma once
// What a harness asserts beyond "no crash": a broken promise stops the fuzzer like a crash.
#include <cstdio>
#include <cstdlib>

#define TQ_FUZZ_REQUIRE(condition)                                                        \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            std::fprintf(stderr, "promise broken at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)
