// Dates from files other programs wrote (data/real/make_real_data_files.py):
// a .xls from python-xlwt with the Chinese date format, an .xlsx in the 1904
// date system. They read as the same days, and the .xlsx kelv writes from
// them names its formats so that a reader in any locale sees dates.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "readers/format.h"
#include "spreadsheet/cell_values.h"
#include "spreadsheet/cells.h"
#include "support/temp_folder.h"
#include "xlsx/package.h"
#include "xlsx/styles_part.h"
#include "xlsx/xlsx_format.h"

namespace kelv::app {
namespace {

const std::string kReal = "data/real/";

double number_at(const spreadsheet::Sheet& s, int32_t r, int32_t c) {
  const spreadsheet::Cell* cell = spreadsheet::cells::find(s, r, c);
  return cell != nullptr && cell->value.is_number() ? cell->value.as_number() : -1;
}

std::string format_at(const spreadsheet::Workbook& book, int32_t r, int32_t c) {
  const spreadsheet::Cell* cell = spreadsheet::cells::find(*book.sheets[0], r, c);
  return cell != nullptr ? book.styles.get(cell->style).number_format : "";
}

TEST(RealFiles, AnXlwtDateKeepsItsDayAndIsWrittenWithItsFormatSpelledOut) {
  std::unique_ptr<spreadsheet::Workbook> book = readers::read_any(kReal + "日期.xls");
  const spreadsheet::Sheet& s = *book->sheets[0];
  EXPECT_EQ(number_at(s, 2, 2), *spreadsheet::date_serial(2008, 1, 5));
  EXPECT_EQ(number_at(s, 3, 2), *spreadsheet::date_serial(2024, 2, 29));
  EXPECT_DOUBLE_EQ(number_at(s, 2, 3), 8.5 / 24);
  EXPECT_EQ(format_at(*book, 2, 2), "yyyy\"年\"m\"月\"d\"日\"");
  // The styles part names the code under an id of its own, never 31.
  const std::string styles = xlsx::write_styles(*book);
  EXPECT_NE(styles.find("formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\""),
            std::string::npos)
      << styles;
  EXPECT_EQ(styles.find("numFmtId=\"31\""), std::string::npos) << styles;
}

TEST(RealFiles, A1904WorkbookReadsTheSameDaysAndIsWrittenIn1900) {
  test::TempFolder dir;
  std::unique_ptr<spreadsheet::Workbook> book = xlsx::read_workbook(kReal + "1904.xlsx");
  const spreadsheet::Sheet& s = *book->sheets[0];
  EXPECT_EQ(number_at(s, 2, 2), *spreadsheet::date_serial(2008, 1, 5));
  EXPECT_EQ(number_at(s, 3, 2), *spreadsheet::date_serial(2024, 2, 29));
  EXPECT_DOUBLE_EQ(number_at(s, 2, 3), 8.5 / 24);  // a time alone stays a time
  const std::string path = dir.file("1900.xlsx");
  xlsx::write_workbook(*book, path);
  const std::string workbook_xml = xlsx::PackageReader(path).read("xl/workbook.xml");
  EXPECT_EQ(workbook_xml.find("date1904"), std::string::npos) << workbook_xml;
  std::unique_ptr<spreadsheet::Workbook> back = xlsx::read_workbook(path);
  EXPECT_EQ(number_at(*back->sheets[0], 2, 2), *spreadsheet::date_serial(2008, 1, 5));
}

}  // namespace
}  // namespace kelv::app
