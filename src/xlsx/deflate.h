// Raw deflate streams built from pieces compressed independently, so that a
// large part can be compressed on several threads and still be one stream a
// zip reader inflates in one go. Each piece but the last ends on a byte
// boundary with an empty stored block (what a sync flush writes) instead of a
// final block; the last piece ends with the final block. Pieces do not refer
// back into each other, so they may be made in any order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct libdeflate_compressor;

namespace kelv::xlsx {

// The compression level of the parts kelv writes: libdeflate's level 4 makes
// worksheets about 5% larger than zlib's level 6 at four times its speed.
constexpr int kDeflateLevel = 4;
// Past a part's first 64 MB, libdeflate's level 1: a third larger than zlib's
// level 6 at ten times its speed. A school's workbook is as small as ever; a
// province's table (a million examinees, 665 MB of XML) compresses in half
// the time into 90 MB instead of 70 MB.
constexpr int kFastDeflateLevel = 1;
constexpr uint64_t kFastDeflateAfter = uint64_t{64} << 20;

// How much of a part one piece holds: large enough that the lost history at
// each cut costs little, small enough to spread a sheet over the cores.
constexpr size_t kDeflatePiece = size_t{1} << 20;

class Deflater {
 public:
  explicit Deflater(int level = kDeflateLevel);
  ~Deflater();
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Appends `in` to out as deflate blocks: with last, ending in the final
  // block; without, ending on a byte boundary so another piece can follow.
  void compress(std::string_view in, bool last, std::string& out);

 private:
  libdeflate_compressor* c_;
  std::string scratch_;
};

// Bit offsets, in a complete raw deflate stream, of the final block's header
// and of the end of that block. False when the stream is damaged or cut.
bool locate_final_block(std::string_view stream, uint64_t* header_bit, uint64_t* end_bit);

// CRC-32 of data, continuing crc (0 to start).
uint32_t crc32_of(uint32_t crc, std::string_view data);
// CRC-32 of a followed by b, from the CRC-32s of both and b's length.
uint32_t crc32_join(uint32_t crc_a, uint32_t crc_b, uint64_t length_b);

}  // namespace kelv::xlsx
