#include "codes/scanline_deflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace kelv::codes {
namespace {

// Deflate's longest match and farthest distance.
constexpr size_t kMaxMatch = 258;
constexpr size_t kMinMatch = 3;
constexpr size_t kWindow = 32768;

constexpr std::array<uint16_t, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,
                                                  15, 17, 19, 23, 27, 31, 35, 43, 51,  59,
                                                  67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

uint32_t reversed(uint32_t code, int bits) {
  uint32_t r = 0;
  for (int i = 0; i < bits; ++i) r |= ((code >> i) & 1u) << (bits - 1 - i);
  return r;
}

// A code as written into the stream: its bits in the order they go out
// (deflate sends Huffman codes from their first bit) and how many.
struct Bits {
  uint32_t value = 0;
  int count = 0;
};

// The fixed literal/length code of a symbol (0-287).
Bits fixed_symbol(uint32_t s) {
  if (s < 144) return {reversed(0x30 + s, 8), 8};
  if (s < 256) return {reversed(0x190 + s - 144, 9), 9};
  if (s < 280) return {reversed(s - 256, 7), 7};
  return {reversed(0xC0 + s - 280, 8), 8};
}

// Every literal's code, and every match length's code with its extra bits
// behind it.
struct Tables {
  std::array<Bits, 256> literal;
  std::array<Bits, kMaxMatch + 1> length;
  Tables() {
    for (uint32_t v = 0; v < 256; ++v) literal[v] = fixed_symbol(v);
    for (size_t len = kMinMatch; len <= kMaxMatch; ++len) {
      size_t k = kLengthBase.size() - 1;
      while (kLengthBase[k] > len) --k;
      const Bits code = fixed_symbol(257 + static_cast<uint32_t>(k));
      const auto extra = static_cast<uint32_t>(len - kLengthBase[k]);
      length[len] = {code.value | (extra << code.count), code.count + kLengthExtra[k]};
    }
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

// The fixed distance code of a distance (1-32768) with its extra bits.
Bits distance_bits(size_t d) {
  size_t k = kDistanceBase.size() - 1;
  while (kDistanceBase[k] > d) --k;
  const auto extra = static_cast<uint32_t>(d - kDistanceBase[k]);
  return {reversed(static_cast<uint32_t>(k), 5) | (extra << 5), 5 + kDistanceExtra[k]};
}

class BitWriter {
 public:
  explicit BitWriter(std::string& out) : out_(out) {}
  void put(Bits b) {
    acc_ |= uint64_t{b.value} << used_;
    used_ += b.count;
    while (used_ >= 8) {
      out_ += static_cast<char>(acc_ & 0xFF);
      acc_ >>= 8;
      used_ -= 8;
    }
  }
  void flush() {
    if (used_ > 0) out_ += static_cast<char>(acc_ & 0xFF);
    acc_ = 0;
    used_ = 0;
  }

 private:
  std::string& out_;
  uint64_t acc_ = 0;
  int used_ = 0;
};

// How many bytes from `at` on repeat the bytes `distance` before them, up to
// the longest match.
size_t match_length(const unsigned char* data, size_t at, size_t end, size_t distance) {
  const size_t limit = std::min(end - at, kMaxMatch);
  size_t n = 0;
  while (n < limit && data[at + n] == data[at + n - distance]) ++n;
  return n;
}

}  // namespace

std::string zlib_of_scanlines(std::string_view raw, size_t stride) {
  const Tables& t = tables();
  std::string out;
  out.reserve(64 + raw.size() / 8);
  out += '\x78';  // deflate, 32 KB window
  out += '\x01';  // no dictionary, fastest; the header's check
  BitWriter bits(out);
  bits.put({1, 1});  // the final block
  bits.put({1, 2});  // fixed codes
  const bool by_rows = stride > 0 && stride <= kWindow;
  const Bits row_above = by_rows ? distance_bits(stride) : Bits{};
  const Bits byte_before = distance_bits(1);
  const auto* data = reinterpret_cast<const unsigned char*>(raw.data());
  const size_t n = raw.size();
  size_t at = 0;
  while (at < n) {
    const size_t up = by_rows && at >= stride ? match_length(data, at, n, stride) : 0;
    const size_t run = at >= 1 && up < kMaxMatch ? match_length(data, at, n, 1) : 0;
    const size_t len = std::max(up, run);
    if (len < kMinMatch) {
      bits.put(t.literal[data[at++]]);
      continue;
    }
    bits.put(t.length[len]);
    bits.put(up >= run ? row_above : byte_before);
    at += len;
  }
  bits.put(fixed_symbol(256));  // end of block
  bits.flush();
  const uint32_t adler = libdeflate_adler32(1, raw.data(), raw.size());
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((adler >> shift) & 0xFF);
  return out;
}

}  // namespace kelv::codes
