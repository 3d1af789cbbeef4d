// Packages made to exhaust the reader: a sheet that inflates to a gigabyte,
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

namespace kelv::xlsx {
namespace {

const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// A zip file written byte by byte, so a test can say exactly what it holds
// (sizes, methods, any number of entries).
class ZipBytes {
 public:
  // Stored as is.
  void add(const std::string& name, const std::string& data) {
    add_raw(name, data, 0, crc(data), data.size());
  }
  // Already deflated (raw deflate), with the CRC and size of what it
  // inflates to.
  void add_raw(const std::string& name, const std::string& data, uint16_t method, uint32_t crc,
               uint64_t size) {
    central_.push_back({name, static_cast<uint32_t>(out_.size()), method, crc,
                        static_cast<uint32_t>(data.size()), static_cast<uint32_t>(size)});
    const Entry& e = central_.back();
    u32(0x04034b50);
    u16(20);
    u16(0x0800);  // UTF-8 names
    u16(method);
    u16(0);
    u16(0);
    u32(e.crc);
    u32(e.compressed);
    u32(e.size);
    u16(static_cast<uint16_t>(name.size()));
    u16(0);
    out_ += name;
    out_ += data;
  }
  std::string finish() {
    const uint64_t start = out_.size();
    for (const Entry& e : central_) {
      u32(0x02014b50);
      u16(20);
      u16(20);
      u16(0x0800);
      u16(e.method);
      u16(0);
      u16(0);
      u32(e.crc);
      u32(e.compressed);
      u32(e.size);
      u16(static_cast<uint16_t>(e.name.size()));
      u16(0);
      u16(0);
      u16(0);
      u16(0);
      u32(0);
      u32(e.offset);
      out_ += e.name;
    }
    const uint64_t length = out_.size() - start;
    const uint64_t n = central_.size();
    if (n > 0xFFFF) {
      // The 64-bit end records, for more entries than 16 bits count.
      const uint64_t at = out_.size();
      u32(0x06064b50);
      u64(44);
      u16(45);
      u16(45);
      u32(0);
      u32(0);
      u64(n);
      u64(n);
      u64(length);
      u64(start);
      u32(0x07064b50);
      u32(0);
      u64(at);
      u32(1);
    }
    u32(0x06054b50);
    u16(0);
    u16(0);
    u16(static_cast<uint16_t>(std::min<uint64_t>(n, 0xFFFF)));
    u16(static_cast<uint16_t>(std::min<uint64_t>(n, 0xFFFF)));
    u32(static_cast<uint32_t>(length));
    u32(static_cast<uint32_t>(start));
    u16(0);
    return std::move(out_);
  }

  static uint32_t crc(const std::string& s) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
  }

 private:
  struct Entry {
    std::string name;
    uint32_t offset;
    uint16_t method;
    uint32_t crc, compressed, size;
  };
  void u16(uint16_t v) {
    out_ += static_cast<char>(v & 0xFF);
    out_ += static_cast<char>(v >> 8);
  }
  void u32(uint32_t v) {
    u16(static_cast<uint16_t>(v & 0xFFFF));
    u16(static_cast<uint16_t>(v >> 16));
  }
  void u64(uint64_t v) {
    u32(static_cast<uint32_t>(v));
    u32(static_cast<uint32_t>(v >> 32));
  }

