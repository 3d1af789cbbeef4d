#include "xlsx/deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#if defined(_WIN32) && !defined(Z_WANT64)
// MinGW's zlib.h declares the 64-bit length form only for large-file builds;
// the library has it on every build.
extern "C" uLong ZEXPORT crc32_combine64(uLong crc1, uLong crc2, long long len2);
#endif

#include <array>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace kelv::xlsx {
namespace {

// Reads a raw deflate stream bit by bit, least significant bit first.
class BitReader {
 public:
  explicit BitReader(std::string_view s)
      : p_(reinterpret_cast<const uint8_t*>(s.data())), bits_(uint64_t{s.size()} * 8) {}

  uint64_t pos() const { return pos_; }
  bool overrun() const { return pos_ > bits_; }

  // The next n (at most 32) bits without taking them; bits past the end read 0.
  uint32_t peek(int n) const {
    const uint64_t byte = pos_ >> 3;
    const size_t size = static_cast<size_t>(bits_ >> 3);
    uint64_t w = 0;
    if (byte + 8 <= size) {
      std::memcpy(&w, p_ + byte, 8);
    } else {
      for (size_t i = 0; byte + i < size && i < 8; ++i) w |= uint64_t{p_[byte + i]} << (8 * i);
    }
    w >>= (pos_ & 7);
    return static_cast<uint32_t>(w & ((uint64_t{1} << n) - 1));
  }
  void skip(int n) { pos_ += static_cast<uint64_t>(n); }
  uint32_t take(int n) {
    const uint32_t v = peek(n);
    skip(n);
    return v;
  }
  void align() { pos_ = (pos_ + 7) & ~uint64_t{7}; }
  void skip_bytes(uint64_t n) { pos_ += n * 8; }

 private:
  const uint8_t* p_;
  uint64_t bits_;
  uint64_t pos_ = 0;
};

// A canonical Huffman code as a direct table over its longest code length.
class Huffman {
 public:
  // False for lengths that do not make a code (over-subscribed).
  bool build(const uint8_t* lengths, int count) {
    int counts[16] = {};
    max_ = 0;
    for (int i = 0; i < count; ++i) {
      ++counts[lengths[i]];
      if (lengths[i] > max_) max_ = lengths[i];
    }
    table_.assign(size_t{1} << max_, Entry{});
    if (max_ == 0) return true;
    counts[0] = 0;
    int next[16] = {};
    int code = 0;
    for (int len = 1; len <= 15; ++len) {
      code = (code + counts[len - 1]) << 1;
      next[len] = code;
      if (code + counts[len] > (1 << len)) return false;
    }
    for (int sym = 0; sym < count; ++sym) {
      const int len = lengths[sym];
      if (len == 0) continue;
      uint32_t c = static_cast<uint32_t>(next[len]++);
      uint32_t reversed = 0;
      for (int i = 0; i < len; ++i, c >>= 1) reversed = (reversed << 1) | (c & 1);
      for (size_t i = reversed; i < table_.size(); i += size_t{1} << len)
        table_[i] = {static_cast<uint16_t>(sym), static_cast<uint8_t>(len)};
    }
    return true;
  }

  // The next symbol, or -1 for a bit pattern no code starts with.
  int decode(BitReader& in) const {
    const Entry e = table_[in.peek(max_)];
    if (e.length == 0) return -1;
    in.skip(e.length);
    return e.symbol;
  }

 private:
  struct Entry {
    uint16_t symbol = 0;
    uint8_t length = 0;
  };
  std::vector<Entry> table_{1};
  int max_ = 0;
};

// Only the extra bits of lengths and distances are needed: symbols are
// walked, not copied out.
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

bool read_dynamic_codes(BitReader& in, Huffman& lit, Huffman& dist) {
  static constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                         11, 4,  12, 3, 13, 2, 14, 1, 15};
  const int nlit = static_cast<int>(in.take(5)) + 257;
  const int ndist = static_cast<int>(in.take(5)) + 1;
  const int ncode = static_cast<int>(in.take(4)) + 4;
  if (nlit > 286 || ndist > 30) return false;
  uint8_t code_lengths[19] = {};
  for (int i = 0; i < ncode; ++i) code_lengths[kOrder[i]] = static_cast<uint8_t>(in.take(3));
  Huffman lengths_code;
  if (!lengths_code.build(code_lengths, 19)) return false;
  uint8_t lengths[286 + 30] = {};
  for (int i = 0; i < nlit + ndist;) {
    const int sym = lengths_code.decode(in);
    if (sym < 0 || in.overrun()) return false;
    if (sym < 16) {
      lengths[i++] = static_cast<uint8_t>(sym);
      continue;
    }
    uint8_t value = 0;
    int repeat = 0;
    if (sym == 16) {
      if (i == 0) return false;
      value = lengths[i - 1];
      repeat = 3 + static_cast<int>(in.take(2));
    } else if (sym == 17) {
      repeat = 3 + static_cast<int>(in.take(3));
    } else {
      repeat = 11 + static_cast<int>(in.take(7));
    }
    if (i + repeat > nlit + ndist) return false;
    while (repeat--) lengths[i++] = value;
  }
  if (lengths[256] == 0) return false;  // no end-of-block code
  return lit.build(lengths, nlit) && dist.build(lengths + nlit, ndist);
}

