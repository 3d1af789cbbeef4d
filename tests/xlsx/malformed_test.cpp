// Malformed files fail with a host error naming the file and the part;
// they never crash or hang.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

#include "host/host_error.h"
#include "xlsx/package.h"
#include "xlsx/xlsx_format.h"
#include "xlsx_test_util.h"

namespace kelv::xlsx {
namespace {

using Parts = std::map<std::string, std::string>;

const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

Parts minimal_parts(const std::string& sheet_data = "<c r=\"A1\"><v>1</v></c>") {
  Parts p = test::package_skeleton();
  p["xl/workbook.xml"] = std::string("<workbook xmlns=\"") + kMain +
                         "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                         "relationships\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>"
                         "</sheets></workbook>";
  p["xl/sharedStrings.xml"] = std::string("<sst xmlns=\"") + kMain + "\"><si><t>a</t></si></sst>";
  p["xl/worksheets/sheet1.xml"] = std::string("<worksheet xmlns=\"") + kMain +
                                  "\"><sheetData><row r=\"1\">" + sheet_data +
                                  "</row></sheetData></worksheet>";
  return p;
}

std::string make(const test::TempFolder& dir, const Parts& parts,
                 const std::string& name = "bad.xlsx") {
  const std::string path = dir.file(name);
  PackageWriter w(path);
  for (const auto& [part, data] : parts) w.add(part, data);
  w.close();
  return path;
}

// Reads and expects error 1004 whose description names the file and, when
// given, the part and a detail.
void expect_refused(const std::string& path, const std::string& part = "",
                    const std::string& detail = "", const UnpackLimits& limits = {}) {
  try {
    read_workbook(path, limits);
    ADD_FAILURE() << "read without error: " << path;
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), 1004);
    EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
    if (!part.empty()) {
      EXPECT_NE(e.description().find("“" + part + "”"), std::string::npos) << e.description();
    }
    if (!detail.empty()) {
      EXPECT_NE(e.description().find(detail), std::string::npos) << e.description();
    }
  }
}

TEST(Malformed, TheMinimalPackageReads) {
  test::TempFolder dir("xlsx");
  auto b = read_workbook(make(dir, minimal_parts()));
  ASSERT_EQ(b->sheets.size(), 1u);
  EXPECT_EQ(b->sheets[0]->rows[0].cells[0].value, host::Variant(1.0));
}

TEST(Malformed, MissingFileIsError53) {
  test::TempFolder dir("xlsx");
  try {
    read_workbook(dir.file("无此文件.xlsx"));
    ADD_FAILURE();
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), 53);
    EXPECT_NE(e.description().find("无此文件.xlsx"), std::string::npos);
  }
}

