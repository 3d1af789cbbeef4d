#include "codes/scanline_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <utility>

#include "codes/symbol.h"

namespace kelv::codes {
namespace {

std::string Inflated(const std::string& stream, size_t size) {
  std::string out(size + 1, '\0');
  uLongf n = static_cast<uLongf>(out.size());
  const int r =
      uncompress(reinterpret_cast<Bytef*>(out.data()), &n,
                 reinterpret_cast<const Bytef*>(stream.data()), static_cast<uLong>(stream.size()));
  EXPECT_EQ(r, Z_OK);
  out.resize(n);
  return out;
}

// Rows as a code picture has them: some drawn afresh, most repeating the
// row above or running one byte on.
std::string Rows(std::mt19937& random, size_t stride, size_t rows) {
  std::string raw;
  std::string row(stride, '\0');
  for (size_t r = 0; r < rows; ++r) {
    switch (random() % 4) {
      case 0:  // a fresh row of noise
        for (char& c : row) c = static_cast<char>(random());
        break;
      case 1:  // runs, as bars are
        for (size_t i = 0; i < stride; i += 1 + random() % 9)
          std::fill(row.begin() + static_cast<std::ptrdiff_t>(i), row.end(),
                    static_cast<char>(random() % 2 ? 0xFF : 0));
        break;
      default:  // as the row above
        break;
    }
    raw += row;
  }
  return raw;
}

TEST(ScanlineDeflate, InflatesToTheRowsItWasGiven) {
  std::mt19937 random(7);
  for (const size_t stride :
       {size_t{1}, size_t{3}, size_t{97}, size_t{258}, size_t{259}, size_t{1000}, size_t{40000}}) {
    for (const size_t rows : {size_t{0}, size_t{1}, size_t{2}, size_t{150}}) {
      const std::string raw = Rows(random, stride, rows);
      EXPECT_EQ(Inflated(zlib_of_scanlines(raw, stride), raw.size()), raw)
          << stride << " x " << rows;
    }
  }
}

TEST(ScanlineDeflate, RowsGivenAsHeadRepeatsAndTailInflateToThemWritten) {
  std::mt19937 random(5);
  // Strides and repeat counts where the repeated bytes end just past a
  // longest match (258 + 1, 258 + 2) or are too few for a match at all.
  for (const size_t stride : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{97}, size_t{130},
                              size_t{261}, size_t{40000}}) {
    for (const size_t repeats : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{117}}) {
      const std::string head = Rows(random, stride, 1);
      const std::string tail = Rows(random, stride, repeats % 3 == 0 ? 0 : 9);
      std::string up(stride, '\0');
      up[0] = '\x02';
      std::string raw = head;
      for (size_t r = 0; r < repeats; ++r) raw += up;
      raw += tail;
      EXPECT_EQ(Inflated(zlib_of_rows(head, repeats, tail, stride), raw.size()), raw)
          << stride << " x " << repeats;
    }
  }
}

TEST(ScanlineDeflate, RepeatedRowsCostAlmostNothing) {
  std::mt19937 random(11);
  std::string row(97, '\0');
  for (char& c : row) c = static_cast<char>(random());
  std::string raw = row;
  for (int r = 0; r < 120; ++r) raw += std::string(1, '\x02') + std::string(96, '\0');
  const std::string z = zlib_of_scanlines(raw, 97);
  EXPECT_EQ(Inflated(z, raw.size()), raw);
  // The noise row as literals and a few bits a repeat: as small as zlib's
  // best effort, within a few bytes.
  uLongf best = compressBound(static_cast<uLong>(raw.size()));
  std::string zlib(best, '\0');
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(zlib.data()), &best,
                      reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                      Z_BEST_COMPRESSION),
            Z_OK);
  EXPECT_LE(z.size(), best + 8) << "zlib -9: " << best;
}

// Rows whose only matches are of one distance get a code of their own for
// them, in which that distance has a partner: the codes sent must be the
// ones a reader builds from the lengths, the partner before the distance
// (a run of one byte: distance 1) or after it (rows of two bytes "as the
// row above": distance 2).
TEST(ScanlineDeflate, OneDistanceAloneIsSentInTheCodeAReaderBuilds) {
  const std::string run(30000, '\x05');
  std::string rows = "\x01\x07";
  for (int r = 0; r < 15000; ++r) rows += std::string("\x02\0", 2);
  const std::pair<std::string, std::string> cases[] = {
      {run, zlib_of_scanlines(run, run.size())},
      {rows, zlib_of_rows("\x01\x07", 15000, "", 2)},
  };
  for (const auto& [raw, z] : cases) {
    ASSERT_GT(z.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(z[2]) & 7, 5) << "a final block of codes of its own";
    EXPECT_LT(z.size(), 100u);
    EXPECT_EQ(Inflated(z, raw.size()), raw) << raw.size();
  }
}

TEST(CodeCheck, SurelyEncodableCodesDoEncode) {
  std::mt19937 random(3);
  for (int n = 0; n < 2000; ++n) {
    std::string payload(1 + random() % 48, ' ');
    for (char& c : payload) c = static_cast<char>(0x20 + random() % 95);
    const Symbol s{Symbology::Code128, true, payload};
    ASSERT_TRUE(surely_encodable(s)) << payload;
    Modules m;
    EXPECT_FALSE(encode(s, m)) << payload;
  }
  // Anything else is left to the encoder to decide.
  EXPECT_FALSE(surely_encodable({Symbology::Code128, true, ""}));
  EXPECT_FALSE(surely_encodable({Symbology::Code128, true, "考号"}));
  EXPECT_FALSE(surely_encodable({Symbology::Code128, true, "a\tb"}));
  EXPECT_FALSE(surely_encodable({Symbology::Code128, true, std::string(49, '1')}));
  EXPECT_FALSE(surely_encodable({Symbology::QR, false, "2024010203"}));
}

}  // namespace
}  // namespace kelv::codes
