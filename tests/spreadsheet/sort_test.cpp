#include <algorithm>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "spreadsheet/cells.h"
#include "spreadsheet/text.h"

namespace kelv::spreadsheet {
namespace {

using host::SortHeader;
using host::SortOrder;

class SortTest : public EngineTest {
 protected:
  // Writes a header "key"/"tag" and the given keys with tags 1, 2, ...
  void table(const std::vector<Variant>& keys) {
    cell(1, 1).set_value("key");
    cell(1, 2).set_value("tag");
    for (size_t i = 0; i < keys.size(); ++i) {
      const int r = static_cast<int>(i) + 2;
      put_exact(r, 1, keys[i]);
      cell(r, 2).set_value(static_cast<int>(i) + 1);
    }
    rows = static_cast<int>(keys.size()) + 1;
  }
  // Stores exactly this value (an error, say), past the writing rules.
  void put_exact(int r, int c, const Variant& v) { cells::get(model(), r, c).value = v; }
  void sort_by_key() {
    cell(1, 1).current_region().sort(cell(1, 1), SortOrder::Ascending, SortHeader::Yes);
  }
  std::vector<int> tags() {
    std::vector<int> out;
    for (int r = 2; r <= rows; ++r) out.push_back(cell(r, 2).value().to_int32());
    return out;
  }
  // Sorts the table of these text keys and checks that the rows stand in
  // the order of the keys' whole collation keys, ties in the order they came.
  void expect_collation_order(const std::vector<Variant>& keys, const std::string& what) {
    table(keys);
    sort_by_key();
    std::vector<std::string> collated;
    for (const Variant& k : keys) {
      std::string key;
      text::append_sort_key(k.as_text(), key);
      collated.push_back(key);
    }
    const std::vector<int> got = tags();
    for (size_t i = 1; i < got.size(); ++i) {
      const auto before = static_cast<size_t>(got[i - 1] - 1),
                 after = static_cast<size_t>(got[i] - 1);
      const std::string& a = collated[before];
      const std::string& b = collated[after];
      ASSERT_LE(a, b) << what << ": place " << i << ", " << keys[before].as_text() << " before "
                      << keys[after].as_text();
      if (a == b) {
        ASSERT_LT(got[i - 1], got[i]) << what << ": place " << i;
      }
    }
  }
  int rows = 0;
};

TEST_F(SortTest, NumbersThenTextsThenBooleansThenErrorsThenBlanks) {
  table({Variant("b"), Variant(), Variant(true), Variant(host::CellError::NA), Variant(3.0),
         Variant(false), Variant(-1.0), Variant("a")});
  // The empty key in row 3 still belongs to the region through column B.
  sort_by_key();
  EXPECT_EQ(tags(), (std::vector<int>{7, 5, 8, 1, 6, 3, 4, 2}));
  EXPECT_EQ(cell(1, 1).value(), Variant("key"));
}

TEST_F(SortTest, ErrorsAreAllEqualAndKeepTheirOrder) {
  table({Variant(host::CellError::Value), Variant(host::CellError::Null), Variant(1.0),
         Variant(host::CellError::NA), Variant(host::CellError::Div0)});
  sort_by_key();
  EXPECT_EQ(tags(), (std::vector<int>{3, 1, 2, 4, 5}));
  cell(1, 1).current_region().sort(cell(1, 1), SortOrder::Descending, SortHeader::Yes);
  EXPECT_EQ(tags(), (std::vector<int>{1, 2, 4, 5, 3}));
}

// A file can hold a number that is not one; it sorts with the errors (it is
// saved as #NUM!) and leaves the other numbers in order.
TEST_F(SortTest, ANotANumberFromAFileSortsAsAnError) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  table({Variant(nan), Variant(2.0), Variant(host::CellError::NA), Variant(1.0), Variant(nan),
         Variant("a")});
  sort_by_key();
  EXPECT_EQ(tags(), (std::vector<int>{4, 2, 6, 1, 3, 5}));
}

TEST_F(SortTest, EqualKeysKeepTheirOrder) {
  table({Variant(2.0), Variant(1.0), Variant(2.0), Variant(1.0), Variant(2.0), Variant(1.0)});
  sort_by_key();
  EXPECT_EQ(tags(), (std::vector<int>{2, 4, 6, 1, 3, 5}));
}

TEST_F(SortTest, ChineseTextsInPinyinOrder) {
  table({Variant("张三"), Variant("李四"), Variant("陈五"), Variant("王六"), Variant("安七")});
  sort_by_key();
  // an, chen, li, wang, zhang
  EXPECT_EQ(tags(), (std::vector<int>{5, 3, 2, 4, 1}));
}

TEST_F(SortTest, DigitsThenLatinThenHan) {
  table({Variant("张三"), Variant("b.xlsx"), Variant("初一.xlsx"), Variant("A.xlsx"),
         Variant("2班")});
  sort_by_key();
  EXPECT_EQ(tags(), (std::vector<int>{5, 4, 2, 3, 1}));
}

TEST_F(SortTest, LetterCaseAndWidthAreIgnoredAndTiesKeepOrder) {
  table({Variant("b"), Variant("Ａ"), Variant("B"), Variant("a"), Variant("A")});
  sort_by_key();
  EXPECT_EQ(tags(), (std::vector<int>{2, 4, 5, 1, 3}));
}

TEST_F(SortTest, NumbersAsTextSortAsText) {
  table({Variant("10"), Variant(9.0), Variant("9"), Variant(10.0)});
  sort_by_key();
  EXPECT_EQ(tags(), (std::vector<int>{2, 4, 1, 3}));
}

TEST_F(SortTest, FormatsTravelWithTheirRowsButHeightsDoNot) {
  table({Variant(2.0), Variant(1.0)});
  cell(2, 2).font().set_bold(true);
  ws().rows(2).set_row_height(30);
  sort_by_key();
  EXPECT_EQ(tags(), (std::vector<int>{2, 1}));
  EXPECT_TRUE(cell(3, 2).font().get().bold);
  EXPECT_FALSE(cell(2, 2).font().get().bold);
  EXPECT_EQ(cell(2, 1).row_height(), 30);
  EXPECT_EQ(cell(3, 1).row_height(), 14.25);
}

TEST_F(SortTest, CellsOutsideTheRangeStay) {
  table({Variant(2.0), Variant(1.0)});
  cell(2, 5).set_value("outside");
  block(1, 1, 3, 2).sort(cell(1, 1), SortOrder::Ascending, SortHeader::Yes);
  EXPECT_EQ(cell(2, 5).value(), Variant("outside"));
  EXPECT_EQ(tags(), (std::vector<int>{2, 1}));
}

TEST_F(SortTest, FormulasMoveWithTheirRows) {
  table({Variant("b"), Variant("a"), Variant("b")});
  engine.set_calculation(host::xlCalculationManual);
  block(2, 3, 4, 3).set_formula_r1c1("=COUNTIF(C[-2],RC[-2])");
  block(1, 1, 4, 3).sort(cell(1, 1), SortOrder::Ascending, SortHeader::Yes);
  EXPECT_EQ(cell(2, 3).formula(), "=COUNTIF(A:A,A2)");
  EXPECT_EQ(cell(4, 3).formula(), "=COUNTIF(A:A,A4)");
}

TEST_F(SortTest, OneRowMergesMoveWithTheirRows) {
  table({Variant(2.0), Variant(1.0)});
  cell(2, 3).set_value("x");
  block(2, 3, 2, 4).merge();
  block(1, 1, 3, 4).sort(cell(1, 1), SortOrder::Ascending, SortHeader::Yes);
  EXPECT_EQ(cell(3, 3).value(), Variant("x"));
  EXPECT_EQ(cell(3, 4).merge_area().area(), (host::Rect{3, 3, 3, 4}));
  EXPECT_EQ(cell(2, 4).merge_area().area(), host::Rect::cell(2, 4));
}

TEST_F(SortTest, MergesAcrossRowsAreRefused) {
  table({Variant(2.0), Variant(1.0)});
  block(2, 3, 3, 3).merge();
  const std::string before = dump();
  EXPECT_EQ(error_number(
                [&] { block(1, 1, 3, 3).sort(cell(1, 1), SortOrder::Ascending, SortHeader::Yes); }),
            1004);
  EXPECT_EQ(dump(), before);
}

TEST_F(SortTest, AKeyOutsideTheRangeIsRefused) {
  table({Variant(2.0), Variant(1.0)});
  EXPECT_EQ(error_number(
                [&] { block(1, 1, 3, 1).sort(cell(1, 2), SortOrder::Ascending, SortHeader::Yes); }),
            1004);
}

TEST_F(SortTest, DescendingStillPutsBlanksLast) {
  table({Variant(1.0), Variant(), Variant(3.0), Variant("x")});
  cell(1, 1).current_region().sort(cell(1, 1), SortOrder::Descending, SortHeader::Yes);
  EXPECT_EQ(tags(), (std::vector<int>{4, 3, 1, 2}));
}

// Texts of digits alone are ordered by their bytes, without collation keys;
// the order must be the collation's all the same, and a single other text in
// the column must not mix the two kinds of key.
TEST_F(SortTest, DigitTextsSortAsTheCollationDoes) {
  std::mt19937 random(7);
  std::vector<std::string> texts;
  for (int i = 0; i < 300; ++i) {
    std::string t(1 + random() % 12, '0');
    for (char& ch : t) ch = static_cast<char>('0' + random() % 10);
    texts.push_back(t);
  }
  for (const bool with_other : {false, true}) {
    std::vector<Variant> keys;
    for (const std::string& t : texts) keys.emplace_back(t);
    if (with_other) keys.emplace_back("１２");  // full-width: ties with "12"
    // Ties (repeated numbers) keep the order they came in.
    expect_collation_order(keys, with_other ? "with another text" : "digits alone");
  }
}

// Texts whose collation keys agree over their first bytes and part further
// on (long names of one school, one prefix within another, digits against
// letters past the sixteenth byte) order as their whole keys do.
TEST_F(SortTest, TextsAlikeAtTheStartSortAsTheirWholeKeysDo) {
  std::mt19937 random(11);
  const char* starts[] = {"", "广州市第一中学", "广州市第一中学高三", "Guangzhou No.1 Middle ",
                          "20240000000000000"};
  const char* pieces[] = {"", "a", "A", "１", "1", "班", "十", " ", "z", "Ｚ"};
  std::vector<Variant> keys;
  for (int i = 0; i < 400; ++i) {
    std::string t(starts[random() % 5]);
    for (int k = static_cast<int>(random() % 4); k > 0; --k) t.append(pieces[random() % 10]);
    keys.emplace_back(t.empty() ? std::string("x") : t);
  }
  expect_collation_order(keys, "texts alike at the start");
}

// Many rows share a few texts; case and width variants of one text are one
// key, and descending reverses the keys but not the rows of one key.
TEST_F(SortTest, RepeatedTextsKeepTheirRowsInOrderBothWays) {
  const char* names[] = {"第2中学", "第10中学", "第2中学",  "Ab",
                         "第1中学", "aB",       "第10中学", "ＡＢ"};
  std::vector<Variant> keys;
  for (const char* n : names) keys.emplace_back(n);
  table(keys);
  sort_by_key();
  // Latin before Han; 第10 before 第1 (a digit before a Han character).
  EXPECT_EQ(tags(), (std::vector<int>{4, 6, 8, 2, 7, 5, 1, 3}));
  cell(1, 1).current_region().sort(cell(1, 1), SortOrder::Descending, SortHeader::Yes);
  EXPECT_EQ(tags(), (std::vector<int>{1, 3, 5, 2, 7, 4, 6, 8}));
}

// Texts repeated among numbers, more distinct texts than the table of texts
// starts with: each row finds its own text's key again.
TEST_F(SortTest, RepeatedTextsAmongNumbersFindTheirOwnKeys) {
  std::vector<Variant> keys;
  for (int i = 0; i < 300; ++i) {
    if (i % 3 == 0) {
      keys.emplace_back(300.0 - i);
    } else {
      char text[8];
      std::snprintf(text, sizeof text, "t%d", 100 + i % 97);
      keys.emplace_back(text);
    }
  }
  table(keys);
  sort_by_key();
  std::vector<int> expected(keys.size());
  for (size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<int>(i) + 1;
  std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
    const Variant& x = keys[a - 1];
    const Variant& y = keys[b - 1];
    if (x.is_number() != y.is_number()) return x.is_number();
    return x.is_number() ? x.as_number() < y.as_number() : x.as_text() < y.as_text();
  });
  EXPECT_EQ(tags(), expected);
}

