#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

// The lookup3 hash, its little-endian variant that gives two 32-bit results. UOP
// containers find their entries by it.
namespace tq::uop {

// lookup3's hashlittle2: hashes `length` bytes of `key`, seeded by *pc and *pb, and leaves the
// two results there (*pc the better one).
void hashlittle2(const void* key, size_t length, uint32_t* pc, uint32_t* pb);

// The hash a container files an entry under: hashlittle2 of the lower-case name with zero
// seeds, as (b << 32) | c.
uint64_t nameHash(std::string_view name);

} // namespace tq::uop
