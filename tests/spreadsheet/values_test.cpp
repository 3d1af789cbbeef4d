#include <limits>
#include <vector>

#include "engine_fixture.h"

namespace kelv::spreadsheet {
namespace {

TEST_F(EngineTest, DecimalTextBecomesANumberInAGeneralCell) {
  cell(1, 1).set_value("0001");
  EXPECT_EQ(cell(1, 1).value(), Variant(1.0));
  cell(1, 2).set_value("-1.5e3");
  EXPECT_EQ(cell(1, 2).value(), Variant(-1500.0));
  cell(1, 3).set_value("1 000");
  EXPECT_EQ(cell(1, 3).value(), Variant("1 000"));
  cell(1, 4).set_value("1.2.3");
  EXPECT_EQ(cell(1, 4).value(), Variant("1.2.3"));
}

TEST_F(EngineTest, TextCellsKeepTheTextAsWritten) {
  cell(2, 1).set_number_format_local("@");
  cell(2, 1).set_value("0001");
  EXPECT_EQ(cell(2, 1).value(), Variant("0001"));
  cell(2, 1).set_value("true");
  EXPECT_EQ(cell(2, 1).value(), Variant("true"));
}

TEST_F(EngineTest, NewCellsTakeTheColumnsTextFormat) {
  ws().columns(6).set_number_format_local("@");
  cell(5, 6).set_value("0001");
  EXPECT_EQ(cell(5, 6).value(), Variant("0001"));
  EXPECT_EQ(cell(5, 6).number_format(), "@");
  EXPECT_EQ(cell(5, 7).number_format(), "General");
}

TEST_F(EngineTest, RowFormatWinsOverColumnFormatForNewCells) {
  ws().columns(2).set_number_format_local("@");
  ws().rows(3).set_number_format_local("G/通用格式");
  cell(3, 2).set_value("0001");
  EXPECT_EQ(cell(3, 2).value(), Variant(1.0));
  cell(4, 2).set_value("0001");
  EXPECT_EQ(cell(4, 2).value(), Variant("0001"));
}

TEST_F(EngineTest, ApostropheEntersText) {
  cell(1, 1).set_value("'0001");
  EXPECT_EQ(cell(1, 1).value(), Variant("0001"));
  cell(1, 2).set_value("'=1+1");
  EXPECT_EQ(cell(1, 2).value(), Variant("=1+1"));
  EXPECT_EQ(cell(1, 2).formula(), "");
}

TEST_F(EngineTest, BooleansInAnyCase) {
  cell(1, 1).set_value("tRuE");
  EXPECT_EQ(cell(1, 1).value(), Variant(true));
  cell(1, 2).set_value("FALSE");
  EXPECT_EQ(cell(1, 2).value(), Variant(false));
  cell(1, 3).set_value("yes");
  EXPECT_EQ(cell(1, 3).value(), Variant("yes"));
}

TEST_F(EngineTest, ValuesNeverBecomeFormulas) {
  cell(1, 1).set_value("=1+1");
  EXPECT_EQ(cell(1, 1).value(), Variant("=1+1"));
  EXPECT_EQ(cell(1, 1).formula(), "");
}

TEST_F(EngineTest, WritingEmptyClearsTheValueAndKeepsTheFormat) {
  cell(1, 1).font().set_bold(true);
  cell(1, 1).set_value(42);
  cell(1, 1).set_value("");
  EXPECT_TRUE(cell(1, 1).value().is_empty());
  EXPECT_TRUE(cell(1, 1).font().get().bold);
}

TEST_F(EngineTest, ValueOverAFormulaReplacesIt) {
  cell(1, 1).set_value("x");
  cell(1, 2).set_formula_r1c1("=COUNTIF(C[-1],RC[-1])");
  EXPECT_EQ(cell(1, 2).formula(), "=COUNTIF(A:A,A1)");
  cell(1, 2).set_value(5);
  EXPECT_EQ(cell(1, 2).formula(), "");
  EXPECT_EQ(cell(1, 2).value(), Variant(5.0));
}

TEST_F(EngineTest, AddressesOutsideTheSheetAreRefused) {
  EXPECT_EQ(error_number([&] { cell(0, 1); }), 1004);
  EXPECT_EQ(error_number([&] { cell(1, 16385); }), 1004);
  EXPECT_EQ(error_number([&] { cell(1048577, 1); }), 1004);
}

TEST_F(EngineTest, InfiniteAndNotANumberAreOverflows) {
  cell(1, 1).set_value(2.5);
  for (double bad :
       {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_EQ(error_number([&] { cell(1, 1).set_value(bad); }), 6);
    EXPECT_EQ(error_number([&] { block(1, 1, 2, 2).set_value(bad); }), 6);
  }
  EXPECT_EQ(cell(1, 1).value(), Variant(2.5));
  EXPECT_TRUE(cell(2, 2).value().is_empty());
}

TEST_F(EngineTest, NumbersTooLongForFifteenDigitsStayText) {
  cell(1, 1).set_value("110101199001011234");
  EXPECT_EQ(cell(1, 1).value(), Variant("110101199001011234"));
  cell(1, 2).set_value("123456789012345");
  EXPECT_EQ(cell(1, 2).value(), Variant(123456789012345.0));
  cell(1, 3).set_value("0000123456789012345");
  EXPECT_EQ(cell(1, 3).value(), Variant(123456789012345.0));
  cell(1, 4).set_value("1.50000000000000000000");
  EXPECT_EQ(cell(1, 4).value(), Variant(1.5));
}

// A column written in one call ends as the same cells written one by one:
// the formats of the column and of the row, text conversion, apostrophes,
// blanks clearing a value and its formula, cells before and after stored ones.
TEST_F(EngineTest, ValuesWrittenInOneCallMatchCellByCellWrites) {
  for (int32_t c : {2, 3}) {
    ws().columns(c).set_number_format_local("@");
    ws().rows(4).set_number_format_local("G/通用格式");
    cell(3, c).set_formula_r1c1("=1+1");
    cell(5, c - 1).set_value("left");
    cell(5, c + 1).set_value("right");
  }
  const std::vector<Variant> values = {Variant("0001"), Variant(2.5),     Variant(),
                                       Variant("0004"), Variant("'0005"), Variant("TRUE")};
  for (size_t i = 0; i < values.size(); ++i)
    cell(static_cast<int32_t>(i) + 1, 2).set_value(values[i]);
  ws().range(cell(1, 3), cell(6, 3)).set_values(values);
  for (int32_t r = 1; r <= 6; ++r) {
    EXPECT_EQ(cell(r, 3).value(), cell(r, 2).value()) << r;
    EXPECT_EQ(cell(r, 3).formula(), cell(r, 2).formula()) << r;
    EXPECT_EQ(cell(r, 3).number_format(), cell(r, 2).number_format()) << r;
  }
  EXPECT_EQ(cell(5, 4).value(), Variant("right"));
  EXPECT_THROW(ws().range(cell(1, 3), cell(2, 3)).set_values(values), host::HostError);
  EXPECT_THROW(ws().columns(3).set_values(values), host::HostError);
}

// A column written down a long table grows its rows on two threads first:
// every row still gets its own values, in column order, whether it was
// stored, holds a cell right of the block, lies past the last stored row or
// is left blank.
TEST_F(EngineTest, AColumnWrittenDownALongTableGivesEveryRowItsValues) {
  constexpr int32_t kRows = 300000;
  std::vector<Variant> names, pairs;
  for (int32_t r = 1; r <= kRows - 20000; ++r) names.emplace_back("考生" + std::to_string(r));
  ws().range(cell(1, 1), cell(kRows - 20000, 1)).set_values(names);
  cell(77777, 9).set_value("beyond");  // a cell right of the block
  const auto number = [](int32_t r) { return r % 1000 == 0 ? Variant() : Variant(r); };
  const auto text = [](int32_t r) { return r % 3 == 0 ? Variant(std::string("x")) : Variant(); };
  for (int32_t r = 1; r <= kRows; ++r) {
    pairs.push_back(number(r));
    pairs.push_back(text(r));
  }
  ws().range(cell(1, 5), cell(kRows, 6)).set_values(pairs);
  for (int32_t r : {1, 2, 3, 999, 1000, 65536, 75000, 77777, 150000, 150001, kRows - 20000,
                    kRows - 19999, kRows - 1000, kRows}) {
    EXPECT_EQ(cell(r, 5).value(), number(r)) << r;
    EXPECT_EQ(cell(r, 6).value(), text(r)) << r;
  }
  EXPECT_EQ(cell(77777, 9).value(), Variant("beyond"));
  const auto& rows = Engine::model_of(ws()).rows;
  ASSERT_EQ(rows.size(), static_cast<size_t>(kRows));
  for (const Row& row : rows) {
    ASSERT_TRUE(std::is_sorted(row.cells.begin(), row.cells.end(),
                               [](const Cell& a, const Cell& b) { return a.col < b.col; }));
  }
}

// A block written over a row that already holds some of its cells: the new
// cells go in between the stored ones, which keep their formats, and the
// row stays in column order.
TEST_F(EngineTest, ABlockFillsTheGapsOfARowInColumnOrder) {
  cell(2, 3).set_value("old");
  cell(2, 3).font().set_bold(true);
  cell(2, 6).set_value("keep");
  cell(2, 9).set_value("far");
  ws().columns(4).set_number_format_local("@");
  block(2, 2, 2, 5).set_value("x");
  block(2, 7, 2, 8).set_value(1.0);
  std::vector<int32_t> stored;
  for (const Cell& c : model().rows[1].cells) stored.push_back(c.col);
  EXPECT_EQ(stored, (std::vector<int32_t>{2, 3, 4, 5, 6, 7, 8, 9}));
  for (int32_t c : {2, 3, 4, 5}) EXPECT_EQ(cell(2, c).value(), Variant("x")) << c;
  EXPECT_TRUE(cell(2, 3).font().get().bold);
  EXPECT_FALSE(cell(2, 5).font().get().bold);
  EXPECT_EQ(cell(2, 4).number_format(), "@");
  EXPECT_EQ(cell(2, 6).value(), Variant("keep"));
  EXPECT_EQ(cell(2, 8).value(), Variant(1.0));
  EXPECT_EQ(cell(2, 9).value(), Variant("far"));
}

}  // namespace
}  // namespace kelv::spreadsheet
