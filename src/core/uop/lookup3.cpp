#include "core/uop/lookup3.h"

#include "core/ascii_case.h"

namespace tq::uop {

namespace {

inline uint32_t rot(uint32_t x, int k) { return (x << k) | (x >> (32 - k)); }

inline void mix(uint32_t& a, uint32_t& b, uint32_t& c) {
    a -= c; a ^= rot(c, 4);  c += b;
    b -= a; b ^= rot(a, 6);  a += c;
    c -= b; c ^= rot(b, 8);  b += a;
    a -= c; a ^= rot(c, 16); c += b;
    b -= a; b ^= rot(a, 19); a += c;
    c -= b; c ^= rot(b, 4);  b += a;
}

inline void finalMix(uint32_t& a, uint32_t& b, uint32_t& c) {
    c ^= b; c -= rot(b, 14);
    a ^= c; a -= rot(c, 11);
    b ^= a; b -= rot(a, 25);
    c ^= b; c -= rot(b, 16);
    a ^= c; a -= rot(c, 4);
    b ^= a; b -= rot(a, 14);
    c ^= b; c -= rot(b, 24);
}

} // namespace

// Byte by byte, so the result is the same on any host and for any alignment of `key`.
void hashlittle2(const void* key, size_t length, uint32_t* pc, uint32_t* pb) {
    const auto* k = static_cast<const uint8_t*>(key);
    uint32_t a, b, c;
    a = b = c = 0xdeadbeefu + uint32_t(length) + *pc;
    c += *pb;
    while (length > 12) {
        a += k[0] + (uint32_t(k[1]) << 8) + (uint32_t(k[2]) << 16) + (uint32_t(k[3]) << 24);
        b += k[4] + (uint32_t(k[5]) << 8) + (uint32_t(k[6]) << 16) + (uint32_t(k[7]) << 24);
        c += k[8] + (uint32_t(k[9]) << 8) + (uint32_t(k[10]) << 16) + (uint32_t(k[11]) << 24);
        mix(a, b, c);
        length -= 12;
        k += 12;
    }
    switch (length) {
    case 12: c += uint32_t(k[11]) << 24; [[fallthrough]];
    case 11: c += uint32_t(k[10]) << 16; [[fallthrough]];
    case 10: c += uint32_t(k[9]) << 8; [[fallthrough]];
    case 9: c += k[8]; [[fallthrough]];
    case 8: b += uint32_t(k[7]) << 24; [[fallthrough]];
    case 7: b += uint32_t(k[6]) << 16; [[fallthrough]];
    case 6: b += uint32_t(k[5]) << 8; [[fallthrough]];
    case 5: b += k[4]; [[fallthrough]];
    case 4: a += uint32_t(k[3]) << 24; [[fallthrough]];
    case 3: a += uint32_t(k[2]) << 16; [[fallthrough]];
    case 2: a += uint32_t(k[1]) << 8; [[fallthrough]];
    case 1: a += k[0]; break;
    case 0: *pc = c; *pb = b; return;  // nothing left: the seeds' mix stands
    }
    finalMix(a, b, c);
    *pc = c;
    *pb = b;
}

uint64_t nameHash(std::string_view name) {
    const std::string lower = asciiLower(name);
    uint32_t c = 0, b = 0;
    hashlittle2(lower.data(), lower.size(), &c, &b);
    return (uint64_t(b) << 32) | c;
}

} // namespace tq::uop
