#include "codes/scanline_deflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace kelv::codes {
namespace {

// Deflate's longest match and farthest distance, and its alphabets.
constexpr size_t kMaxMatch = 258;
constexpr size_t kMinMatch = 3;
constexpr size_t kWindow = 32768;
constexpr int kLitLenSymbols = 286;
constexpr int kDistanceSymbols = 30;
constexpr int kEndOfBlock = 256;
constexpr char kFilterUp = 2;  // a PNG row's filter "as the row above"
constexpr int kMaxCodeBits = 15;
constexpr int kHashBits = 12;
constexpr size_t kHashSize = size_t{1} << kHashBits;

constexpr std::array<uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                  15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                  67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                    4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                    9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order the code-length code's lengths are sent in.
constexpr std::array<uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                      11, 4,  12, 3, 13, 2, 14, 1, 15};

// A match's length symbol (257-285) and its extra bits, for every length.
struct LengthCode {
  uint16_t symbol = 0;
  uint8_t extra_bits = 0;
  uint16_t extra = 0;
};

const std::array<LengthCode, kMaxMatch + 1>& length_codes() {
  static const auto table = [] {
    std::array<LengthCode, kMaxMatch + 1> t{};
    for (size_t len = kMinMatch; len <= kMaxMatch; ++len) {
      size_t k = kLengthBase.size() - 1;
      while (kLengthBase[k] > len) --k;
      t[len] = {static_cast<uint16_t>(257 + k), kLengthExtra[k],
                static_cast<uint16_t>(len - kLengthBase[k])};
    }
    return t;
  }();
  return table;
}

struct DistanceCode {
  uint8_t symbol = 0;
  uint8_t extra_bits = 0;
  uint16_t extra = 0;
};

// The distance symbol of every distance: 1..256 by d - 1, farther ones by
// (d - 1) >> 7, as the symbols' ranges split there.
const std::array<uint8_t, 512>& distance_symbols() {
  static const auto table = [] {
    std::array<uint8_t, 512> t{};
    auto symbol_of = [](size_t d) {
      size_t k = kDistanceBase.size() - 1;
      while (kDistanceBase[k] > d) --k;
      return static_cast<uint8_t>(k);
    };
    for (size_t d = 1; d <= 256; ++d) t[d - 1] = symbol_of(d);
    for (size_t hi = 2; hi < 256; ++hi) t[256 + hi] = symbol_of((hi << 7) + 1);
    return t;
  }();
  return table;
}

DistanceCode distance_code(size_t d) {
  const auto& symbols = distance_symbols();
  const size_t k = d <= 256 ? symbols[d - 1] : symbols[256 + ((d - 1) >> 7)];
  return {static_cast<uint8_t>(k), kDistanceExtra[k], static_cast<uint16_t>(d - kDistanceBase[k])};
}

// One step of the parse: a literal byte, or a match of `length` bytes
// `distance` back.
struct Token {
  uint16_t length = 0;  // 0: a literal
  uint16_t literal_or_distance = 0;
};

// How many bytes from `at` on repeat the bytes `distance` before them, up to
// the longest match.
size_t match_length(const unsigned char* data, size_t at, size_t end, size_t distance) {
  const size_t limit = std::min(end - at, kMaxMatch);
  size_t n = 0;
  // Eight bytes at a time while they agree; a repeat of one byte (distance
  // one) compares against that byte eight times over.
  if (distance >= 32) {
    // A row "as the row above" is hundreds of equal bytes: compared a
    // vector at a time.
    while (n + 32 <= limit && std::memcmp(data + at + n, data + at + n - distance, 32) == 0)
      n += 32;
  }
  if (distance >= 8) {
    while (n + 8 <= limit) {
      uint64_t a = 0, b = 0;
      std::memcpy(&a, data + at + n, 8);
      std::memcpy(&b, data + at + n - distance, 8);
      if (a != b) break;
      n += 8;
    }
  } else if (distance == 1) {
    uint64_t run = 0;
    std::memset(&run, data[at - 1], 8);
    while (n + 8 <= limit) {
      uint64_t a = 0;
      std::memcpy(&a, data + at + n, 8);
      if (a != run) break;
      n += 8;
    }
  }
  while (n < limit && data[at + n] == data[at + n - distance]) ++n;
  return n;
}

