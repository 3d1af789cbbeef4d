// Malformed files fail with a host error naming the file and the part;
// they never crash or hang.
#include <gtest/gtest.h>

#include <fstream>
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

}  // namespace
}  // namespace kelv::xlsx
