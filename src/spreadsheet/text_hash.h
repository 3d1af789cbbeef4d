// A hash of a cell's text for the engine's and the file writer's tables of
// distinct texts. Cell texts are mostly a few words of UTF-8 (a name, a
// school, a number written as text): hashed eight bytes at a time with
// multiplications, which for such texts costs a fraction of the runtime's
// byte-wise hash. Not for anything kept: the value may change between
// builds.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

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
    uint64_t w = 0;
    std::memcpy(&w, p, n);
    mix(w ^ (uint64_t{n} << 56));
  }
  h = (h ^ (h >> 29)) * 0x94D049BB133111EBull;
  return h ^ (h >> 32);
}

}  // namespace kelv::spreadsheet