// Greedy parse: at each place the longest of the row above, a run of the
// byte before, and the last place the next three bytes were seen.
std::vector<Token> parse(const unsigned char* data, size_t n, size_t stride) {
  std::vector<Token> tokens;
  tokens.reserve(64 + n / 64);
  const bool by_rows = stride > 0 && stride <= kWindow;
  // Where each hash was last seen, as `base` + the place: a value below
  // `base` is from an earlier picture and counts as never seen, so the
  // table is not cleared for every picture of a hundred thousand.
  thread_local std::array<uint64_t, kHashSize> seen_at{};
  thread_local uint64_t next_base = 1;
  const uint64_t base = next_base;
  next_base += n + 1;
  struct Seen {
    uint64_t& slot;
    uint64_t base;
    int64_t get() const { return slot >= base ? static_cast<int64_t>(slot - base) : -1; }
    void put(size_t at) { slot = base + at; }
  };
  auto seen = [&](uint32_t h) { return Seen{seen_at[h], base}; };
  auto hash = [&](size_t at) {
    const uint32_t v = data[at] | (uint32_t{data[at + 1]} << 8) | (uint32_t{data[at + 2]} << 16);
    return (v * 0x9E3779B1u) >> (32 - kHashBits);
  };
  size_t at = 0;
  while (at < n) {
    const size_t up = by_rows && at >= stride ? match_length(data, at, n, stride) : 0;
    const size_t run = at >= 1 && up < kMaxMatch ? match_length(data, at, n, 1) : 0;
    size_t len = std::max(up, run);
    size_t distance = up >= run ? stride : 1;
    if (at + kMinMatch <= n) {
      Seen slot = seen(hash(at));
      const int64_t last = slot.get();
      if (len < kMaxMatch && last >= 0 && at - static_cast<size_t>(last) <= kWindow) {
        const size_t d = at - static_cast<size_t>(last);
        const size_t found = match_length(data, at, n, d);
        if (found > len) {
          len = found;
          distance = d;
        }
      }
      slot.put(at);
    }
    if (len < kMinMatch) {
      tokens.push_back({0, data[at++]});
      continue;
    }
    tokens.push_back({static_cast<uint16_t>(len), static_cast<uint16_t>(distance - 1)});
    // The places a short match passes over are remembered too; a long one
    // is a repeat of rows, where they would find nothing better.
    const size_t end = at + len;
    if (len < 32)
      for (size_t k = at + 1; k + kMinMatch <= n && k < end; ++k) seen(hash(k)).put(k);
    at = end;
  }
  return tokens;
}

// Huffman code lengths for `count` symbols of the given frequencies, none
// longer than `limit` bits; false when the tree would be deeper (the caller
// then takes the fixed codes). `used` lists the symbols of non-zero
// frequency in ascending order (a picture's block uses a few dozen of 286).
// Unused symbols get length 0; a single used symbol gets a partner, so that
// every code is complete.
bool huffman_lengths(const uint32_t* freq, std::span<const uint16_t> used, int count, int limit,
                     uint8_t* lengths) {
  struct Node {
    uint64_t weight;
    int32_t left, right;  // children, or -1 and the symbol in `right` for a leaf
  };
  // Kept between calls: a picture's block needs three codes.
  thread_local std::vector<Node> nodes;
  nodes.clear();
  nodes.reserve(2 * used.size());
  for (const uint16_t s : used) nodes.push_back({freq[s], -1, s});
  std::fill(lengths, lengths + count, 0);
  if (nodes.empty()) return true;
  if (nodes.size() == 1) {
    const int other = nodes[0].right == 0 ? 1 : 0;
    lengths[nodes[0].right] = 1;
    lengths[other] = 1;
    return true;
  }
  std::sort(nodes.begin(), nodes.end(), [](const Node& a, const Node& b) {
    return a.weight != b.weight ? a.weight < b.weight : a.right < b.right;
  });
  // Two queues: the leaves in order of weight, and the joined nodes, which
  // are made in order of weight too.
  const size_t leaves = nodes.size();
  size_t next_leaf = 0, next_joined = leaves;
  auto take = [&]() {
    if (next_leaf < leaves &&
        (next_joined >= nodes.size() || nodes[next_leaf].weight <= nodes[next_joined].weight))
      return static_cast<int32_t>(next_leaf++);
    return static_cast<int32_t>(next_joined++);
  };
  while (nodes.size() < 2 * leaves - 1) {
    const int32_t a = take(), b = take();
    nodes.push_back({nodes[a].weight + nodes[b].weight, a, b});
  }
  // Depths from the root down: every joined node comes after its children.
  thread_local std::vector<uint8_t> depth;
  depth.assign(nodes.size(), 0);
  for (size_t i = nodes.size(); i-- > leaves;) {
    const uint8_t d = static_cast<uint8_t>(depth[i] + 1);
    if (d > limit) return false;
    depth[static_cast<size_t>(nodes[i].left)] = d;
    depth[static_cast<size_t>(nodes[i].right)] = d;
  }
  for (size_t i = 0; i < leaves; ++i) lengths[nodes[i].right] = depth[i];
  return true;
}

