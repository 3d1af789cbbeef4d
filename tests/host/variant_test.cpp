#include "host/variant.h"

#include <gtest/gtest.h>

#include <functional>

#include "host/host_error.h"

namespace kelv::host {
namespace {

int error_number(const std::function<void()>& f) {
  try {
    f();
  } catch (const HostError& e) {
    return e.number();
  }
  return 0;
}

TEST(Variant, TextConversionUsesFifteenDigitsAndExponentOnlyBeyond) {
  EXPECT_EQ(Variant().to_text(), "");
  EXPECT_EQ(Variant(true).to_text(), "True");
  EXPECT_EQ(Variant(2.5).to_text(), "2.5");
  EXPECT_EQ(Variant(123456789012345.0).to_text(), "123456789012345");
  EXPECT_EQ(Variant(1e20).to_text(), "1E+20");
  EXPECT_EQ(Variant(0.1 + 0.2).to_text(), "0.3");
  EXPECT_EQ(Variant(-0.0).to_text(), "0");
}

TEST(Variant, IntegerConversionRoundsHalfToEven) {
  EXPECT_EQ(Variant(2.5).to_int32(), 2);
  EXPECT_EQ(Variant(3.5).to_int32(), 4);
  EXPECT_EQ(Variant(-2.5).to_int32(), -2);
  EXPECT_EQ(Variant(" 3.5 ").to_int32(), 4);
  EXPECT_EQ(Variant("1e2").to_int32(), 100);
  EXPECT_EQ(Variant(true).to_int32(), -1);
  EXPECT_EQ(Variant().to_int32(), 0);
  EXPECT_EQ(error_number([] { Variant("A001").to_int32(); }), kTypeMismatch);
  EXPECT_EQ(error_number([] { Variant("").to_int32(); }), kTypeMismatch);
  EXPECT_EQ(error_number([] { Variant(3e9).to_int32(); }), kOverflow);
  EXPECT_EQ(error_number([] { Variant(40000).to_int16(); }), kOverflow);
}

TEST(Variant, BooleanConversion) {
  EXPECT_TRUE(Variant("TRUE").to_bool());
  EXPECT_FALSE(Variant("false").to_bool());
  EXPECT_TRUE(Variant("2").to_bool());
  EXPECT_FALSE(Variant().to_bool());
  EXPECT_FALSE(Variant::null().to_bool());
  EXPECT_EQ(error_number([] { Variant("yes").to_bool(); }), kTypeMismatch);
}

TEST(Variant, CellEquality) {
  EXPECT_TRUE(values_equal(Variant(), Variant("")));
  EXPECT_TRUE(values_equal(Variant(1), Variant(1.0)));
  EXPECT_FALSE(values_equal(Variant(1), Variant("1")));
  EXPECT_FALSE(values_equal(Variant("a"), Variant("A")));
  EXPECT_TRUE(text_equals(Variant(5), "5"));
  EXPECT_FALSE(text_equals(Variant(5), "#"));
}

}  // namespace
}  // namespace kelv::host
