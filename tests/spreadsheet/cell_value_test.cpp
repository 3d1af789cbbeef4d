#include "spreadsheet/cell_value.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "spreadsheet/model.h"

namespace kelv::spreadsheet {
namespace {

using host::Variant;

TEST(CellValue, EveryVariantComesBackAsItWent) {
  const std::vector<Variant> values = {
      Variant(),
      Variant::null(),
      Variant(true),
      Variant(false),
      Variant(0.0),
      Variant(-2.5e300),
      Variant(host::CellError::NA),
      Variant(""),
      Variant("考生12"),                // 11 bytes: inside the cell
      Variant(std::string(15, 'x')),    // the most held inside
      Variant(std::string(16, 'y')),    // the least held apart
      Variant("440106200801011234"),    // an ID number
      Variant(std::string("a\0b", 3)),  // a NUL is a character like any other
      Variant(std::string(40000, '\xE5')),
  };
  for (const Variant& v : values) {
    const CellValue c(v);
    EXPECT_EQ(c.variant(), v);
    EXPECT_TRUE(c == v);
    EXPECT_EQ(c.kind(), v.kind());
    if (v.is_text()) {
      EXPECT_EQ(c.as_text(), v.as_text());
    }
  }
}

TEST(CellValue, CopiesOwnTheirTextAndMovesLeaveEmpty) {
  for (const std::string& text : {std::string("第3中学"), std::string(30, 'z')}) {
    CellValue a(text);
    CellValue b = a;
    a = CellValue(1.5);
    EXPECT_EQ(b.as_text(), text);
    CellValue c = std::move(b);
    EXPECT_TRUE(b.is_empty());
    EXPECT_EQ(c.as_text(), text);
    c = c;  // NOLINT(clang-diagnostic-self-assign-overloaded)
    EXPECT_EQ(c.as_text(), text);
    std::vector<CellValue> grown;
    for (int i = 0; i < 100; ++i) grown.push_back(c);  // moved as the vector grows
    EXPECT_EQ(grown.front().as_text(), text);
    EXPECT_EQ(grown.back().as_text(), text);
  }
  EXPECT_FALSE(CellValue("1") == CellValue(1.0));
  EXPECT_TRUE(CellValue(std::string(20, 'q')) == CellValue(std::string(20, 'q')));
}

TEST(CellValue, ACellIsThirtyTwoBytesAndItsFormulaIsShared) {
  EXPECT_EQ(sizeof(Cell), 32u);
  Cell a;
  a.formula = std::make_shared<const Formula>(Formula{"SUM(A1:A3)", ""});
  Cell b = a;
  EXPECT_EQ(a.formula.get(), b.formula.get());
  a.formula.reset();
  ASSERT_TRUE(b.formula);
  EXPECT_EQ(b.formula->text, "SUM(A1:A3)");
}

}  // namespace
}  // namespace kelv::spreadsheet