// Each byte with its bits in the opposite order.
constexpr std::array<uint8_t, 256> kReversedByte = [] {
  std::array<uint8_t, 256> t{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i) r |= ((b >> i) & 1u) << (7 - i);
    t[b] = static_cast<uint8_t>(r);
  }
  return t;
}();

// Canonical codes from lengths, bit-reversed for sending, of the symbols
// `used` lists in ascending order (every other symbol has length 0).
void canonical_codes(const uint8_t* lengths, std::span<const uint16_t> used, uint16_t* codes) {
  std::array<uint16_t, kMaxCodeBits + 2> per_length{}, next{};
  for (const uint16_t s : used) ++per_length[lengths[s]];
  per_length[0] = 0;
  uint16_t code = 0;
  for (int bits = 1; bits <= kMaxCodeBits + 1; ++bits) {
    code = static_cast<uint16_t>((code + per_length[bits - 1]) << 1);
    next[bits] = code;
  }
  for (const uint16_t s : used) {
    const int len = lengths[s];
    if (len == 0) continue;
    const uint32_t c = next[len]++;
    const uint32_t reversed = (uint32_t{kReversedByte[c & 0xFF]} << 8) | kReversedByte[c >> 8];
    codes[s] = static_cast<uint16_t>(reversed >> (16 - len));
  }
}

// The symbols of lengths[0 .. count) whose length is not 0, ascending.
std::vector<uint16_t> coded_symbols(const uint8_t* lengths, int count) {
  std::vector<uint16_t> used;
  for (int s = 0; s < count; ++s)
    if (lengths[s] != 0) used.push_back(static_cast<uint16_t>(s));
  return used;
}

// Bits into a buffer sized beforehand for all that is put: whole 32-bit
// words are stored at once, least significant byte first as deflate reads
// them.
class BitWriter {
 public:
  explicit BitWriter(char* out) : out_(out) {}
  // Up to 32 bits at once.
  void put(uint32_t value, int count) {
    acc_ |= uint64_t{value} << used_;
    used_ += count;
    if (used_ >= 32) {
      for (int i = 0; i < 4; ++i) out_[i] = static_cast<char>((acc_ >> (8 * i)) & 0xFF);
      out_ += 4;
      acc_ >>= 32;
      used_ -= 32;
    }
  }
  // Puts the last bits out, padded to a byte; returns the end of the output.
  char* flush() {
    for (; used_ > 0; used_ -= 8) {
      *out_++ = static_cast<char>(acc_ & 0xFF);
      acc_ >>= 8;
    }
    used_ = 0;
    acc_ = 0;
    return out_;
  }

 private:
  char* out_;
  uint64_t acc_ = 0;
  int used_ = 0;
};

// A block's two codes: lengths and the codes to send.
struct Codes {
  std::array<uint8_t, 288> litlen_lengths{};
  std::array<uint16_t, 288> litlen{};
  std::array<uint8_t, 32> distance_lengths{};
  std::array<uint16_t, 32> distance{};
};

Codes fixed_codes() {
  Codes c;
  for (int s = 0; s < 288; ++s) c.litlen_lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  for (int s = 0; s < 32; ++s) c.distance_lengths[s] = 5;
  canonical_codes(c.litlen_lengths.data(), coded_symbols(c.litlen_lengths.data(), 288),
                  c.litlen.data());
  canonical_codes(c.distance_lengths.data(), coded_symbols(c.distance_lengths.data(), 32),
                  c.distance.data());
  return c;
}

// The code lengths of a dynamic block as sent: run-length symbols of the
// code-length alphabet (16: the previous length 3-6 times, 17: 3-10 zeros,
// 18: 11-138 zeros) with their extra bits.
struct LengthRun {
  uint8_t symbol, extra;
};

// At most one run a length: a block's 286 + 30 lengths.
using LengthRuns = std::array<LengthRun, kLitLenSymbols + kDistanceSymbols>;