// The only formula left is a pasted copy of one since cleared (and no longer
// on the clipboard): it is still found and adjusted when its row moves.
TEST_F(SortTest, APastedFormulaMovesWithItsRowWhenTheOriginalIsGone) {
  table({Variant("b"), Variant("a")});
  engine.set_calculation(host::xlCalculationManual);
  cell(2, 5).set_formula_r1c1("=RC1");
  cell(2, 5).copy();
  ws().paste(cell(2, 3));
  cell(2, 5).clear();
  cell(1, 1).copy();  // the clipboard holds no formula either
  block(1, 1, 3, 3).sort(cell(1, 1), SortOrder::Ascending, SortHeader::Yes);
  EXPECT_EQ(cell(3, 3).formula(), "=$A3");
  EXPECT_EQ(cell(2, 3).formula(), "");
}

// A table long enough to be sorted on two cores: its keys of every kind,
// drawn again and again from a few dozen values, stand in the same order a
// plain stable sort gives, both ways, and a column beside the sorted ones
// stays where it was.
TEST_F(SortTest, ALongTableSortsAsAStableSortOfItsKeysBothWays) {
  const std::vector<Variant> pool = {Variant(3.5),       Variant(-2.0),
                                     Variant(0.0),       Variant(1e9),
                                     Variant("第2中学"), Variant("第10中学"),
                                     Variant("Ab"),      Variant("aB"),
                                     Variant("ＡＢ"),    Variant("zeta"),
                                     Variant("1203"),    Variant(true),
                                     Variant(false),     Variant(host::CellError::NA),
                                     Variant(),          Variant("王小明"),
                                     Variant("李雷"),    Variant("0001")};
  enum Class { kNumber, kText, kBoolean, kError, kBlank };
  const auto class_of = [](const Variant& v) {
    if (v.is_empty()) return kBlank;
    if (v.is_number()) return kNumber;
    if (v.is_text()) return kText;
    return v.is_bool() ? kBoolean : kError;
  };
  std::vector<std::string> collated(pool.size());
  for (size_t k = 0; k < pool.size(); ++k)
    if (pool[k].is_text()) text::append_sort_key(pool[k].as_text(), collated[k]);
  // <0, 0, >0 as pool value a orders before, with or after b, ascending.
  const auto compare = [&](size_t a, size_t b) {
    const Class ca = class_of(pool[a]), cb = class_of(pool[b]);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == kText) return collated[a] < collated[b] ? -1 : (collated[a] > collated[b] ? 1 : 0);
    if (ca == kNumber || ca == kBoolean) {
      const double x = ca == kNumber ? pool[a].as_number() : pool[a].as_bool();
      const double y = cb == kNumber ? pool[b].as_number() : pool[b].as_bool();
      return x < y ? -1 : (x > y ? 1 : 0);
    }
    return 0;
  };

  constexpr int kRows = 300000;
  std::mt19937 random(20241209);
  std::vector<size_t> drawn(kRows);
  cell(1, 1).set_value("key");
  cell(1, 2).set_value("tag");
  for (int i = 0; i < kRows; ++i) {
    drawn[static_cast<size_t>(i)] = random() % pool.size();
    const int r = i + 2;
    put_exact(r, 1, pool[drawn[static_cast<size_t>(i)]]);
    cell(r, 2).set_value(i + 1);
    cell(r, 3).set_value(r);
  }
  rows = kRows + 1;
  for (const SortOrder order : {SortOrder::Ascending, SortOrder::Descending}) {
    std::vector<int> before = tags();
    std::vector<int> expected = before;
    std::vector<size_t> value_of_tag(kRows + 1);
    for (int r = 2; r <= rows; ++r) {
      const int tag = before[static_cast<size_t>(r - 2)];
      value_of_tag[static_cast<size_t>(tag)] = drawn[static_cast<size_t>(tag - 1)];
    }
    std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
      const size_t x = value_of_tag[static_cast<size_t>(a)],
                   y = value_of_tag[static_cast<size_t>(b)];
      const bool blank_x = class_of(pool[x]) == kBlank, blank_y = class_of(pool[y]) == kBlank;
      if (blank_x || blank_y) return !blank_x && blank_y;
      return order == SortOrder::Ascending ? compare(x, y) < 0 : compare(y, x) < 0;
    });
    block(1, 1, rows, 2).sort(cell(1, 1), order, SortHeader::Yes);
    ASSERT_EQ(tags(), expected);
    for (int r = 2; r <= rows; r += 997) ASSERT_EQ(cell(r, 3).value().to_int32(), r);
  }
}

}  // namespace
}  // namespace kelv::spreadsheet
