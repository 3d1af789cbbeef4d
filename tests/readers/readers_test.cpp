// The readers against files other programs wrote: every cell of the .xls
// files as python3-xlrd reads them, the same table in four text encodings,
// LibreOffice's HTML, an XML spreadsheet, and damaged and encrypted files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "host/host_error.h"
#include "readers/biff.h"
#include "readers/common.h"
#include "readers/compound_file.h"
#include "readers/format.h"
#include "readers/text_table.h"
#include "spreadsheet/cell_values.h"
#include "spreadsheet/cells.h"
#include "spreadsheet/engine.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::readers {
namespace {

using spreadsheet::is_date_format;
using spreadsheet::Workbook;
using test::TempFolder;

std::string data(const std::string& name) {
  return std::string(KELV_TEST_DATA) + "/readers/" + name;
}

// Days from 1899-12-30 as yyyy-mm-ddThh:mm:ss, rounded to the second.
std::string iso(double serial) {
  const auto seconds = static_cast<int64_t>(std::llround(serial * 86400));
  int64_t days = seconds / 86400 - 25569;  // from 1970-01-01
  const int64_t rest = seconds % 86400;
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", static_cast<int>(y),
                static_cast<int>(m), static_cast<int>(d), static_cast<int>(rest / 3600),
                static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
  return buf;
}

nlohmann::json reference(const std::string& name) {
  std::ifstream in(data(name + ".xlrd.json"));
  return nlohmann::json::parse(in);
}

const spreadsheet::Sheet* sheet_named(const Workbook& book, const std::string& name) {
  for (const auto& s : book.sheets)
    if (s->name == name) return s.get();
  return nullptr;
}

size_t cells_with_values(const spreadsheet::Sheet& s) {
  size_t n = 0;
  for (const auto& row : s.rows)
    for (const auto& c : row.cells) n += !c.value.is_empty();
  return n;
}

// Every cell xlrd reads, with its kind and value, and nothing more.
// A page shows numbers to 15 significant digits: `exact` false compares them so.
void expect_like_xlrd(const Workbook& book, const nlohmann::json& ref, bool exact = true) {
  ASSERT_EQ(book.sheets.size(), ref["sheets"].size());
  for (const auto& rs : ref["sheets"]) {
    const std::string name = rs["name"];
    const spreadsheet::Sheet* s = sheet_named(book, name);
    ASSERT_NE(s, nullptr) << name;
    size_t expected = 0;
    for (const auto& c : rs["cells"]) {
      const int32_t r = c[0], col = c[1];
      const std::string kind = c[2];
      const spreadsheet::Cell* cell = spreadsheet::cells::find(*s, r, col);
      SCOPED_TRACE(name + " R" + std::to_string(r) + "C" + std::to_string(col) + " " + kind);
      ASSERT_NE(cell, nullptr);
      ++expected;
      const bool date = is_date_format(book.styles.get(cell->style).number_format);
      EXPECT_EQ(date, kind == "date") << book.styles.get(cell->style).number_format;
      if (kind == "text") {
        ASSERT_TRUE(cell->value.is_text());
        EXPECT_EQ(cell->value.as_text(), c[3].get<std::string>());
      } else if (kind == "number") {
        ASSERT_TRUE(cell->value.is_number());
        const double want = c[3].get<double>();
        if (exact) {
          EXPECT_EQ(cell->value.as_number(), want);
        } else {
          EXPECT_NEAR(cell->value.as_number(), want, 1e-14 * std::abs(want));
        }
      } else if (kind == "date") {
        ASSERT_TRUE(cell->value.is_number());
        EXPECT_EQ(iso(cell->value.as_number()), c[3].get<std::string>());
      } else if (kind == "bool") {
        ASSERT_TRUE(cell->value.is_bool());
        EXPECT_EQ(cell->value.as_bool(), c[3].get<bool>());
      } else if (kind == "error") {
        ASSERT_TRUE(cell->value.is_error());
        EXPECT_EQ(host::cell_error_text(cell->value.as_error()), c[3].get<std::string>());
      }
    }
    EXPECT_EQ(cells_with_values(*s), expected) << name;
    std::vector<std::vector<int32_t>> merges;
    for (const auto& m : s->merges) merges.push_back({m.row1, m.col1, m.row2, m.col2});
    std::sort(merges.begin(), merges.end());
    EXPECT_EQ(nlohmann::json(merges), rs["merges"]) << name;
  }
}

TEST(Xls, EveryCellOfAnXlwtFileAsXlrdReadsIt) {
  auto book = read_any(data("xlwt.xls"));
  EXPECT_EQ(book->source_kind, spreadsheet::SourceKind::Xls);
  EXPECT_TRUE(book->repairs.empty());
  expect_like_xlrd(*book, reference("xlwt.xls"));
  // The widths xlwt gave columns A and C; row 44's height.
  const spreadsheet::Sheet& s = *book->sheets[0];
  EXPECT_DOUBLE_EQ(s.columns.at(1).width, 14);
  EXPECT_DOUBLE_EQ(s.columns.at(3).width, 22);
  EXPECT_DOUBLE_EQ(s.rows[43].height, 30);
}

TEST(Xls, FormulaResultsOfALibreOfficeFileAsXlrdReadsThem) {
  auto book = read_any(data("calc.xls"));
  EXPECT_TRUE(book->repairs.empty());
  expect_like_xlrd(*book, reference("calc.xls"));
  // Text results come from STRING records; a text that looks like a number stays text.
  const spreadsheet::Cell* c = spreadsheet::cells::find(*book->sheets[0], 2, 5);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->value, host::Variant("优秀"));
  EXPECT_EQ(spreadsheet::cells::find(*book->sheets[0], 7, 1)->value, host::Variant("0012345"));
  EXPECT_EQ(spreadsheet::cells::find(*book->sheets[1], 5, 3)->value, host::Variant("005"));
}