// Puts the runs of lengths[0 .. count) into `out`, returns how many.
size_t run_lengths(const uint8_t* lengths, int count, LengthRuns& out) {
  size_t runs = 0;
  for (int i = 0; i < count;) {
    const uint8_t len = lengths[i];
    int n = 1;
    // Eight at a time over the long runs of unused symbols.
    const uint64_t eight = uint64_t{len} * 0x0101010101010101u;
    for (uint64_t next = 0; i + n + 8 <= count; n += 8) {
      std::memcpy(&next, lengths + i + n, 8);
      if (next != eight) break;
    }
    while (i + n < count && lengths[i + n] == len) ++n;
    int left = n;
    if (len == 0) {
      while (left >= 11) {
        const int k = std::min(left, 138);
        out[runs++] = {18, static_cast<uint8_t>(k - 11)};
        left -= k;
      }
      if (left >= 3) {
        out[runs++] = {17, static_cast<uint8_t>(left - 3)};
        left = 0;
      }
    } else {
      out[runs++] = {len, 0};
      --left;
      while (left >= 3) {
        const int k = std::min(left, 6);
        out[runs++] = {16, static_cast<uint8_t>(k - 3)};
        left -= k;
      }
    }
    for (; left > 0; --left) out[runs++] = {len, 0};
    i += n;
  }
  return runs;
}

int extra_bits_of_run(uint8_t symbol) {
  return symbol == 16 ? 2 : symbol == 17 ? 3 : symbol == 18 ? 7 : 0;
}

// The tokens of `count` bytes that repeat the `distance` bytes before
// them, which are `period`: matches of the longest length, the last two
// sharing out what a match alone could not take; fewer than three bytes in
// all are literals.
void append_repeat(std::vector<Token>& tokens, size_t count, size_t distance,
                   std::string_view period) {
  if (count < kMinMatch) {
    for (size_t i = 0; i < count; ++i)
      tokens.push_back({0, static_cast<unsigned char>(period[i % period.size()])});
    return;
  }
  while (count > 0) {
    size_t len = std::min(count, kMaxMatch);
    if (count - len > 0 && count - len < kMinMatch) len = count - kMinMatch;
    tokens.push_back({static_cast<uint16_t>(len), static_cast<uint16_t>(distance - 1)});
    count -= len;
  }
}

// Adler-32 `adler` carried on over `repeats` rows of `stride` bytes "as
// the row above" (2, then zeros), without reading them: each row adds 2 to
// the sum of bytes, and the sum after each of its bytes to the second sum.
uint32_t adler_of_up_rows(uint32_t adler, size_t repeats, size_t stride) {
  constexpr uint64_t kBase = 65521;
  const uint64_t a = adler & 0xFFFF, b = adler >> 16;
  const uint64_t r = repeats % kBase, l = stride % kBase;
  // Row k (1-based) leaves the first sum at a + 2k for all its bytes.
  const uint64_t rr = (uint64_t{repeats} * (uint64_t{repeats} + 1)) % kBase;  // 2 * (1 + ... + R)
  const uint64_t a_after = (a + 2 * r) % kBase;
  const uint64_t b_after = (b + l * ((r * a + rr) % kBase)) % kBase;
  return static_cast<uint32_t>((b_after << 16) | a_after);
}

// One final deflate block of the tokens, in a zlib stream whose data has
// the Adler-32 `adler`.
std::string zlib_of_tokens(const std::vector<Token>& tokens, uint32_t adler);

}  // namespace

std::string zlib_of_scanlines(std::string_view raw, size_t stride) {
  const auto* data = reinterpret_cast<const unsigned char*>(raw.data());
  return zlib_of_tokens(parse(data, raw.size(), stride),
                        libdeflate_adler32(1, raw.data(), raw.size()));
}

std::string zlib_of_rows(std::string_view head, size_t repeats, std::string_view tail,
                         size_t stride) {
  if (stride == 0 || stride > kWindow) {
    // Rows too long to refer back to: the rows written out.
    std::string raw(head);
    std::string up(stride, '\0');
    if (stride > 0) up[0] = kFilterUp;
    for (size_t r = 0; r < repeats; ++r) raw += up;
    raw += tail;
    return zlib_of_scanlines(raw, stride);
  }
  std::vector<Token> tokens =
      parse(reinterpret_cast<const unsigned char*>(head.data()), head.size(), stride);
  uint32_t adler = libdeflate_adler32(1, head.data(), head.size());
  if (repeats > 0) {
    // The first row "as the row above": its filter byte, a zero and a run
    // of zeros; every row after it repeats it.
    std::string up(stride, '\0');
    up[0] = kFilterUp;
    tokens.push_back({0, static_cast<unsigned char>(kFilterUp)});
    if (stride > 1) {
      tokens.push_back({0, 0});
      append_repeat(tokens, stride - 2, 1, std::string_view("\0", 1));
    }
    append_repeat(tokens, (repeats - 1) * stride, stride, up);
    adler = adler_of_up_rows(adler, repeats, stride);
  }
  std::vector<Token> rest =
      parse(reinterpret_cast<const unsigned char*>(tail.data()), tail.size(), stride);
  tokens.insert(tokens.end(), rest.begin(), rest.end());
  adler = libdeflate_adler32(adler, tail.data(), tail.size());
  return zlib_of_tokens(tokens, adler);
}

