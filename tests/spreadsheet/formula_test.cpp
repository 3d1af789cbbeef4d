#include "spreadsheet/formula.h"

#include <vector>

#include "engine_fixture.h"
#include "spreadsheet/rows_in_parallel.h"

namespace kelv::spreadsheet {
namespace {

TEST(FormulaText, R1C1ToA1) {
  EXPECT_EQ(r1c1_to_a1("=COUNTIF(C[-5],RC[-5])", 5, 6), "COUNTIF(A:A,A5)");
  EXPECT_EQ(r1c1_to_a1("=COUNTIF(C[3],RC[3])", 2, 1), "COUNTIF(D:D,D2)");
  EXPECT_EQ(r1c1_to_a1("=R1C1+R[-1]C[1]", 3, 3), "$A$1+D2");
  EXPECT_EQ(r1c1_to_a1("=SUM(R[-2]C:R[-1]C)", 3, 2), "SUM(B1:B2)");
  EXPECT_EQ(r1c1_to_a1("=SUM(C[-1]:C)", 1, 3), "SUM(B:C)");
  EXPECT_EQ(r1c1_to_a1("=SUM(R2)", 1, 1), "SUM($2:$2)");
  EXPECT_EQ(r1c1_to_a1("=\"RC[1]\"&RC[1]", 1, 1), "\"RC[1]\"&B1");
  EXPECT_THROW(r1c1_to_a1("=RC[-5]", 1, 3), host::HostError);
}

class CountIfTest : public EngineTest {
 protected:
  void group(std::initializer_list<Variant> values) {
    int r = 1;
    for (const Variant& v : values) cell(r++, 1).set_value(v);
  }
  Variant count_at(int r) {
    cell(r, 6).set_formula_r1c1("=COUNTIF(C[-5],RC[-5])");
    return cell(r, 6).value();
  }
};

TEST_F(CountIfTest, CountsTheWholeColumnAtOnce) {
  group({"学校", "一中", "二中", "一中", "一中"});
  EXPECT_EQ(count_at(2), Variant(3.0));
  EXPECT_EQ(cell(2, 6).formula(), "=COUNTIF(A:A,A2)");
  EXPECT_EQ(count_at(3), Variant(1.0));
  EXPECT_EQ(count_at(1), Variant(1.0));
}

TEST_F(CountIfTest, TextsIgnoreCaseAndNumbersCompareNumerically) {
  group({"abc", "ABC", "Abc", 1, "1", 1.0, "01"});
  EXPECT_EQ(count_at(1), Variant(3.0));
  EXPECT_EQ(count_at(4), Variant(4.0));  // 1, "1", 1.0 and "01" were all written as numbers
  cell(10, 1).set_number_format_local("@");
  cell(10, 1).set_value("1");
  EXPECT_EQ(count_at(10), Variant(1.0));  // a text criterion matches texts only
}

TEST_F(CountIfTest, WildcardsInTheCriterion) {
  group({"a*", "abc", "a", "a~*", "a*"});
  EXPECT_EQ(count_at(1), Variant(5.0));  // every text starting with a
  EXPECT_EQ(count_at(4), Variant(2.0));  // a~* is the literal text a*
}

TEST_F(CountIfTest, AnEmptyCriterionCountsNothing) {
  group({"x", "", "x"});
  EXPECT_EQ(count_at(2), Variant(0.0));
}

TEST_F(CountIfTest, CountsFollowLaterWrites) {
  group({"x", "y"});
  EXPECT_EQ(count_at(1), Variant(1.0));
  cell(3, 1).set_value("X");
  EXPECT_EQ(count_at(1), Variant(2.0));
}

// A column's texts in runs (as after a sort by it), runs of one, the same
// text again after others, a run broken by a number and by an empty cell.
TEST_F(CountIfTest, TextsInRunsAndApartCountAlike) {
  group({"一中", "一中", "一中", "二中", "一中", "三中", 7, "三中", "", "三中", "一中", "一中"});
  EXPECT_EQ(count_at(1), Variant(6.0));
  EXPECT_EQ(count_at(4), Variant(1.0));
  EXPECT_EQ(count_at(6), Variant(3.0));
  EXPECT_EQ(count_at(7), Variant(1.0));
}

// A column long enough to be counted on both cores: a text written in one
// case in the lower half and in another in the upper, a run across the
// middle, numbers and booleans in both halves, each counted once overall.
TEST_F(CountIfTest, ALongColumnCountsBothHalvesTogether) {
  const auto n = static_cast<int32_t>(kManyRows) + 2000;
  const int32_t mid = n / 2;
  enum Kind { kAbc, kSeven, kTrue, kFalse, kMiddle, kOther, kKinds };
  std::vector<Variant> values;
  values.reserve(static_cast<size_t>(n));
  double tally[kKinds] = {};
  int32_t last_of[kKinds] = {};  // the last row of each kind, in the upper half
  for (int32_t r = 1; r <= n; ++r) {
    Kind k = kOther;
    if (r % 1000 == 0)
      k = kAbc;
    else if (r % 1000 == 1)
      k = kSeven;
    else if (r % 1000 == 2)
      k = r % 2000 == 2 ? kTrue : kFalse;
    else if (r > mid - 100 && r <= mid + 100)
      k = kMiddle;
    const Variant v[kKinds] = {r < mid ? "abc" : "ABC", 7, true, false, "中间", "其他"};
    values.push_back(v[k]);
    ++tally[k];
    last_of[k] = r;
  }
  ws().range(cell(1, 1), cell(n, 1)).set_values(values);
  for (int k = kAbc; k < kKinds; ++k)
    EXPECT_EQ(count_at(last_of[k]), Variant(tally[k])) << "kind " << k;
  EXPECT_EQ(count_at(1000), Variant(tally[kAbc]));  // as written in the lower half
}

TEST_F(CountIfTest, ManualCalculationKeepsTheCachedValue) {
  group({"x", "x"});
  engine.set_calculation(host::xlCalculationManual);
  EXPECT_TRUE(count_at(1).is_empty());
  engine.set_calculation(host::xlCalculationAutomatic);
  EXPECT_EQ(cell(1, 6).value(), Variant(2.0));
}

TEST_F(CountIfTest, AddGroupCountsLoop) {
  // Sorted groups A, A, A, B, B, C: the formula in the first row of each
  // group, its value written over the group.
  group({"校", "A", "A", "A", "B", "B", "C"});
  int r = 2;
  while (r <= 7) {
    cell(r, 2).set_formula_r1c1("=COUNTIF(C[-1],RC[-1])");
    const int n = cell(r, 2).value().to_int32();
    ASSERT_GT(n, 0);
    block(r, 2, r + n - 1, 2).set_value(n);
    r += n;
  }
  EXPECT_EQ(cell(2, 2).value(), Variant(3.0));
  EXPECT_EQ(cell(4, 2).value(), Variant(3.0));
  EXPECT_EQ(cell(5, 2).value(), Variant(2.0));
  EXPECT_EQ(cell(7, 2).value(), Variant(1.0));
  EXPECT_EQ(cell(7, 2).formula(), "");
}

TEST_F(CountIfTest, AFormulaThroughFormulaR1C1WithoutEqualsIsAValue) {
  cell(1, 1).set_formula_r1c1("0001");
  EXPECT_EQ(cell(1, 1).value(), Variant(1.0));
  EXPECT_EQ(cell(1, 1).formula(), "");
}

}  // namespace
}  // namespace kelv::spreadsheet
