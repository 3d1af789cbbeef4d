// A hash of a cell's text for the engine's and the file writer's tables of
// distinct texts. Cell texts are mostly a few words of UTF-8 (a name, a
// school, a number written as text): hashed eight bytes at a time with
// multiplications, which for such texts costs a fraction of the runtime's
// byte-wise hash. Not for anything kept: the value may change between
// builds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace kelv::spreadsheet {

inline uint64_t text_hash(std::string_view s) {
  uint64_t h = s.size() * 0x9E3779B97F4A7C15ull;
  auto mix = [&h](uint64_t w) {
    h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  };
  const char* p = s.data();
  size_t n = s.size();
  for (; n >= 8; p += 8, n -= 8) {
    uint64_t w = 0;
    std::memcpy(&w, p, 8);
    mix(w);
  }
  if (n > 0) {
    // The last few bytes in at most two loads, which between them hold
    // every byte (they overlap below eight): a copy of a variable length
    // here would cost more than all the rest.
    uint64_t w = 0;
    if (n >= 4) {
      uint32_t a = 0, b = 0;
      std::memcpy(&a, p, 4);
      std::memcpy(&b, p + n - 4, 4);
      w = (uint64_t{a} << 32) | b;
    } else {
      const auto byte = [p](size_t i) { return uint64_t{static_cast<unsigned char>(p[i])}; };
      w = (byte(0) << 16) | (byte(n / 2) << 8) | byte(n - 1);
    }
    mix(w ^ (uint64_t{n} << 56));
  }
  h = (h ^ (h >> 29)) * 0x94D049BB133111EBull;
  return h ^ (h >> 32);
}

// Tables of distinct texts keyed by text_hash: each slot holds the upper
// half of a text's hash (the tag) and its index + 1 below it, 0 when free;
// a slot's home is its tag masked to the table's size, and collisions go
// to the next free slot.
inline constexpr uint64_t kTextTagMask = 0xFFFFFFFF00000000ull;

inline size_t text_slot_home(uint64_t slot, size_t mask) {
  return static_cast<size_t>(slot >> 32) & mask;
}

// Doubles the table (to `smallest` at first) and puts every slot at its
// place: the texts are never hashed again.
inline void grow_text_slots(std::vector<uint64_t>& slots, size_t smallest) {
  std::vector<uint64_t> old;
  old.swap(slots);
  slots.assign(std::max<size_t>(smallest, old.size() * 2), 0);
  const size_t mask = slots.size() - 1;
  for (uint64_t slot : old) {
    if (slot == 0) continue;
    size_t i = text_slot_home(slot, mask);
    while (slots[i] != 0) i = (i + 1) & mask;
    slots[i] = slot;
  }
}

}  // namespace kelv::spreadsheet