TEST(Malformed, NotAZipEmptyOrTruncated) {
  test::TempFolder dir("xlsx");
  std::ofstream(dir.file("text.xlsx")) << "姓名,分数\n张三,98\n";
  expect_refused(dir.file("text.xlsx"));
  std::ofstream(dir.file("empty.xlsx")).close();
  expect_refused(dir.file("empty.xlsx"));
  const std::string good = make(dir, minimal_parts(), "good.xlsx");
  std::ifstream in(good, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  std::ofstream(dir.file("cut.xlsx"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  expect_refused(dir.file("cut.xlsx"));
}

TEST(Malformed, MissingParts) {
  test::TempFolder dir("xlsx");
  for (const char* part : {"[Content_Types].xml", "xl/workbook.xml", "xl/worksheets/sheet1.xml",
                           "xl/sharedStrings.xml"}) {
    Parts p = minimal_parts();
    p.erase(part);
    expect_refused(make(dir, p, "missing.xlsx"), part);
  }
}

TEST(Malformed, BrokenXmlNamesThePartAndLine) {
  test::TempFolder dir("xlsx");
  Parts p = minimal_parts("<c r=\"A1\"><v>1</v></c><c r=\"B1\">");
  expect_refused(make(dir, p), "xl/worksheets/sheet1.xml", "第 1 行");
  p = minimal_parts();
  p["xl/workbook.xml"] = "<workbook><sheets>";
  expect_refused(make(dir, p), "xl/workbook.xml", "XML");
  p = minimal_parts();
  p["xl/sharedStrings.xml"] = "<sst><si><t>a</si></sst>";
  expect_refused(make(dir, p), "xl/sharedStrings.xml", "XML");
}

TEST(Malformed, ReferencesOffTheSheetOrTables) {
  test::TempFolder dir("xlsx");
  expect_refused(make(dir, minimal_parts("<c r=\"A1048577\"><v>1</v></c>")),
                 "xl/worksheets/sheet1.xml", "A1048577");
  expect_refused(make(dir, minimal_parts("<c r=\"XFE1\"><v>1</v></c>")),
                 "xl/worksheets/sheet1.xml");
  expect_refused(make(dir, minimal_parts("<c r=\"A1\"><v>abc</v></c>")), "xl/worksheets/sheet1.xml",
                 "数值无效");
  Parts p = minimal_parts();
  p["xl/worksheets/sheet1.xml"].replace(
      p["xl/worksheets/sheet1.xml"].find("</worksheet>"), 12,
      "<mergeCells><mergeCell ref=\"A1:XFE2\"/></mergeCells></worksheet>");
  expect_refused(make(dir, p), "xl/worksheets/sheet1.xml", "XFE2");
  // A format index beyond the table reads as the default format.
  auto b = read_workbook(make(dir, minimal_parts("<c r=\"A1\" s=\"99\"><v>1</v></c>")));
  EXPECT_EQ(b->sheets[0]->rows[0].cells[0].style, 0u);
  // Sheet indices off the list are local defects: opened and reported.
  p = minimal_parts();
  p["xl/workbook.xml"].replace(p["xl/workbook.xml"].find("<sheets>"), 8,
                               "<bookViews><workbookView activeTab=\"3\"/></bookViews><sheets>");
  p["xl/workbook.xml"].replace(
      p["xl/workbook.xml"].find("</sheets>"), 9,
      "</sheets><definedNames><definedName name=\"x\" localSheetId=\"5\">S!A1"
      "</definedName><definedName name=\"y\">S!A1</definedName></definedNames>");
  b = read_workbook(make(dir, p));
  EXPECT_EQ(b->active_sheet, 0);
  ASSERT_EQ(b->defined_names.size(), 1u);
  EXPECT_EQ(b->defined_names[0].name, "y");
  ASSERT_EQ(b->repairs.size(), 2u);
  EXPECT_NE(b->repairs[0].find("活动工作表：工作表索引 3 超出范围"), std::string::npos);
  EXPECT_NE(b->repairs[1].find("名称“x”"), std::string::npos);
}

TEST(Malformed, APartInAnUnknownNamespaceIsRefusedNamingIt) {
  test::TempFolder dir("xlsx");
  const std::string other = "http://example.com/not-a-spreadsheet";
  for (const char* part : {"xl/worksheets/sheet1.xml", "xl/workbook.xml", "xl/sharedStrings.xml"}) {
    Parts p = minimal_parts();
    std::string& xml = p[part];
    const size_t at = xml.find(kMain);
    ASSERT_NE(at, std::string::npos) << part;
    xml.replace(at, std::string(kMain).size(), other);
    expect_refused(make(dir, p), part, "无法识别的命名空间“" + other + "”");
  }
}

TEST(Malformed, EntityExpansionIsRefused) {
  test::TempFolder dir("xlsx");
  Parts p = minimal_parts();
  p["xl/worksheets/sheet1.xml"] =
      "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
      "\"&a;&a;&a;&a;&a;&a;&a;&a;\">"
      "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]><worksheet xmlns=\"" +
      std::string(kMain) +
      "\"><sheetData><row><c t=\"inlineStr\"><is><t>&c;</t></is></c></row></sheetData></worksheet>";
  expect_refused(make(dir, p), "xl/worksheets/sheet1.xml", "DOCTYPE");
}

TEST(Malformed, PartsBeyondTheUnpackLimitsAreRefused) {
  test::TempFolder dir("xlsx");
  Parts p = minimal_parts();
  // Five megabytes of one repeated row: a high compression ratio.
  std::string rows;
  for (int i = 1; rows.size() < (5u << 20); ++i) rows += "<row r=\"" + std::to_string(i) + "\"/>";
  p["xl/worksheets/sheet1.xml"] = std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData>" +
                                  rows + "</sheetData></worksheet>";
  const std::string path = make(dir, p);
  UnpackLimits small;
  small.part_bytes = 1u << 20;
  expect_refused(path, "xl/worksheets/sheet1.xml", "上限", small);
  UnpackLimits total;
  total.total_bytes = 4u << 20;
  expect_refused(path, "xl/worksheets/sheet1.xml", "上限", total);
  UnpackLimits ratio;
  ratio.ratio = 5;
  ratio.ratio_floor = 1u << 20;
  expect_refused(path, "xl/worksheets/sheet1.xml", "压缩比", ratio);
  EXPECT_NO_THROW(read_workbook(path));
}

TEST(Malformed, FarRowsCountAgainstTheLimitToo) {
  // A few bytes naming the last row make the model hold every row before it.
  test::TempFolder dir("xlsx");
  const std::string path = make(dir, minimal_parts("<c r=\"A1048576\"><v>1</v></c>"));
  UnpackLimits limits;
  limits.total_bytes = 16u << 20;
  expect_refused(path, "xl/worksheets/sheet1.xml", "上限", limits);
  EXPECT_EQ(read_workbook(path)->sheets[0]->rows.size(), 1048576u);
}

// Flips one byte in the middle of a part's compressed data.
void damage(const std::string& path, const std::string& part) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const size_t name_at = bytes.find(part);
  ASSERT_NE(name_at, std::string::npos);
  const size_t header = name_at - 30;
  ASSERT_EQ(bytes.compare(header, 4, "PK\x03\x04"), 0);
  auto u16 = [&](size_t at) {
    return static_cast<size_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1])
                                                                     << 8);
  };
  const size_t packed = u16(header + 18) | u16(header + 20) << 16;
  const size_t data = header + 30 + u16(header + 26) + u16(header + 28);
  f.seekp(static_cast<std::streamoff>(data + packed / 2));
  f.put(static_cast<char>(bytes[data + packed / 2] ^ 0x5A));
}

