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
  EXPECT_EQ(format_number(1e20), "1E+20");
  double v = 0;
  EXPECT_TRUE(parse_number("1E+20", &v));
  EXPECT_EQ(v, 1e20);
  EXPECT_FALSE(parse_number("1,5", &v));
}

// Numbers are written as the office suites write them: the fewest digits
// that read back, never the binary expansion of a large double. An 18-digit
// ID read as a number keeps the 16 digits it still has instead of gaining
// invented ones (...170112 for ...170103).
TEST(Numbers, WrittenAsTheOfficeSuitesWriteThem) {
  EXPECT_EQ(format_number(410102199001170103.0), "4.101021990011701E+17");
  EXPECT_EQ(format_number(12345678901234567.0), "1.2345678901234568E+16");
  EXPECT_EQ(format_number(1234567890123456.0), "1234567890123456");
  EXPECT_EQ(format_number(45292.0), "45292");
  EXPECT_EQ(format_number(-2.5), "-2.5");
  EXPECT_EQ(format_number(45292.354166666664), "45292.354166666664");
  EXPECT_EQ(format_number(1e15), "1000000000000000");
  EXPECT_EQ(format_number(1e16), "1E+16");
  EXPECT_EQ(format_number(0.00001), "0.00001");
  EXPECT_EQ(format_number(0.000001), "1E-6");
  EXPECT_EQ(format_number(-1.5e-7), "-1.5E-7");
  EXPECT_EQ(format_number(-0.0), "0");
  EXPECT_EQ(format_number(1.7976931348623157e308), "1.7976931348623157E+308");
  // Whole numbers of every size up to 1E+15 are their digits, on either
  // side of the quick way for them.
  for (double p = 1; p <= 1e15; p *= 10) {
    for (double w : {p, p - 1, p + 1, -p, 100000 * p / 1e15 + 0.5}) {
      if (w != std::trunc(w)) {
        EXPECT_NE(format_number(w).find('.'), std::string::npos) << w;
        continue;
      }
      EXPECT_EQ(format_number(w), std::to_string(static_cast<long long>(w))) << w;
    }
  }
  EXPECT_EQ(format_number(999999999999999.0), "999999999999999");
  EXPECT_EQ(format_number(-1e15), "-1000000000000000");
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