void fixed_codes(Huffman& lit, Huffman& dist) {
  uint8_t lengths[288 + 32];
  std::memset(lengths, 8, 144);
  std::memset(lengths + 144, 9, 112);
  std::memset(lengths + 256, 7, 24);
  std::memset(lengths + 280, 8, 8);
  std::memset(lengths + 288, 5, 32);
  lit.build(lengths, 288);
  dist.build(lengths + 288, 32);
}

// Walks the symbols of one Huffman-coded block up to its end-of-block code.
bool skip_symbols(BitReader& in, const Huffman& lit, const Huffman& dist) {
  for (;;) {
    const int sym = lit.decode(in);
    if (sym < 0 || in.overrun()) return false;
    if (sym < 256) continue;
    if (sym == 256) return true;
    if (sym > 285) return false;
    in.skip(kLengthExtra[sym - 257]);
    const int d = dist.decode(in);
    if (d < 0 || d >= 30) return false;
    in.skip(kDistanceExtra[d]);
  }
}

}  // namespace

Deflater::Deflater(int level) : c_(libdeflate_alloc_compressor(level)) {
  if (!c_) throw std::bad_alloc();
}

Deflater::~Deflater() {
  libdeflate_free_compressor(c_);
}

void Deflater::compress(std::string_view in, bool last, std::string& out) {
  if (in.empty() && !last) return;
  // Compressed into a buffer of the worst case's size kept for the next
  // piece, then copied out at its own size: a piece keeps no more memory
  // than its compressed bytes.
  const size_t bound = libdeflate_deflate_compress_bound(c_, in.size());
  if (scratch_.size() < bound) scratch_.resize(bound);
  const size_t n = libdeflate_deflate_compress(c_, in.data(), in.size(), scratch_.data(), bound);
  if (n == 0) throw std::runtime_error("deflate: output larger than its bound");
  const size_t at = out.size();
  out.reserve(at + n + 5);
  out.append(scratch_.data(), n);
  if (last) return;
  // The piece's final block becomes an ordinary one, and an empty stored
  // block brings the stream to a byte boundary.
  uint64_t header = 0, end = 0;
  if (!locate_final_block(std::string_view(out).substr(at), &header, &end))
    throw std::runtime_error("deflate: no final block in the compressed piece");
  auto* p = reinterpret_cast<uint8_t*>(out.data() + at);
  p[header >> 3] = static_cast<uint8_t>(p[header >> 3] & ~(1u << (header & 7)));
  const size_t used = static_cast<size_t>((end + 7) >> 3);
  out.resize(at + used);
  const unsigned spare = static_cast<unsigned>((8 - (end & 7)) & 7);
  if (spare) out.back() = static_cast<char>(static_cast<uint8_t>(out.back()) & (0xFFu >> spare));
  // Three header bits (not final, stored), padding to the byte, then
  // LEN = 0 and its complement.
  if (spare < 3) out.push_back('\0');
  out.append("\x00\x00\xFF\xFF", 4);
}

bool locate_final_block(std::string_view stream, uint64_t* header_bit, uint64_t* end_bit) {
  BitReader in(stream);
  Huffman lit, dist;
  for (;;) {
    const uint64_t header = in.pos();
    const bool final = in.take(1) != 0;
    const uint32_t type = in.take(2);
    if (type == 0) {
      in.align();
      const uint32_t len = in.take(16);
      const uint32_t nlen = in.take(16);
      if ((len ^ 0xFFFFu) != nlen) return false;
      in.skip_bytes(len);
    } else if (type == 1) {
      fixed_codes(lit, dist);
      if (!skip_symbols(in, lit, dist)) return false;
    } else if (type == 2) {
      if (!read_dynamic_codes(in, lit, dist) || !skip_symbols(in, lit, dist)) return false;
    } else {
      return false;
    }
    if (in.overrun()) return false;
    if (final) {
      *header_bit = header;
      *end_bit = in.pos();
      return true;
    }
  }
}

uint32_t crc32_of(uint32_t crc, std::string_view data) {
  return libdeflate_crc32(crc, data.data(), data.size());
}

uint32_t crc32_join(uint32_t crc_a, uint32_t crc_b, uint64_t length_b) {
  return static_cast<uint32_t>(crc32_combine64(crc_a, crc_b, static_cast<int64_t>(length_b)));
}

}  // namespace kelv::xlsx
