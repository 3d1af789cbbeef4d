// Pieces compressed apart and joined into one deflate stream, checked with
// zlib and Python's zip reader rather than with kelv's own reader.
#include "xlsx/deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "xlsx/xlsx_format.h"
#include "xlsx_test_util.h"

namespace kelv::xlsx {
namespace {

// Raw inflate with zlib; fails the test on a stream zlib refuses.
std::string inflate_raw(const std::string& in, size_t expected) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
  std::string out(expected + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&z, Z_FINISH);
  EXPECT_EQ(rc, Z_STREAM_END) << (z.msg ? z.msg : "");
  EXPECT_EQ(z.avail_in, 0u) << "bytes after the final block";
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

std::string xml_rows(int n, int seed) {
  std::string s;
  for (int i = 0; i < n; ++i)
    s += "<row r=\"" + std::to_string(i + seed) + "\"><c t=\"s\"><v>" +
         std::to_string((i * 7919 + seed) % 5000) + "</v></c></row>";
  return s;
}

std::string noise(size_t n, unsigned seed) {
  std::mt19937 g(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(g());
  return s;
}

// Every kind of block libdeflate makes (dynamic for text, stored for noise,
// fixed for a few bytes), pieces that end where another kind begins, and
// empty pieces: the joined stream inflates to the joined text, and the
// joined CRC is the CRC of the whole.
TEST(Deflate, PiecesJoinIntoOneStream) {
  const std::vector<std::vector<std::string>> cases = {
      {xml_rows(30000, 1), xml_rows(20000, 7), xml_rows(10, 3)},
      {noise(200000, 1), xml_rows(5000, 2), noise(70000, 3)},
      {"a", "", "bc", std::string(100000, 'x'), "", "tail"},
      {"", ""},
      {xml_rows(1, 1)},
  };
  for (const auto& pieces : cases) {
    Deflater d;
    std::string stream, whole;
    uint32_t crc = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
      d.compress(pieces[i], i + 1 == pieces.size(), stream);
      crc = crc32_join(crc, crc32_of(0, pieces[i]), pieces[i].size());
      whole += pieces[i];
    }
    EXPECT_EQ(inflate_raw(stream, whole.size()), whole);
    EXPECT_EQ(crc, static_cast<uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(whole.data()),
                                                 static_cast<uInt>(whole.size()))));
  }
}

TEST(Deflate, DamagedStreamHasNoFinalBlock) {
  Deflater d;
  std::string s;
  d.compress(xml_rows(2000, 1), true, s);
  uint64_t header = 0, end = 0;
  ASSERT_TRUE(locate_final_block(s, &header, &end));
  EXPECT_LE((end + 7) / 8, s.size());
  EXPECT_FALSE(locate_final_block(std::string_view(s).substr(0, s.size() / 2), &header, &end));
  EXPECT_FALSE(locate_final_block(std::string("\x07\xff\xff", 3), &header, &end));  // type 3
}

// A sheet written in many pieces while other parts compress beside it: the
// file passes Python's zip check, openpyxl reads its last row, and kelv
// reads back what it wrote.
TEST(Deflate, LargeSheetInPiecesIsOneValidPart) {
  spreadsheet::Workbook book;
  auto sheet = std::make_unique<spreadsheet::Sheet>();
  sheet->name = "考生表";
  constexpr int kRows = 30000;
  sheet->rows.resize(kRows);
  for (int i = 0; i < kRows; ++i) {
    for (int c = 1; c <= 3; ++c) {
      spreadsheet::Cell cell;
      cell.col = c;
      cell.value = c == 2 ? host::Variant("考生" + std::to_string(i)) : host::Variant(i * 1.5 + c);
      sheet->rows[static_cast<size_t>(i)].cells.push_back(std::move(cell));
    }
  }
  book.sheets.push_back(std::move(sheet));
  test::TempFolder dir("xlsx");
  const std::string file = dir.file("large.xlsx");
  write_workbook(book, file);
  ASSERT_GT(test::read_part(file, "xl/worksheets/sheet1.xml").size(), 3 * kDeflatePiece);

  auto back = read_workbook(file);
  test::expect_same_book(book, *back);

  if (std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "openpyxl is not available";
  }
  const std::string check =
      "/usr/bin/python3 -c \"import sys, zipfile, openpyxl\n"
      "assert zipfile.ZipFile(sys.argv[1]).testzip() is None\n"
      "ws = openpyxl.load_workbook(sys.argv[1], read_only=True)['考生表']\n"
      "rows = list(ws.iter_rows(values_only=True))\n"
      "assert len(rows) == 30000 and rows[-1] == (44999.5, '考生29999', 45001.5), rows[-1]\" '" +
      file + "'";
  EXPECT_EQ(std::system(check.c_str()), 0);
}

}  // namespace
}  // namespace kelv::xlsx