void expect_refused(const std::string& name, const std::string& what) {
  try {
    read_any(data(name));
    FAIL() << name << " was read";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kRefused);
    EXPECT_NE(e.description().find(name), std::string::npos) << e.description();
    EXPECT_NE(e.description().find(what), std::string::npos) << e.description();
  }
}

TEST(Xls, EncryptedAndBrokenFilesAreRefusedWithAMessage) {
  expect_refused("encrypted.xls", "加密");
  expect_refused("loop.xls", "循环");
  // Cut short: either refused naming the file or read with the loss listed.
  try {
    auto book = read_any(data("truncated.xls"));
    EXPECT_FALSE(book->repairs.empty());
  } catch (const host::HostError& e) {
    EXPECT_NE(e.description().find("truncated.xls"), std::string::npos);
  }
}

// Records of a workbook stream, written by hand where a case needs a
// defect no program writes.
std::string record(uint16_t type, const std::string& body) {
  std::string r;
  r += static_cast<char>(type & 0xFF);
  r += static_cast<char>(type >> 8);
  r += static_cast<char>(body.size() & 0xFF);
  r += static_cast<char>(body.size() >> 8);
  return r + body;
}
std::string le16(uint16_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string le32(uint32_t v) {
  return le16(static_cast<uint16_t>(v & 0xFFFF)) + le16(static_cast<uint16_t>(v >> 16));
}

// A compound file of 512-byte sectors holding one stream "Workbook" of at
// least 4096 bytes (so it lives in regular sectors).
std::string compound(std::string stream) {
  const auto size = static_cast<uint32_t>(stream.size());
  const uint32_t stream_sectors = (size + 511) / 512;
  stream.resize(stream_sectors * 512, '\0');
  // Sector 0: FAT; 1..n: stream; n+1: directory.
  const uint32_t dir = stream_sectors + 1;
  std::string header(512, '\0');
  header.replace(0, 8, kCompoundSignature);
  header.replace(0x18, 4, le16(0x3E) + le16(3));
  header.replace(0x1C, 6, le16(0xFFFE) + le16(9) + le16(6));
  header.replace(0x2C, 4, le32(1));
  header.replace(0x30, 4, le32(dir));
  header.replace(0x38, 4, le32(4096));
  header.replace(0x3C, 4, le32(0xFFFFFFFE));
  header.replace(0x44, 4, le32(0xFFFFFFFE));
  header.replace(0x4C, 4, le32(0));
  for (int i = 1; i < 109; ++i) header.replace(0x4C + 4 * i, 4, le32(0xFFFFFFFF));
  std::string fat;
  fat += le32(0xFFFFFFFD);
  for (uint32_t i = 1; i <= stream_sectors; ++i)
    fat += le32(i == stream_sectors ? 0xFFFFFFFE : i + 1);
  fat += le32(0xFFFFFFFE);
  fat.resize(512, '\xFF');
  auto entry = [](const std::u16string& name, uint8_t type, uint32_t start, uint32_t bytes,
                  uint32_t child) {
    std::string e(128, '\0');
    for (size_t i = 0; i < name.size(); ++i) e.replace(2 * i, 2, le16(name[i]));
    e.replace(64, 2, le16(static_cast<uint16_t>((name.size() + 1) * 2)));
    e[66] = static_cast<char>(type);
    e.replace(68, 12, le32(0xFFFFFFFF) + le32(0xFFFFFFFF) + le32(child));
    e.replace(116, 8, le32(start) + le32(bytes));
    return e;
  };
  std::string directory =
      entry(u"Root Entry", 5, 0xFFFFFFFE, 0, 1) + entry(u"Workbook", 2, 1, size, 0xFFFFFFFF);
  directory.resize(512, '\0');
  return header + fat + stream + directory;
}

// A record the reader skips, long enough to keep the stream out of the
// mini stream.
std::string filler() {
  return record(0x1FFF, std::string(4100, '\0'));
}

std::string bof(uint16_t kind) {
  return record(0x0809, le16(0x0600) + le16(kind) + std::string(12, '\0'));
}

TEST(Xls, LocalDefectsAreReadAndListed) {
  // A sheet whose shared-string index is past the table, and a stream that
  // ends inside a record of the sheet, without its EOF.
  const std::string sheet_name = std::string("\x02\x00", 2) + "S1";
  const std::string sst = record(0x00FC, le32(1) + le32(1) + le16(2) + std::string("\0", 1) + "ok");
  const std::string rest = sst + filler() + record(0x000A, "");
  const std::string head = bof(5);
  const auto boundsheet_size = static_cast<uint32_t>(4 + 6 + sheet_name.size());
  const auto sheet_at = static_cast<uint32_t>(head.size() + boundsheet_size + rest.size());
  std::string stream =
      head + record(0x0085, le32(sheet_at) + std::string("\0\0", 2) + sheet_name) + rest;
  stream += bof(0x10);
  stream += record(0x00FD, le16(0) + le16(0) + le16(0) + le32(0));
  stream += record(0x00FD, le16(1) + le16(0) + le16(0) + le32(7));
  stream += record(0x027E, le16(2) + le16(1) + le16(0) + le32((42u << 2) | 2));
  stream += std::string("\x03\x02\x0E", 3);  // a NUMBER record cut inside its header
  TempFolder folder("readers");
  const std::string path = folder.file("defects.xls");
  test::write_bytes(path, compound(stream));
  auto book = read_any(path);
  const spreadsheet::Sheet& s = *book->sheets.at(0);
  EXPECT_EQ(s.name, "S1");
  EXPECT_EQ(spreadsheet::cells::find(s, 1, 1)->value, host::Variant("ok"));
  EXPECT_EQ(spreadsheet::cells::find(s, 2, 1), nullptr);
  EXPECT_EQ(spreadsheet::cells::find(s, 3, 2)->value, host::Variant(42.0));
  std::string all;
  for (const auto& r : book->repairs) all += r + "\n";
  EXPECT_NE(all.find("共享字符串序号超出范围"), std::string::npos) << all;
  EXPECT_NE(all.find("截断"), std::string::npos) << all;
}

TEST(Xls, ABiff5WorkbookReadsItsTextsInItsCodePage) {
  // Excel 95: 8-bit texts in the workbook's code page (936, GBK).
  const std::string gbk_name = "\xBF\xBC\xC9\xFA";  // 考生
  const std::string gbk_text = "\xD5\xC5\xC8\xFD";  // 张三
  const std::string head = record(0x0809, le16(0x0500) + le16(5) + std::string(4, '\0'));
  const std::string codepage = record(0x0042, le16(936));
  const std::string rest = filler() + record(0x000A, "");
  const auto boundsheet_size = static_cast<uint32_t>(4 + 6 + 1 + gbk_name.size());
  const auto sheet_at =
      static_cast<uint32_t>(head.size() + codepage.size() + boundsheet_size + rest.size());
  std::string stream = head + codepage +
                       record(0x0085, le32(sheet_at) + std::string("\0\0", 2) +
                                          static_cast<char>(gbk_name.size()) + gbk_name) +
                       rest;
  stream += record(0x0809, le16(0x0500) + le16(0x10) + std::string(4, '\0'));
  stream += record(0x0204, le16(0) + le16(0) + le16(0) + le16(4) + gbk_text);
  stream += record(0x0203, le16(0) + le16(1) + le16(0) + std::string("\0\0\0\0\0\0\xF8\x3F", 8));
  stream += record(0x000A, "");
  auto book = read_xls(compound(stream), "95.xls");
  ASSERT_EQ(book->sheets.size(), 1u);
  EXPECT_EQ(book->sheets[0]->name, "考生");
  EXPECT_EQ(spreadsheet::cells::find(*book->sheets[0], 1, 1)->value, host::Variant("张三"));
  EXPECT_EQ(spreadsheet::cells::find(*book->sheets[0], 1, 2)->value, host::Variant(1.5));
  EXPECT_TRUE(book->repairs.empty());
}

TEST(Xls, AFilePassRecordIsRefusedAsEncrypted) {
  std::string stream =
      bof(5) + record(0x002F, std::string(54, '\x01')) + filler() + record(0x000A, "");
  try {
    read_xls(compound(stream), "密.xls");
    FAIL();
  } catch (const host::HostError& e) {
    EXPECT_NE(e.description().find("“密.xls”"), std::string::npos);
    EXPECT_NE(e.description().find("加密"), std::string::npos);
  }
}

TEST(Xls, ChainsLoopingOrPointingAwayAreRefusedQuickly) {
  std::string file = compound(bof(5) + filler() + record(0x000A, ""));
  // The stream's chain returns to its first sector.
  std::string looped = file;
  looped.replace(512 + 4 * 8, 4, le32(1));
  EXPECT_THROW(read_xls(looped, "a.xls"), host::HostError);
  // A chain to a sector far past the end of the file.
  std::string away = file;
  away.replace(512 + 4 * 3, 4, le32(0x00FFFFFF));
  EXPECT_THROW(read_xls(away, "b.xls"), host::HostError);
  // A header claiming millions of FAT sectors in a small file.
  std::string claims = file;
  claims.replace(0x2C, 4, le32(5'000'000));
  EXPECT_THROW(read_xls(claims, "c.xls"), host::HostError);
}

void expect_examinee_table(const Workbook& book, const std::string& stem) {
  ASSERT_EQ(book.sheets.size(), 1u);
  const spreadsheet::Sheet& s = *book.sheets[0];
  EXPECT_EQ(s.name, stem);
  auto at = [&](int32_t r, int32_t c) {
    const spreadsheet::Cell* cell = spreadsheet::cells::find(s, r, c);
    return cell ? cell->value.variant() : host::Variant();
  };
  EXPECT_EQ(at(1, 1), host::Variant("考号"));
  EXPECT_EQ(at(1, 7), host::Variant("备注"));
  // Exam, ID and phone numbers stay as written.
  // Exam numbers with a leading zero, ID numbers and anything of more than
  // 11 digits stay as written; shorter digit strings are numbers, which
  // the General format shows whole.
  EXPECT_EQ(at(2, 1), host::Variant(2024010001.0));
  EXPECT_EQ(at(2, 3), host::Variant("110105200801011234"));
  EXPECT_EQ(at(3, 3), host::Variant("11010520080202123X"));
  EXPECT_EQ(at(3, 4), host::Variant("013912345678"));
  EXPECT_EQ(at(4, 1), host::Variant("0024010003"));
  EXPECT_EQ(at(2, 4), host::Variant(13800138000.0));
  EXPECT_EQ(at(2, 6), host::Variant(95.5));
  EXPECT_EQ(at(4, 6), host::Variant(1234.0));
  EXPECT_EQ(at(5, 6), host::Variant(-7.0));
  EXPECT_EQ(at(4, 7), host::Variant("备注含逗号, 引号\"和\n换行"));
  EXPECT_EQ(at(5, 7), host::Variant(45296.0));  // 2024-01-05
  EXPECT_TRUE(
      is_date_format(book.styles.get(spreadsheet::cells::find(s, 5, 7)->style).number_format));
  EXPECT_TRUE(at(2, 7).is_empty());
  EXPECT_TRUE(at(5, 4).is_empty());
  EXPECT_EQ(s.rows.size(), 5u);
}

TEST(DelimitedText, FourEncodingsAndSeparatorsMakeTheSameTable) {
  for (const char* name : {"examinees-gb18030.csv", "examinees-utf8.csv", "examinees-utf8-bom.csv",
                           "examinees-utf16.txt"}) {
    SCOPED_TRACE(name);
    auto book = read_any(data(name));
    EXPECT_EQ(book->source_kind, spreadsheet::SourceKind::Text);
    const std::string stem = std::string(name).substr(0, std::string(name).rfind('.'));
    expect_examinee_table(*book, stem);
  }
}

TEST(DelimitedText, NumbersDatesAndTextAreToldApart) {
  bool date = false;
  EXPECT_EQ(typed_value("123", &date), host::Variant(123.0));
  EXPECT_EQ(typed_value("0", &date), host::Variant(0.0));
  EXPECT_EQ(typed_value("0.5", &date), host::Variant(0.5));
  EXPECT_EQ(typed_value("-1.5e3", &date), host::Variant(-1500.0));
  EXPECT_EQ(typed_value("12%", &date), host::Variant(0.12));
  EXPECT_EQ(typed_value("007", &date), host::Variant("007"));
  EXPECT_EQ(typed_value("12345678901", &date), host::Variant(12345678901.0));
  EXPECT_EQ(typed_value("123456789012", &date), host::Variant("123456789012"));
  EXPECT_EQ(typed_value("-123456789012", &date), host::Variant("-123456789012"));
  EXPECT_EQ(typed_value("1234567890.12345", &date), host::Variant(1234567890.12345));
  EXPECT_EQ(typed_value("1234567890.123456", &date), host::Variant("1234567890.123456"));
  EXPECT_EQ(typed_value("12,34", &date), host::Variant("12,34"));
  EXPECT_EQ(typed_value("1,234,567", &date), host::Variant(1234567.0));
  EXPECT_EQ(typed_value("1.2.3", &date), host::Variant("1.2.3"));
  EXPECT_EQ(typed_value("inf", &date), host::Variant("inf"));
  EXPECT_EQ(typed_value("TRUE", &date), host::Variant(true));
  EXPECT_EQ(typed_value("#N/A", &date), host::Variant(host::CellError::NA));
  EXPECT_FALSE(date);
  EXPECT_EQ(typed_value("2024/2/29", &date), host::Variant(45351.0));
  EXPECT_TRUE(date);
  EXPECT_EQ(typed_value("2023-02-29", &date), host::Variant("2023-02-29"));
  EXPECT_FALSE(date);
}

TEST(DelimitedText, BinaryAndUndecodableFilesAreRefused) {
  EXPECT_THROW(read_delimited(std::string("\x89PNG\r\n\x1a\n\0\0\0", 11), "p.csv"),
               host::HostError);
  // Not UTF-8, and 0x80 0x80 is no GB18030 text either.
  EXPECT_THROW(read_delimited("a,b\n\x80\x80,c\n", "q.csv"), host::HostError);
  // Bars, with a bar inside quotes.
  auto book = read_delimited("a|b|c\n1|\"x|y\"|3\n", "bar.csv");
  EXPECT_EQ(spreadsheet::cells::find(*book->sheets[0], 2, 2)->value, host::Variant("x|y"));
  EXPECT_EQ(spreadsheet::cells::find(*book->sheets[0], 2, 3)->value, host::Variant(3.0));
}

TEST(Detection, TheFirstBytesChooseTheReaderWhateverTheName) {
  TempFolder folder("readers");
  const std::string csv_named_xls = folder.file("名单.xls");
  test::write_bytes(csv_named_xls, "姓名,考号\n张三,001\n");
  auto book = read_any(csv_named_xls);
  EXPECT_EQ(book->source_kind, spreadsheet::SourceKind::Text);
  EXPECT_EQ(spreadsheet::cells::find(*book->sheets[0], 2, 2)->value, host::Variant("001"));
  EXPECT_EQ(detect_kind("PK\x03\x04rest"), FileKind::Xlsx);
  EXPECT_EQ(detect_kind(std::string(kCompoundSignature) + "x"), FileKind::Xls);
  EXPECT_EQ(detect_kind("\xEF\xBB\xBF  <html><body><table>"), FileKind::Html);
  EXPECT_EQ(detect_kind("<?xml version=\"1.0\"?>\n<Workbook "
                        "xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\">"),
            FileKind::SpreadsheetXml);
  EXPECT_EQ(detect_kind("a,b\n<table>,c"), FileKind::Text);
}

// An .xlsx that is empty (a save or copy cut short), or bytes that are no
// table at all under that name, says what it is and where the older copies
// are, rather than reading as a workbook without its sheets. A text table
// merely named .xlsx still reads as one.
TEST(Detection, AFileNamedXlsxThatIsNoWorkbookSaysWhatItIs) {
  TempFolder folder("readers");
  const std::string empty = folder.file("考试.xlsx");
  test::write_bytes(empty, "");
  const std::string binary = folder.file("名单.XLSX");
  test::write_bytes(binary, std::string("\x89PNG\r\n\x1a\n\0\0\0", 11));
  for (const auto& [path, what] :
       {std::pair{empty, "是空文件（0 字节）"},
        std::pair{binary, "不是 .xlsx 工作簿（文件开头不是 zip 压缩包）"}}) {
    try {
      read_any(path);
      ADD_FAILURE() << path;
    } catch (const host::HostError& e) {
      EXPECT_EQ(e.number(), host::kRefused);
      EXPECT_NE(e.description().find(what), std::string::npos) << e.description();
      EXPECT_NE(e.description().find("“备份”文件夹"), std::string::npos) << e.description();
    }
  }
  const std::string text = folder.file("文本.xlsx");
  test::write_bytes(text, "姓名,考号\n张三,001\n");
  EXPECT_EQ(read_any(text)->source_kind, spreadsheet::SourceKind::Text);
}

// SpreadsheetML writes a time alone on 1899-12-31: it reads as the fraction
// of a day, as in the office suites, not a day and a fraction.
TEST(SpreadsheetXml, ATimeAloneIsAFractionOfADay) {
  const std::string xml =
      "<?xml version=\"1.0\"?>\n<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
      "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"><Worksheet ss:Name=\"考生表\">"
      "<Table><Row><Cell><Data ss:Type=\"DateTime\">1899-12-31T08:30:00.000</Data></Cell>"
      "<Cell><Data ss:Type=\"DateTime\">1900-01-01T00:00:00.000</Data></Cell>"
      "<Cell><Data ss:Type=\"DateTime\">1900-03-01T12:00:00.000</Data></Cell></Row></Table>"
      "</Worksheet></Workbook>";
  auto book = read_any(std::make_shared<const std::string>(xml), "t.xml");
  const spreadsheet::Sheet& s = *book->sheets[0];
  EXPECT_DOUBLE_EQ(spreadsheet::cells::find(s, 1, 1)->value.as_number(), 8.5 / 24);
  EXPECT_DOUBLE_EQ(spreadsheet::cells::find(s, 1, 2)->value.as_number(), 1);
  EXPECT_DOUBLE_EQ(spreadsheet::cells::find(s, 1, 3)->value.as_number(), 61.5);
}

TEST(Html, LibreOfficesPageReadsLikeTheWorkbookItCameFrom) {
  auto book = read_any(data("calc.html"));
  EXPECT_EQ(book->source_kind, spreadsheet::SourceKind::Html);
  auto ref = reference("calc.xls");
  // The page shows texts of formulas that gave "" as nothing, and its
  // sheets are named after the file.
  for (auto& rs : ref["sheets"]) {
    nlohmann::json kept = nlohmann::json::array();
    for (auto c : rs["cells"]) {
      if (c[2] == "text" && c[3] == "") continue;
      // LibreOffice's page shows TRUE as 1.
      if (c[2] == "bool") c = {c[0], c[1], "number", c[3].get<bool>() ? 1.0 : 0.0};
      kept.push_back(c);
    }
    rs["cells"] = kept;
  }
  ref["sheets"][0]["name"] = "calc";
  ref["sheets"][1]["name"] = "Sheet2";
  expect_like_xlrd(*book, ref, false);
}

TEST(Html, EntitiesSpansAndTextMarks) {
  const std::string page =
      "<html><head><meta charset=gbk></head><body><TABLE><tr><th "
      "colspan=2>A&amp;B</th><td>x</td></tr>"
      "<tr><td rowspan=2>1</td><td style=\"mso-number-format:'\\@'\">007</td><td>2<br>3</td></tr>"
      "<tr><td>4</td><td>5</td></tr></TABLE></body></html>";
  auto book = read_html(page, "p.xls");
  const spreadsheet::Sheet& s = *book->sheets[0];
  auto at = [&](int32_t r, int32_t c) { return spreadsheet::cells::find(s, r, c)->value; };
  EXPECT_EQ(at(1, 1), host::Variant("A&B"));
  EXPECT_EQ(at(1, 3), host::Variant("x"));
  EXPECT_EQ(at(2, 2), host::Variant("007"));
  EXPECT_EQ(at(2, 3), host::Variant("2\n3"));
  EXPECT_EQ(at(3, 2), host::Variant(4.0));  // B3: A3 is under A2's rowspan
  EXPECT_EQ(at(3, 3), host::Variant(5.0));
  ASSERT_EQ(s.merges.size(), 2u);
  EXPECT_EQ(s.merges[0], (host::Rect{1, 1, 1, 2}));
  EXPECT_EQ(s.merges[1], (host::Rect{2, 1, 3, 1}));
  EXPECT_THROW(read_html("<html><body>no table</body></html>", "n.xls"), host::HostError);
}

TEST(SpreadsheetXml, TypedDataFormatsMergesAndWidths) {
  auto book = read_any(data("web-export.xls"));
  EXPECT_EQ(book->source_kind, spreadsheet::SourceKind::SpreadsheetXml);
  ASSERT_EQ(book->sheets.size(), 2u);
  const spreadsheet::Sheet& s = *book->sheets[0];
  EXPECT_EQ(s.name, "考生名单");
  auto at = [&](int32_t r, int32_t c) { return spreadsheet::cells::find(s, r, c)->value; };
  EXPECT_EQ(at(2, 1), host::Variant("0024010001"));
  EXPECT_EQ(at(2, 3), host::Variant("110105200801011234"));
  EXPECT_EQ(iso(at(2, 4).as_number()), "2008-01-01T00:00:00");
  EXPECT_TRUE(
      is_date_format(book->styles.get(spreadsheet::cells::find(s, 3, 4)->style).number_format));
  EXPECT_EQ(iso(at(3, 4).as_number()), "2008-02-29T00:00:00");
  EXPECT_EQ(at(3, 2), host::Variant("李&四"));
  EXPECT_EQ(at(3, 5), host::Variant(true));
  EXPECT_EQ(at(5, 1), host::Variant("合并的说明"));
  EXPECT_EQ(at(5, 5), host::Variant(host::CellError::Div0));
  EXPECT_EQ(s.merges, (std::vector<host::Rect>{{5, 1, 5, 3}}));
  EXPECT_DOUBLE_EQ(s.rows[2].height, 30);
  EXPECT_TRUE(s.columns.at(3).custom_width);
  EXPECT_FALSE(s.columns.count(2));
}

TEST(Saving, AWorkbookFromAnotherKindIsNeverWrittenOverItsFile) {
  TempFolder folder("readers");
  const std::string csv = folder.file("名单.csv");
  const std::string text = "考号,姓名\n0001,张三\n";
  test::write_bytes(csv, text);
  spreadsheet::Engine engine(std::make_shared<AnyFormat>());
  host::Workbook& book = engine.open_workbook(csv);
  const Workbook& model = spreadsheet::Engine::model_of(book);
  EXPECT_TRUE(model.from_other_format());
  EXPECT_EQ(spreadsheet::xlsx_path_for(model), folder.file("名单.xlsx"));
  try {
    book.save();
    FAIL() << "saved over the text file";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kRefused);
    EXPECT_NE(e.description().find("名单.xlsx"), std::string::npos) << e.description();
  }
  // The format refuses it too, whatever the name it is given.
  AnyFormat format;
  EXPECT_THROW(format.save(model, csv), host::HostError);
  EXPECT_EQ(test::read_bytes(csv), text);
  // Saved as NAME.xlsx beside it, it reads back as the same table.
  book.save_as(spreadsheet::xlsx_path_for(model));
  auto back = xlsx::read_workbook(folder.file("名单.xlsx"));
  EXPECT_EQ(spreadsheet::cells::find(*back->sheets[0], 2, 1)->value, host::Variant("0001"));
  // A text file merely named .xlsx gets a name of its own to be saved to.
  Workbook fake;
  fake.source_kind = spreadsheet::SourceKind::Text;
  fake.source_path = folder.file("x.xlsx");
  EXPECT_EQ(spreadsheet::xlsx_path_for(fake), folder.file("x（已转换）.xlsx"));
}

// Inputs the fuzz targets once found failing: each is refused with a
// message or read, nothing else.
TEST(ReaderFuzzRegressions, EveryInputIsReadOrRefused) {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(data("fuzz_regressions"))) {
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    auto bytes = std::make_shared<const std::string>(std::istreambuf_iterator<char>(in),
                                                     std::istreambuf_iterator<char>());
    try {
      auto book = read_any(bytes, entry.path().filename().string());
      EXPECT_FALSE(book->sheets.empty());
    } catch (const host::HostError& e) {
      EXPECT_EQ(e.number(), host::kRefused);
    }
    ++n;
  }
  EXPECT_GT(n, 0);
}

}  // namespace
}  // namespace kelv::readers
