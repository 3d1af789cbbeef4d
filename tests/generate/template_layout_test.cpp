#include "generate/template_layout.h"

#include <gtest/gtest.h>

#include "generate/render_template.h"
#include "generate_host.h"

namespace kelv::generate {
namespace {

class TemplateScanTest : public ::testing::Test {
 protected:
  host::Worksheet& Sheet() { return sheet; }
  testing::GenerateHost host;
  host::Worksheet& sheet = host.AddTemplate({.name = "T"});
};

TEST_F(TemplateScanTest, RowOneIsNeverSearched) {
  sheet.cells(1, 1).set_value("#");
  sheet.cells(1, 3).set_value("#");
  EXPECT_EQ(FindAreaBounds(sheet, kBodyMarker).firstRow, 0);
}

TEST_F(TemplateScanTest, OneMarkerRowGivesAOneRowArea) {
  sheet.cells(4, 1).set_value("#");
  sheet.cells(4, 4).set_value("#");
  const AreaBounds b = FindAreaBounds(sheet, kBodyMarker);
  EXPECT_EQ(b.firstRow, 4);
  EXPECT_EQ(b.lastRow, 4);
  const AreaLayout a = ScanArea(sheet, b);
  EXPECT_EQ(a.rowCount, 1);
  EXPECT_EQ(a.colCount, 2);  // columns B and C
}

TEST_F(TemplateScanTest, EndMarkerSearchStartsInColumnC) {
  sheet.cells(4, 1).set_value("#");
  sheet.cells(4, 2).set_value("#");
  EXPECT_EQ(FindAreaBounds(sheet, kBodyMarker).end_column, 0);
  sheet.cells(4, 3).set_value("#");
  const AreaBounds b = FindAreaBounds(sheet, kBodyMarker);
  EXPECT_EQ(b.end_column, 3);
  EXPECT_EQ(ScanArea(sheet, b).colCount, 1);  // column B alone
}

TEST_F(TemplateScanTest, OnlyTheFirstTwoMarkerRowsCount) {
  for (int32_t r : {3, 6, 9}) sheet.cells(r, 1).set_value("@");
  sheet.cells(3, 5).set_value("@");
  const AreaBounds b = FindAreaBounds(sheet, kHeaderMarker);
  EXPECT_EQ(b.firstRow, 3);
  EXPECT_EQ(b.lastRow, 6);
  EXPECT_EQ(b.end_column, 5);
}

TEST_F(TemplateScanTest, MarkersCountUpToRow100AndColumn100Only) {
  sheet.cells(101, 1).set_value("#");
  sheet.cells(101, 3).set_value("#");
  EXPECT_EQ(FindAreaBounds(sheet, kBodyMarker).firstRow, 0);

  // A closing marker past row 100 leaves a one-row area; an end marker past
  // column 100 is none.
  sheet.cells(100, 1).set_value("#");
  sheet.cells(100, 101).set_value("#");
  AreaBounds b = FindAreaBounds(sheet, kBodyMarker);
  EXPECT_EQ(b.firstRow, 100);
  EXPECT_EQ(b.lastRow, 100);
  EXPECT_EQ(b.end_column, 0);
  sheet.cells(100, 100).set_value("#");
  b = FindAreaBounds(sheet, kBodyMarker);
  EXPECT_EQ(b.end_column, 100);
  EXPECT_EQ(ScanArea(sheet, b).colCount, 98);  // columns B to CU
}

TEST_F(TemplateScanTest, MarkersMustBeTheWholeCellAndNumbersCompareAsText) {
  sheet.cells(3, 1).set_value("##");
  sheet.cells(4, 1).set_value(" #");
  EXPECT_EQ(FindAreaBounds(sheet, kBodyMarker).firstRow, 0);
}

TEST_F(TemplateScanTest, FieldsInColumnOrderWithTheirAreaPositions) {
  sheet.cells(5, 1).set_value("#");
  sheet.cells(7, 1).set_value("#");
  sheet.cells(5, 5).set_value("#");
  sheet.cells(5, 2).set_value("[甲]");
  sheet.cells(7, 2).set_value("{照}");
  sheet.cells(5, 3).set_value("[X]Y");   // text after the bracket joins the name
  sheet.cells(6, 3).set_value(" [乙]");  // a leading space makes a literal
  sheet.cells(6, 2).set_value("[丙]");
  sheet.cells(6, 4).set_value(1001);
  sheet.cells(7, 4).set_value("{证}");
  sheet.cells(5, 5 + 1).set_value("[右]");  // right of the end marker: outside
  const AreaLayout a = ScanArea(sheet, FindAreaBounds(sheet, kBodyMarker));
  ASSERT_EQ(a.textFields.size(), 3u);
  EXPECT_EQ(a.textFields[0].name, "甲");
  EXPECT_EQ(a.textFields[1].name, "丙");
  EXPECT_EQ(a.textFields[1].areaRow, 2);
  EXPECT_EQ(a.textFields[1].areaCol, 1);
  EXPECT_EQ(a.textFields[2].name, "X]");
  EXPECT_EQ(a.textFields[2].areaCol, 2);
  ASSERT_EQ(a.photoFields.size(), 2u);
  EXPECT_EQ(a.photoFields[0].name, "照");
  EXPECT_EQ(a.photoFields[0].areaRow, 3);
  EXPECT_EQ(a.photoFields[1].name, "证");
  EXPECT_EQ(a.photoFields[1].areaCol, 3);
}

TEST(ScratchHeading, StopsAtTheFirstEmptyHeading) {
  testing::GenerateHost host;
  host::Worksheet& s = host.Examinees();
  s.cells(1, 168).set_value("姓名");
  s.cells(1, 169).set_value(2024);
  s.cells(1, 171).set_value("考号");
  EXPECT_EQ(FindScratchHeading(s, 168, "姓名"), 168);
  EXPECT_EQ(FindScratchHeading(s, 168, "2024"), 0);  // a number never equals a text
  EXPECT_EQ(FindScratchHeading(s, 168, "考号"), 0);  // right of the empty heading
  EXPECT_EQ(FindScratchHeading(s, 168, ""), 0);
  EXPECT_EQ(FindScratchHeading(s, 168, "姓 名"), 0);
}

}  // namespace
}  // namespace kelv::generate