// Damaged compressed data is refused, whether the part is inflated whole or
// streamed while it is parsed.
TEST(Malformed, DamagedCompressedDataIsRefused) {
  test::TempFolder dir("xlsx");
  Parts p = minimal_parts();
  std::string rows;
  for (int i = 1; rows.size() < (3u << 20); ++i)
    rows += "<row r=\"" + std::to_string(i) + "\"><c><v>" + std::to_string(i * 7919 % 100003) +
            "</v></c></row>";
  p["xl/worksheets/sheet1.xml"] = std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData>" +
                                  rows + "</sheetData></worksheet>";
  for (const char* part : {"xl/workbook.xml", "xl/worksheets/sheet1.xml"}) {
    const std::string path = make(dir, p, std::string(part).substr(3, 5) + ".xlsx");
    EXPECT_NO_THROW(read_workbook(path));
    damage(path, part);
    expect_refused(path, part);
  }
}

// Sheets large enough to be read in several segments side by side: shared
// formulas whose anchor is segments away, a follower without an anchor,
// rows that do not name their row, comments between rows; and rows that go
// back, which are read in one piece instead. Both read as written.
TEST(Malformed, RowsReadInSegmentsReadAsWritten) {
  constexpr int kRows = 40000;
  auto sheet_with = [](const std::string& extra_row) {
    std::string rows;
    for (int i = 1; i <= kRows; ++i) {
      const std::string n = std::to_string(i);
      rows += i % 1000 == 0 ? "<row>" : "<row r=\"" + n + "\">";
      rows += "<c r=\"A" + n + "\"><v>" + n + "</v></c>";
      rows += i == 1 ? "<c r=\"B1\"><f t=\"shared\" ref=\"B1:B40000\" si=\"0\">A1*2</f><v>2</v></c>"
                     : "<c r=\"B" + n + "\"><f t=\"shared\" si=\"0\"/><v>" + std::to_string(2 * i) +
                           "</v></c>";
      if (i == 30000) rows += "<c r=\"C30000\"><f t=\"shared\" si=\"7\"/></c>";
      rows += "</row>";
      if (i % 777 == 0) rows += "<!-- <row r=\"1\"> -->";
      if (i == 20000) rows += extra_row;
    }
    return std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData>" + rows +
           "</sheetData></worksheet>";
  };
  test::TempFolder dir("xlsx");
  for (const std::string& extra :
       {std::string(), std::string("<row r=\"10\"><c r=\"A10\"><v>-1</v></c></row>")}) {
    Parts p = minimal_parts();
    p["xl/worksheets/sheet1.xml"] = sheet_with(extra);
    const auto book = read_workbook(make(dir, p));
    const auto& rows = book->sheets[0]->rows;
    ASSERT_EQ(rows.size(), static_cast<size_t>(kRows));
    for (int i : {1, 999, 1000, 1001, 25000, 30000, kRows}) {
      const auto& cells = rows[static_cast<size_t>(i - 1)].cells;
      ASSERT_EQ(cells.size(), 2u) << i;
      EXPECT_EQ(cells[0].value, host::Variant(i == 10 && !extra.empty() ? -1.0 : double(i))) << i;
      ASSERT_TRUE(cells[1].formula) << i;
      EXPECT_EQ(cells[1].formula->text, "A" + std::to_string(i) + "*2") << i;
    }
    EXPECT_EQ(rows[9].cells[0].value, host::Variant(extra.empty() ? 10.0 : -1.0));
  }
}

}  // namespace
}  // namespace kelv::xlsx