  std::string out_;
  std::vector<Entry> central_;
};

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
void add_book_parts(ZipBytes& zip) {
  for (const auto& [name, data] : test::package_skeleton()) zip.add(name, data);
  zip.add("xl/workbook.xml",
          std::string("<workbook xmlns=\"") + kMain +
              "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
              "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
}

void expect_refused(const std::string& path, const std::string& part, const std::string& detail) {
  try {
    read_workbook(path);
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

TEST(Bombs, ASheetInflatingToAGigabyteIsRefused) {
  test::TempFolder dir("xlsx");
  // A megabyte of rows whose deflated form repeats: 1,100 copies make a
  // sheet of 1.1 GB from a file of about a megabyte.
  const std::string head = std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData>";
  const std::string tail = "</sheetData></worksheet>";
  std::string rows;
  while (rows.size() < (1u << 20)) rows += "<row><c><v>1</v></c></row>";
  const std::string block = deflated(rows, false);
  const int copies = 1100;
  std::string data = deflated(head, false);
  uint32_t crc = ZipBytes::crc(head);
  const uint32_t rows_crc = ZipBytes::crc(rows);
  for (int i = 0; i < copies; ++i) {
    data += block;
    crc = static_cast<uint32_t>(crc32_combine(crc, rows_crc, static_cast<z_off_t>(rows.size())));
  }
  data += deflated(tail, true);
  crc = static_cast<uint32_t>(crc32_combine(crc, ZipBytes::crc(tail), tail.size()));
  const uint64_t size = head.size() + uint64_t{copies} * rows.size() + tail.size();
  ASSERT_GE(size, 1000000000u);

  ZipBytes zip;
  add_book_parts(zip);
  zip.add("xl/sharedStrings.xml", std::string("<sst xmlns=\"") + kMain + "\"/>");
  zip.add_raw("xl/worksheets/sheet1.xml", data, 8, crc, size);
  const std::string path = dir.file("gigabyte.xlsx");
  std::ofstream(path, std::ios::binary) << zip.finish();
  expect_refused(path, "xl/worksheets/sheet1.xml", "超过大小上限");

  // The same sheet claiming to be small is refused as soon as it unpacks
  // past its claim.
  ZipBytes liar;
  add_book_parts(liar);
  liar.add("xl/sharedStrings.xml", std::string("<sst xmlns=\"") + kMain + "\"/>");
  liar.add_raw("xl/worksheets/sheet1.xml", data, 8, crc, 4096);
  const std::string lying = dir.file("lying.xlsx");
  std::ofstream(lying, std::ios::binary) << liar.finish();
  expect_refused(lying, "xl/worksheets/sheet1.xml", "");
}

TEST(Bombs, AHundredThousandEntriesAreRefused) {
  test::TempFolder dir("xlsx");
  ZipBytes zip;
  add_book_parts(zip);
  for (int i = 0; i < 100000; ++i) zip.add("xl/media/m" + std::to_string(i), "");
  const std::string path = dir.file("entries.xlsx");
  std::ofstream(path, std::ios::binary) << zip.finish();
  expect_refused(path, "", "部件过多");
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
  ZipBytes a;
  add_book_parts(a);
  a.add("xl/sharedStrings.xml", std::string("<sst xmlns=\"") + kMain + "\"/>");
  a.add_raw("xl/worksheets/sheet1.xml", deflated(sheet, true), 8, ZipBytes::crc(sheet),
            sheet.size());
  std::ofstream(dir.file("deep-sheet.xlsx"), std::ios::binary) << a.finish();
  expect_refused(dir.file("deep-sheet.xlsx"), "xl/worksheets/sheet1.xml", "嵌套超过 1000 层");

  ZipBytes b;
  for (const auto& [name, data] : test::package_skeleton()) b.add(name, data);
  b.add("xl/sharedStrings.xml", std::string("<sst xmlns=\"") + kMain + "\"/>");
  const std::string book =
      std::string("<workbook xmlns=\"") + kMain + "\"><extLst>" + deep + "</extLst></workbook>";
  b.add_raw("xl/workbook.xml", deflated(book, true), 8, ZipBytes::crc(book), book.size());
  std::ofstream(dir.file("deep-book.xlsx"), std::ios::binary) << b.finish();
  expect_refused(dir.file("deep-book.xlsx"), "xl/workbook.xml", "嵌套超过 1000 层");
}

}  // namespace
}  // namespace kelv::xlsx