namespace {

std::string zlib_of_tokens(const std::vector<Token>& tokens, uint32_t adler) {
  const auto& lengths = length_codes();

  // What the tokens use of both alphabets, the symbols used (in the order
  // first met, sorted below), and the bits they need besides.
  std::array<uint32_t, 288> litlen_freq{};
  std::array<uint32_t, 32> distance_freq{};
  std::array<uint16_t, 288> litlen_used{};
  std::array<uint16_t, 32> distance_used{};
  size_t litlen_count = 0, distance_count = 0;
  uint64_t extra_bits = 0;
  auto count_litlen = [&](uint16_t symbol) {
    if (litlen_freq[symbol]++ == 0) litlen_used[litlen_count++] = symbol;
  };
  for (const Token& t : tokens) {
    if (t.length == 0) {
      count_litlen(t.literal_or_distance);
      continue;
    }
    const LengthCode& l = lengths[t.length];
    const DistanceCode d = distance_code(size_t{t.literal_or_distance} + 1);
    count_litlen(l.symbol);
    if (distance_freq[d.symbol]++ == 0) distance_used[distance_count++] = d.symbol;
    extra_bits += l.extra_bits + d.extra_bits;
  }
  count_litlen(kEndOfBlock);
  std::sort(litlen_used.begin(), litlen_used.begin() + static_cast<std::ptrdiff_t>(litlen_count));
  std::sort(distance_used.begin(),
            distance_used.begin() + static_cast<std::ptrdiff_t>(distance_count));
  std::span<const uint16_t> litlen_symbols(litlen_used.data(), litlen_count);
  std::span<const uint16_t> distance_symbols(distance_used.data(), distance_count);

  // A block of codes made for these rows, when it is smaller with its
  // header than one of the fixed codes: for a code's picture a hundred rows
  // "as the row above" cost a few bits each instead of nineteen.
  static const Codes fixed = fixed_codes();
  auto cost = [&](const Codes& c) {
    uint64_t bits = extra_bits;
    for (const uint16_t s : litlen_symbols) bits += uint64_t{litlen_freq[s]} * c.litlen_lengths[s];
    for (const uint16_t s : distance_symbols)
      bits += uint64_t{distance_freq[s]} * c.distance_lengths[s];
    return bits;
  };
  Codes dynamic;
  bool use_dynamic = huffman_lengths(litlen_freq.data(), litlen_symbols, kLitLenSymbols,
                                     kMaxCodeBits, dynamic.litlen_lengths.data()) &&
                     huffman_lengths(distance_freq.data(), distance_symbols, kDistanceSymbols,
                                     kMaxCodeBits, dynamic.distance_lengths.data());
  // A symbol used alone was given a partner of length 1 (symbol 0 or 1),
  // which the codes are counted with too.
  auto with_partner = [](std::span<uint16_t> used, size_t& count) {
    if (count != 1) return;
    const uint16_t other = used[0] == 0 ? 1 : 0;
    used[1] = std::max(used[0], other);
    used[0] = std::min(used[0], other);
    count = 2;
  };
  with_partner(litlen_used, litlen_count);
  with_partner(distance_used, distance_count);
  litlen_symbols = {litlen_used.data(), litlen_count};
  distance_symbols = {distance_used.data(), distance_count};
  int hlit = kLitLenSymbols, hdist = kDistanceSymbols, hclen = 19;
  LengthRuns runs;
  size_t run_count = 0;
  std::array<uint8_t, 19> cl_lengths{};
  std::array<uint16_t, 19> cl_codes{};
  static constexpr std::array<uint16_t, 2> kTokenCode = {0, 1};
  if (use_dynamic) {
    if (distance_symbols.empty()) {
      // No matches: a code of two symbols all the same.
      dynamic.distance_lengths[0] = dynamic.distance_lengths[1] = 1;
      distance_symbols = kTokenCode;
    }
    hlit = std::max<int>(257, litlen_symbols.back() + 1);
    hdist = distance_symbols.back() + 1;
    std::array<uint8_t, kLitLenSymbols + kDistanceSymbols> all{};
    std::copy_n(dynamic.litlen_lengths.begin(), hlit, all.begin());
    std::copy_n(dynamic.distance_lengths.begin(), hdist, all.begin() + hlit);
    run_count = run_lengths(all.data(), hlit + hdist, runs);
    std::array<uint32_t, 19> cl_freq{};
    for (size_t i = 0; i < run_count; ++i) ++cl_freq[runs[i].symbol];
    std::array<uint16_t, 19> cl_used{};
    size_t cl_count = 0;
    for (uint16_t c = 0; c < 19; ++c)
      if (cl_freq[c] > 0) cl_used[cl_count++] = c;
    use_dynamic =
        huffman_lengths(cl_freq.data(), {cl_used.data(), cl_count}, 19, 7, cl_lengths.data());
    if (use_dynamic)
      canonical_codes(cl_lengths.data(), coded_symbols(cl_lengths.data(), 19), cl_codes.data());
  }
  if (use_dynamic) {
    while (hclen > 4 && cl_lengths[kCodeLengthOrder[static_cast<size_t>(hclen - 1)]] == 0) --hclen;
    uint64_t header = 14 + 3 * static_cast<uint64_t>(hclen);
    for (size_t i = 0; i < run_count; ++i)
      header +=
          cl_lengths[runs[i].symbol] + static_cast<uint64_t>(extra_bits_of_run(runs[i].symbol));
    use_dynamic = header + cost(dynamic) < cost(fixed);
    if (use_dynamic) {
      canonical_codes(dynamic.litlen_lengths.data(), litlen_symbols, dynamic.litlen.data());
      canonical_codes(dynamic.distance_lengths.data(), distance_symbols, dynamic.distance.data());
    }
  }
  const Codes& codes = use_dynamic ? dynamic : fixed;

  // The zlib header, the block's header (17 bits, 19 code-length lengths
  // of 3 bits, at most 14 bits for each of 316 lengths), at most 48 bits a
  // token, the last word and the check.
  std::string out(2 + 8 + 2 * (kLitLenSymbols + kDistanceSymbols) + tokens.size() * 6 + 8 + 4,
                  '\0');
  out[0] = '\x78';  // deflate, 32 KB window
  out[1] = '\x01';  // no dictionary, fastest; the header's check
  BitWriter bits(out.data() + 2);
  bits.put(1, 1);  // the final block
  if (use_dynamic) {
    bits.put(2, 2);
    bits.put(static_cast<uint32_t>(hlit - 257), 5);
    bits.put(static_cast<uint32_t>(hdist - 1), 5);
    bits.put(static_cast<uint32_t>(hclen - 4), 4);
    for (int i = 0; i < hclen; ++i)
      bits.put(cl_lengths[kCodeLengthOrder[static_cast<size_t>(i)]], 3);
    for (size_t i = 0; i < run_count; ++i) {
      const LengthRun& r = runs[i];
      bits.put(cl_codes[r.symbol], cl_lengths[r.symbol]);
      if (const int e = extra_bits_of_run(r.symbol)) bits.put(r.extra, e);
    }
  } else {
    bits.put(1, 2);
  }
  for (const Token& t : tokens) {
    if (t.length == 0) {
      bits.put(codes.litlen[t.literal_or_distance], codes.litlen_lengths[t.literal_or_distance]);
      continue;
    }
    const LengthCode& l = lengths[t.length];
    bits.put(codes.litlen[l.symbol] | (uint32_t{l.extra} << codes.litlen_lengths[l.symbol]),
             codes.litlen_lengths[l.symbol] + l.extra_bits);
    const DistanceCode d = distance_code(size_t{t.literal_or_distance} + 1);
    bits.put(codes.distance[d.symbol] | (uint32_t{d.extra} << codes.distance_lengths[d.symbol]),
             codes.distance_lengths[d.symbol] + d.extra_bits);
  }
  bits.put(codes.litlen[kEndOfBlock], codes.litlen_lengths[kEndOfBlock]);
  char* end = bits.flush();
  for (int shift = 24; shift >= 0; shift -= 8) *end++ = static_cast<char>((adler >> shift) & 0xFF);
  out.resize(static_cast<size_t>(end - out.data()));
  return out;
}

}  // namespace
}  // namespace kelv::codes
