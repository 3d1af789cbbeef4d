#include <functional>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "spreadsheet/model.h"

namespace kelv::spreadsheet {
namespace {

using host::LookAt;
using host::Rect;
using host::SortHeader;
using host::SortOrder;

TEST_F(EngineTest, CurrentRegionGrowsThroughDiagonalNeighbours) {
  cell(2, 2).set_value("a");
  cell(3, 3).set_value("b");  // touches B2 only at a corner
  cell(4, 4).set_value("c");
  EXPECT_EQ(cell(2, 2).current_region().area(), (Rect{2, 2, 4, 4}));
  EXPECT_EQ(cell(4, 4).current_region().area(), (Rect{2, 2, 4, 4}));
}

TEST_F(EngineTest, CurrentRegionStopsAtEmptyRowsAndColumns) {
  for (int r = 1; r <= 3; ++r)
    for (int c = 1; c <= 2; ++c) cell(r, c).set_value(r * 10 + c);
  cell(5, 1).set_value("after a gap");
  cell(1, 4).set_value("beyond a gap");
  EXPECT_EQ(cell(1, 1).current_region().area(), (Rect{1, 1, 3, 2}));
  EXPECT_EQ(cell(5, 1).current_region().area(), Rect::cell(5, 1));
}

TEST_F(EngineTest, CurrentRegionOfAnEmptyCellBesideATable) {
  cell(1, 1).set_value("h");
  cell(2, 1).set_value(1);
  // The ring around C3 (B2:D4) is empty, so C3 stays alone.
  EXPECT_EQ(cell(3, 3).current_region().area(), Rect::cell(3, 3));
  // B3 touches A2 diagonally.
  EXPECT_EQ(cell(3, 2).current_region().area(), (Rect{1, 1, 3, 2}));
}

TEST_F(EngineTest, EmptyTextAndFormatsDoNotExtendTheRegion) {
  cell(1, 1).set_value("x");
  cell(2, 1).font().set_bold(true);
  EXPECT_EQ(cell(1, 1).current_region().area(), Rect::cell(1, 1));
}

// The region of a cell is remembered between questions; every way a cell's
// value can come or go must make the next question see the change.
TEST_F(EngineTest, CurrentRegionFollowsEveryChangeOfTheCells) {
  struct Change {
    const char* what;
    std::function<void()> change;
    Rect region;  // of A1 afterwards
  };
  const std::vector<Change> changes = {
      {"a value below", [&] { cell(4, 1).set_value("x"); }, Rect{1, 1, 4, 2}},
      {"values beside",
       [&] {
         block(1, 3, 2, 3).set_values({Variant(1), Variant(2)});
       },
       Rect{1, 1, 3, 3}},
      {"a formula", [&] { cell(4, 2).set_formula_r1c1("=COUNTIF(C[-1],RC[-1])"); },
       Rect{1, 1, 4, 2}},
      {"contents cleared", [&] { block(3, 1, 3, 2).clear_contents(); }, Rect{1, 1, 2, 2}},
      {"cells cleared", [&] { block(2, 1, 3, 2).clear(); }, Rect{1, 1, 1, 2}},
      {"a row deleted", [&] { block(2, 1, 2, 2).delete_shift_up(); }, Rect{1, 1, 2, 2}},
      {"texts replaced by nothing",
       [&] {
         ws().used_range().replace("a3", "", LookAt::Whole);
         ws().used_range().replace("b3", "", LookAt::Whole);
       },
       Rect{1, 1, 2, 2}},
      {"a block pasted",
       [&] {
         block(1, 1, 3, 2).copy();
         ws().paste(cell(4, 1));
       },
       Rect{1, 1, 6, 2}},
      {"values pasted",
       [&] {
         cell(1, 1).copy();
         cell(4, 3).paste_special_values();
       },
       Rect{1, 1, 4, 3}},
      {"rows sorted",
       [&] {
         // An empty row 2 ends the region; sorting puts it last.
         block(2, 1, 2, 2).clear_contents();
         EXPECT_EQ(cell(1, 1).current_region().area(), (Rect{1, 1, 1, 2}));
         block(2, 1, 3, 2).sort(cell(2, 1), SortOrder::Ascending, SortHeader::No);
       },
       Rect{1, 1, 2, 2}},
      {"a merge keeping one value", [&] { block(2, 1, 3, 2).merge(); }, Rect{1, 1, 2, 2}},
  };
  for (const Change& c : changes) {
    ws().used_range().clear();
    for (int r = 1; r <= 3; ++r)
      for (int k = 1; k <= 2; ++k)
        cell(r, k).set_value(std::string(1, static_cast<char>('a' + k - 1)) + std::to_string(r));
    ASSERT_EQ(cell(1, 1).current_region().area(), (Rect{1, 1, 3, 2})) << c.what;
    c.change();
    EXPECT_EQ(cell(1, 1).current_region().area(), c.region) << c.what;
  }
}

// A table sorted under its headings keeps its region, asked for from any
// heading before and after; the next change of the cells is seen as ever.
// Rows with a blank key keep it too: they go to the bottom, and a row whose
// one value is in the last column still holds the table's rows together.
// A table whose heading has a gap is found again.
TEST_F(EngineTest, ASortedTableHasTheRegionItHadUntilItsCellsChange) {
  struct Table {
    const char* what;
    bool heading_gap, blank_key, lone_value = false;
  };
  for (const Table& t :
       {Table{"full", false, false}, Table{"heading gap", true, false},
        Table{"blank key", false, true}, Table{"blank key, one value", false, true, true}}) {
    ws().used_range().clear();
    for (const int c : {1, 2, 3}) cell(1, c).set_value(c == 1 ? "h1" : c == 2 ? "h2" : "h3");
    if (t.heading_gap) cell(1, 2).clear_contents();
    for (int r = 2; r <= 6; ++r) {
      cell(r, 1).set_value(10 - r);
      cell(r, 2).set_value("b");
      cell(r, 3).set_value(r);
    }
    if (t.blank_key) cell(3, 1).clear_contents();
    if (t.lone_value) cell(3, 2).clear_contents();
    const Rect table{1, 1, 6, 3};
    ASSERT_EQ(cell(1, 1).current_region().area(), table) << t.what;
    ASSERT_EQ(cell(1, 3).current_region().area(), table) << t.what;
    cell(1, 1).current_region().sort(cell(1, 1), SortOrder::Ascending, SortHeader::Yes);
    EXPECT_EQ(cell(2, 1).value(), Variant(4)) << t.what;
    if (t.blank_key) {
      EXPECT_EQ(cell(6, 3).value(), Variant(3)) << t.what;
    }
    for (int c = 1; c <= 3; ++c)
      EXPECT_EQ(cell(1, c).current_region().area(), table) << t.what << ", column " << c;
    cell(4, 4).set_value("beside");
    EXPECT_EQ(cell(1, 1).current_region().area(), (Rect{1, 1, 6, 4})) << t.what;
  }
}

// Each heading of a table has the table's region, found once from one of
// them. A cell of the same row where that row is not full across the region
// is grown from itself: D1 below lies inside A1's region (a chain of cells
// reaching down to D5) yet touches none of it.
TEST_F(EngineTest, HeadingsOfATableShareItsRegion) {
  for (int c = 1; c <= 3; ++c) cell(1, c).set_value(c);
  for (int r = 2; r <= 4; ++r) cell(r, 2).set_value(r);
  ASSERT_EQ(cell(1, 1).current_region().area(), (Rect{1, 1, 4, 3}));
  EXPECT_EQ(cell(1, 3).current_region().area(), (Rect{1, 1, 4, 3}));
  EXPECT_EQ(cell(1, 2).current_region().area(), (Rect{1, 1, 4, 3}));

  ws().used_range().clear();
  for (int k = 1; k <= 4; ++k) cell(k + 1, k).set_value("chain");
  cell(1, 1).set_value("start");
  ASSERT_EQ(cell(1, 1).current_region().area(), (Rect{1, 1, 5, 4}));
  EXPECT_EQ(cell(1, 4).current_region().area(), Rect::cell(1, 4));
}

TEST_F(EngineTest, CurrentRegionSeesAModelChangedDirectly) {
  cell(1, 1).set_value("h");
  ASSERT_EQ(cell(1, 1).current_region().area(), Rect::cell(1, 1));
  Sheet& model = Engine::model_of(ws());
  model.rows.resize(2);
  Cell below;
  below.col = 1;
  below.value = Variant("v");
  model.rows[1].cells.push_back(below);
  Engine::model_changed(ws());
  EXPECT_EQ(cell(1, 1).current_region().area(), (Rect{1, 1, 2, 1}));
}

// A table long enough to be searched on both cores: its region ends at the
// first empty row, whichever half of the rows holds it and though the rows
// past it hold values, and a value beside the table far down takes in its
// column.
TEST_F(EngineTest, ALongTablesRegionEndsAtItsFirstEmptyRowAndTakesInAColumnFarDown) {
  constexpr int32_t kRows = 600000;
  block(1, 1, kRows, 3).set_values(std::vector<Variant>(size_t{kRows} * 3, Variant(1.0)));
  block(100000, 1, 100000, 3).clear_contents();
  block(400000, 1, 400000, 3).clear_contents();
  EXPECT_EQ(cell(1, 1).current_region().area(), (Rect{1, 1, 99999, 3}));
  EXPECT_EQ(cell(kRows, 1).current_region().area(), (Rect{400001, 1, kRows, 3}));
  cell(100000, 2).set_value("back");
  EXPECT_EQ(cell(1, 1).current_region().area(), (Rect{1, 1, 399999, 3}));
  cell(400000, 3).set_value("back");
  EXPECT_EQ(cell(1, 1).current_region().area(), (Rect{1, 1, kRows, 3}));
  cell(550000, 4).set_value("beside");
  EXPECT_EQ(cell(1, 1).current_region().area(), (Rect{1, 1, kRows, 4}));
  cell(kRows + 1, 5).set_value("at a corner");
  EXPECT_EQ(cell(1, 1).current_region().area(), (Rect{1, 1, kRows + 1, 5}));
}

TEST_F(EngineTest, UsedRangeCoversValuesAndFormats) {
  EXPECT_EQ(ws().used_range().area(), Rect::cell(1, 1));
  cell(3, 2).set_value(1);
  cell(7, 5).font().set_bold(true);
  EXPECT_EQ(ws().used_range().area(), (Rect{3, 2, 7, 5}));
  cell(7, 5).clear();
  EXPECT_EQ(ws().used_range().area(), Rect::cell(3, 2));
}

TEST_F(EngineTest, ClearRemovesValuesFormatsAndMerges) {
  block(1, 1, 2, 2).merge();
  cell(1, 1).set_value("title");
  cell(1, 1).font().set_bold(true);
  cell(3, 3).set_value("kept");
  cell(1, 1).clear();
  EXPECT_TRUE(cell(1, 1).value().is_empty());
  EXPECT_FALSE(cell(1, 1).font().get().bold);
  EXPECT_EQ(cell(1, 1).merge_area().area(), Rect::cell(1, 1));
  EXPECT_EQ(cell(3, 3).value(), Variant("kept"));
}

TEST_F(EngineTest, ClearContentsKeepsFormatsAndMerges) {
  block(1, 1, 1, 3).merge();
  cell(1, 1).set_value("title");
  cell(1, 1).set_horizontal_alignment(host::xlCenter);
  cell(2, 1).set_formula_r1c1("=COUNTIF(C,R1C)");
  block(1, 1, 2, 3).clear_contents();
  EXPECT_TRUE(cell(1, 1).value().is_empty());
  EXPECT_EQ(cell(2, 1).formula(), "");
  EXPECT_EQ(cell(1, 1).horizontal_alignment(), host::xlCenter);
  EXPECT_EQ(cell(1, 2).merge_area().area(), (Rect{1, 1, 1, 3}));
}

TEST_F(EngineTest, ClearingAWholeColumnDropsItsFormat) {
  ws().columns(2).font().set_color_index(5);
  cell(4, 2).set_value("x");
  EXPECT_EQ(cell(4, 2).font().get().color_index, 5);
  ws().columns(2).clear();
  EXPECT_TRUE(cell(4, 2).value().is_empty());
  EXPECT_EQ(cell(4, 2).font().get().color_index, 0);
  EXPECT_EQ(cell(9, 2).font().get().color_index, 0);
}

TEST_F(EngineTest, ClearedCellsUnderAFormattedColumnShowTheDefault) {
  ws().columns(2).font().set_bold(true);
  block(1, 1, 2, 3).clear();
  EXPECT_FALSE(cell(1, 2).font().get().bold);
  EXPECT_TRUE(cell(3, 2).font().get().bold);
}

TEST_F(EngineTest, DeleteShiftUpMovesCellsBelowWithinTheColumns) {
  for (int r = 1; r <= 5; ++r) {
    cell(r, 1).set_value(r);
    cell(r, 2).set_value(r * 10);
    cell(r, 3).set_value(r * 100);
  }
  cell(4, 2).font().set_bold(true);
  block(2, 2, 3, 2).delete_shift_up();
  EXPECT_EQ(cell(2, 2).value(), Variant(40.0));
  EXPECT_TRUE(cell(2, 2).font().get().bold);
  EXPECT_EQ(cell(3, 2).value(), Variant(50.0));
  EXPECT_TRUE(cell(4, 2).value().is_empty());
  EXPECT_TRUE(cell(5, 2).value().is_empty());
  // Other columns stay where they were.
  EXPECT_EQ(cell(2, 1).value(), Variant(2.0));
  EXPECT_EQ(cell(2, 3).value(), Variant(200.0));
}

TEST_F(EngineTest, DeleteShiftUpMovesMergesBelowAndRefusesToCutOne) {
  block(5, 1, 5, 2).merge();
  block(2, 1, 2, 2).delete_shift_up();
  EXPECT_EQ(cell(4, 1).merge_area().area(), (Rect{4, 1, 4, 2}));
  // Deleting only column A under a merge spanning A:B would cut it.
  const std::string before = dump();
  EXPECT_EQ(error_number([&] { block(1, 1, 1, 1).delete_shift_up(); }), 1004);
  EXPECT_EQ(dump(), before);
  // A merge reaching into the deleted rows from above.
  block(7, 4, 9, 4).merge();
  EXPECT_EQ(error_number([&] { block(8, 4, 8, 4).delete_shift_up(); }), 1004);
}

TEST_F(EngineTest, DeleteShiftUpOfSettingsRowsKeepsLaterRows) {
  // The catalogue delete: Range(Cells(r, 4), Cells(r, 40)).Delete xlUp.
  for (int r = 2; r <= 4; ++r)
    for (int c = 4; c <= 40; ++c) cell(r, c).set_value(r * 1000 + c);
  cell(3, 1).set_value("left alone");
  block(3, 4, 3, 40).delete_shift_up();
  EXPECT_EQ(cell(3, 4).value(), Variant(4004.0));
  EXPECT_EQ(cell(3, 40).value(), Variant(4040.0));
  EXPECT_TRUE(cell(4, 4).value().is_empty());
  EXPECT_EQ(cell(3, 1).value(), Variant("left alone"));
}

TEST_F(EngineTest, WholeColumnsAndRowsTouchOnlyStoredCells) {
  cell(3, 1).set_value("a");
  ws().columns(2).font().set_bold(true);
  ws().columns(5).clear_contents();
  ws().columns(6).clear();
  EXPECT_EQ(model().rows.size(), 3u);
  EXPECT_TRUE(cell(500000, 2).font().get().bold);
  // A formatted row over a formatted column: the crossing cell has both.
  ws().rows(7).font().set_color_index(3);
  EXPECT_TRUE(cell(7, 2).font().get().bold);
  EXPECT_EQ(cell(7, 2).font().get().color_index, 3);
  EXPECT_EQ(cell(7, 9).font().get().color_index, 3);
  EXPECT_FALSE(cell(7, 9).font().get().bold);
  EXPECT_EQ(model().rows.size(), 7u);
  EXPECT_EQ(model().rows[6].cells.size(), 1u);
}

TEST_F(EngineTest, NonEmptyValuesAreNotWrittenIntoWholeColumns) {
  cell(2, 3).set_value("x");
  EXPECT_EQ(error_number([&] { ws().columns(3).set_value("y"); }), 1004);
  ws().columns(3).set_value("");
  EXPECT_TRUE(cell(2, 3).value().is_empty());
}

TEST_F(EngineTest, MergeKeepsTheTopLeftValueOnly) {
  cell(1, 1).set_value("a");
  cell(1, 2).set_value("b");
  block(1, 1, 2, 2).merge();
  EXPECT_EQ(cell(2, 2).merge_area().area(), (Rect{1, 1, 2, 2}));
  EXPECT_EQ(cell(1, 1).value(), Variant("a"));
  EXPECT_TRUE(cell(1, 2).value().is_empty());
  EXPECT_EQ(cell(3, 3).merge_area().area(), Rect::cell(3, 3));
}

TEST_F(EngineTest, MergingOverAnOldMergeReplacesIt) {
  block(1, 1, 1, 3).merge();
  block(1, 2, 2, 2).merge();
  EXPECT_EQ(cell(1, 1).merge_area().area(), Rect::cell(1, 1));
  EXPECT_EQ(cell(2, 2).merge_area().area(), (Rect{1, 2, 2, 2}));
  EXPECT_EQ(model().merges.size(), 1u);
}

}  // namespace
}  // namespace kelv::spreadsheet
