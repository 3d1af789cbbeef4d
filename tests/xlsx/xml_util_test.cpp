#include "xlsx/xml_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace kelv::xlsx {
namespace {

TEST(Numbers, ShortestFormReadsBackBitExact) {
  std::mt19937_64 rng(42);
  std::uniform_int_distribution<uint64_t> bits;
  for (int i = 0; i < 20000; ++i) {
    uint64_t b = bits(rng);
    double d;
    std::memcpy(&d, &b, sizeof d);
    if (!std::isfinite(d)) continue;
    double back = 0;
    ASSERT_TRUE(parse_number(format_number(d), &back)) << format_number(d);
    ASSERT_EQ(std::memcmp(&d, &back, sizeof d), 0) << format_number(d);
  }
  EXPECT_EQ(format_number(0.1), "0.1");
  EXPECT_EQ(format_number(1e20), "1e+20");
  double v = 0;
  EXPECT_TRUE(parse_number("1E+20", &v));
  EXPECT_EQ(v, 1e20);
  EXPECT_FALSE(parse_number("1,5", &v));
}

TEST(Escapes, ControlCharactersAndLiteralEscapesSurvive) {
  const std::string text = std::string("a\x01") + "b_x0041_c\t";
  XmlOut out;
  out.text(text);
  EXPECT_EQ(out.str(), "a_x0001_b_x005F_x0041_c\t");
  EXPECT_EQ(decode_escapes(out.str()), text);
}

}  // namespace
}  // namespace kelv::xlsx
