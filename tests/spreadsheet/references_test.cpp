#include "spreadsheet/references.h"

#include "engine_fixture.h"

namespace kelv::spreadsheet {
namespace {

TEST(References, MoveOnlyRelativeReferences) {
  const struct {
    const char* formula;
    int32_t rows, columns;
    const char* moved;
  } table[] = {
      // Cells, ranges, whole columns and rows, "$" kept.
      {"$A$1+A1+$A1+A$1", 1, 1, "$A$1+B2+$A2+B$1"},
      {"SUM($A1:B$2)", 1, 1, "SUM($A2:C$2)"},
      {"COUNTIF(A:A,A5)", 2, 3, "COUNTIF(D:D,D7)"},
      {"SUM(1:2)+SUM($3:4)", 3, 0, "SUM(4:5)+SUM($3:7)"},
      {"SUM($A:C)", 0, 1, "SUM($A:D)"},
      {"a1*b2", 1, 0, "A2*B3"},
      {"A1:INDEX(B:B,3)", 1, 1, "B2:INDEX(C:C,3)"},
      // Sheet prefixes stay; the references after them move.
      {"Sheet1!A1+'其 他'!B2", 1, 0, "Sheet1!A2+'其 他'!B3"},
      {"'My Sheet'!B2*2", 0, 1, "'My Sheet'!C2*2"},
      {"'it''s A1'!A1", 1, 0, "'it''s A1'!A2"},
      {"S1:S3!A1", 1, 0, "S1:S3!A2"},
      {"[1]Sheet1!A1", 1, 0, "[1]Sheet1!A2"},
      // Strings, functions, names, numbers and errors stay.
      {"A1&\"A1\"&LOG10(A1)", 1, 0, "A2&\"A1\"&LOG10(A2)"},
      {"\"say \"\"B2\"\"\"&B2", 0, 1, "\"say \"\"B2\"\"\"&C2"},
      {"my_name1+Rate+\\n1+1.5E+3+TRUE", 4, 4, "my_name1+Rate+\\n1+1.5E+3+TRUE"},
      {"#REF!+#N/A", 1, 1, "#REF!+#N/A"},
      {"考生A1&A1", 1, 0, "考生A1&A2"},
      // Structured references, "'" escaping a bracket inside them.
      {"Table1[Col1]+A1", 1, 1, "Table1[Col1]+B2"},
      {"SUM([@Col1],[@[B 2]])", 1, 1, "SUM([@Col1],[@[B 2]])"},
      {"COUNTIF(Table1[[#Headers],[A1]],A1)", 1, 0, "COUNTIF(Table1[[#Headers],[A1]],A2)"},
      {"Table1[[#This Row],[A1]:[B1]]", 1, 1, "Table1[[#This Row],[A1]:[B1]]"},
      {"Table1[x']A1]&A1", 1, 1, "Table1[x']A1]&B2"},
      // Off the sheet: #REF!, a range as a whole.
      {"A1+B2", -1, 0, "#REF!+B1"},
      {"SUM(A1:B2)", -1, 0, "SUM(#REF!)"},
      {"XFD1", 0, 1, "#REF!"},
      {"COUNTIF(A:C,A1048576)", 1, -1, "COUNTIF(#REF!,#REF!)"},
      {"SUM(1:3)", 1048574, 0, "SUM(#REF!)"},
      {"SUM($1:3)", -2, 0, "SUM($1:1)"},
      // No move, no change (not even the letters' case).
      {"a1+Table1[Col1]", 0, 0, "a1+Table1[Col1]"},
  };
  for (const auto& t : table)
    EXPECT_EQ(move_references(t.formula, t.rows, t.columns), t.moved) << t.formula;
}

TEST(References, RenameAndDropSheets) {
  EXPECT_EQ(rename_sheet_references("'MBB'!$A$1:$H$20", "MBB", "MBB (2)"), "'MBB (2)'!$A$1:$H$20");
  EXPECT_EQ(rename_sheet_references("MBB!$1:$2,XMBB!A1", "MBB", "门贴"), "'门贴'!$1:$2,XMBB!A1");
  EXPECT_EQ(rename_sheet_references("\"MBB!A1\"&MBB!A1", "MBB", "T"), "\"MBB!A1\"&T!A1");
  EXPECT_EQ(rename_sheet_references("'it''s'!A1+'x it''s'!A1", "it's", "T"), "T!A1+'x it''s'!A1");
  // Another book's sheet of the same name, and a column of a table, stay.
  EXPECT_EQ(rename_sheet_references("[1]MBB!A1+T[MBB!]", "MBB", "T"), "[1]MBB!A1+T[MBB!]");
  EXPECT_EQ(drop_sheet_references("SUM(MBB!A1,'MBB'!B2,C3)", "MBB"), "SUM(#REF!A1,#REF!B2,C3)");
}

// A structured reference, a defined name and a reference inside a string
// stay as they are when a paste or a sort moves the formula; its ordinary
// references move with it.
class MovedFormulaTest : public EngineTest {
 protected:
  // Written in R1C1 (the only way the host interface writes formulas); the
  // parts that are not references read the same in A1.
  static constexpr const char* kFormula =
      "=R[-1]C[-1]&Table1[Col1]&Rate&\"A1\"&COUNTIF(Table1[[#Headers],[B2]],RC[-2])&[@Col2]";
  static std::string expected(const std::string& up, const std::string& same_row) {
    return "=" + up + "&Table1[Col1]&Rate&\"A1\"&COUNTIF(Table1[[#Headers],[B2]]," + same_row +
           ")&[@Col2]";
  }
};

TEST_F(MovedFormulaTest, PasteMovesOnlyReferences) {
  engine.set_calculation(host::xlCalculationManual);
  cell(2, 3).set_formula_r1c1(kFormula);
  ASSERT_EQ(cell(2, 3).formula(), expected("B1", "A2"));
  cell(2, 3).copy();
  ws().paste(cell(5, 4));
  EXPECT_EQ(cell(5, 4).formula(), expected("C4", "B5"));
}

TEST_F(MovedFormulaTest, SortMovesOnlyReferences) {
  engine.set_calculation(host::xlCalculationManual);
  cell(1, 1).set_value("key");
  cell(2, 1).set_value("b");
  cell(3, 1).set_value("a");
  cell(2, 3).set_formula_r1c1(kFormula);
  block(1, 1, 3, 3).sort(cell(1, 1), host::SortOrder::Ascending, host::SortHeader::Yes);
  EXPECT_EQ(cell(3, 3).formula(), expected("B2", "A3"));
}

}  // namespace
}  // namespace kelv::spreadsheet
