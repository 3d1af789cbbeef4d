// Packages made to exhaust the reader: a sheet that inflates to gigabytes,
// a hundred thousand entries, nesting a million levels deep. Each is refused
// with a message naming what is wrong, before it costs time or memory (the
// figures are in the README, measured outside the tests).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "host/host_error.h"
#include "xlsx/xlsx_format.h"
#include "xlsx_test_util.h"
#include "zip_bytes.h"

namespace kelv::xlsx {
namespace {

const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// Raw deflate of `text`, ended with a full flush (byte-aligned, no
// reference back), or finished.
std::string deflated(const std::string& text, bool finish) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, text.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, finish ? Z_FINISH : Z_FULL_FLUSH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// The parts of a one-sheet workbook but the sheet.
void add_book_parts(test::ZipBytes& zip) {
  for (const auto& [name, data] : test::package_skeleton()) zip.add(name, data);
  zip.add("xl/workbook.xml",
          std::string("<workbook xmlns=\"") + kMain +
              "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
              "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
}

void expect_refused(const std::string& path, const std::string& part, const std::string& detail,
                    const UnpackLimits& limits = {}) {
  try {
    read_workbook(path, limits);
    ADD_FAILURE() << "read without error: " << path;
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kRefused);
    EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
    if (!part.empty()) {
      EXPECT_NE(e.description().find("“" + part + "”"), std::string::npos) << e.description();
    }
    EXPECT_NE(e.description().find(detail), std::string::npos) << e.description();
  }
}

TEST(Bombs, ASheetInflatingPastTwoGigabytesIsRefused) {
  test::TempFolder dir("xlsx");
  // A megabyte of rows whose deflated form repeats: 2,100 copies make a
  // sheet of 2.2 GB from a file of a few megabytes.
  const std::string head = std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData>";
  const std::string tail = "</sheetData></worksheet>";
  std::string rows;
  while (rows.size() < (1u << 20)) rows += "<row><c><v>1</v></c></row>";
  const std::string block = deflated(rows, false);
  const int copies = 2100;
  std::string data = deflated(head, false);
  uint32_t crc = test::ZipBytes::crc(head);
  const uint32_t rows_crc = test::ZipBytes::crc(rows);
  for (int i = 0; i < copies; ++i) {
    data += block;
    crc = static_cast<uint32_t>(crc32_combine(crc, rows_crc, static_cast<z_off_t>(rows.size())));
  }
  data += deflated(tail, true);
  crc = static_cast<uint32_t>(crc32_combine(crc, test::ZipBytes::crc(tail), tail.size()));
  const uint64_t size = head.size() + uint64_t{copies} * rows.size() + tail.size();
  ASSERT_GT(size, uint64_t{2} << 30);

  test::ZipBytes zip;
  add_book_parts(zip);
  zip.add("xl/sharedStrings.xml", std::string("<sst xmlns=\"") + kMain + "\"/>");
  zip.add_raw("xl/worksheets/sheet1.xml", data, 8, crc, size);
  const std::string path = dir.file("gigabyte.xlsx");
  std::ofstream(path, std::ios::binary) << zip.finish();
  expect_refused(path, "xl/worksheets/sheet1.xml", "超过大小上限");

  // The same sheet claiming to be small is refused as soon as it unpacks
  // past its claim.
  test::ZipBytes liar;
  add_book_parts(liar);
  liar.add("xl/sharedStrings.xml", std::string("<sst xmlns=\"") + kMain + "\"/>");
  liar.add_raw("xl/worksheets/sheet1.xml", data, 8, crc, 4096);
  const std::string lying = dir.file("lying.xlsx");
  std::ofstream(lying, std::ios::binary) << liar.finish();
  expect_refused(lying, "xl/worksheets/sheet1.xml", "");
}

TEST(Bombs, EntriesBeyondTheLimitAreRefused) {
  test::TempFolder dir("xlsx");
  test::ZipBytes zip;
  add_book_parts(zip);
  for (int i = 0; i < 2000; ++i) zip.add("xl/media/m" + std::to_string(i), "");
  const std::string path = dir.file("entries.xlsx");
  std::ofstream(path, std::ios::binary) << zip.finish();
  UnpackLimits limits;
  limits.max_parts = 1000;
  expect_refused(path, "", "部件过多", limits);
}

TEST(Bombs, NestingAMillionLevelsDeepIsRefused) {
  test::TempFolder dir("xlsx");
  std::string deep;
  deep.reserve(7000000);
  for (int i = 0; i < 1000000; ++i) deep += "<x>";
  for (int i = 0; i < 1000000; ++i) deep += "</x>";
  // In a sheet, read as a stream, and in the workbook, read as a tree.
  const std::string sheet = std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData/><extLst>" +
                            deep + "</extLst></worksheet>";
  test::ZipBytes a;
  add_book_parts(a);
  a.add("xl/sharedStrings.xml", std::string("<sst xmlns=\"") + kMain + "\"/>");
  a.add_raw("xl/worksheets/sheet1.xml", deflated(sheet, true), 8, test::ZipBytes::crc(sheet),
            sheet.size());
  std::ofstream(dir.file("deep-sheet.xlsx"), std::ios::binary) << a.finish();
  expect_refused(dir.file("deep-sheet.xlsx"), "xl/worksheets/sheet1.xml", "嵌套超过 1000 层");

  test::ZipBytes b;
  for (const auto& [name, data] : test::package_skeleton()) b.add(name, data);
  b.add("xl/sharedStrings.xml", std::string("<sst xmlns=\"") + kMain + "\"/>");
  const std::string book =
      std::string("<workbook xmlns=\"") + kMain + "\"><extLst>" + deep + "</extLst></workbook>";
  b.add_raw("xl/workbook.xml", deflated(book, true), 8, test::ZipBytes::crc(book), book.size());
  std::ofstream(dir.file("deep-book.xlsx"), std::ios::binary) << b.finish();
  expect_refused(dir.file("deep-book.xlsx"), "xl/workbook.xml", "嵌套超过 1000 层");
}

}  // namespace
}  // namespace kelv::xlsx
