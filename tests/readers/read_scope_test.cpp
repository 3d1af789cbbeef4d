// A reading that leaves some sheets' cells out (for printing others): the
// sheets read are as a whole reading gives them, those left out keep their
// place, name and visibility only.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "readers/format.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::readers {
namespace {

using spreadsheet::Sheet;
using spreadsheet::Workbook;
using test::TempFolder;
using xlsx::read_workbook;
using xlsx::write_workbook;

void put(Sheet& s, int32_t r, int32_t c, host::Variant v) {
  if (s.rows.size() < static_cast<size_t>(r)) s.rows.resize(static_cast<size_t>(r));
  spreadsheet::Cell cell;
  cell.col = c;
  cell.value = std::move(v);
  s.rows[static_cast<size_t>(r - 1)].cells.push_back(std::move(cell));
}

std::shared_ptr<const std::string> fake_image(char seed) {
  return std::make_shared<const std::string>(std::string("\x89PNG\r\n\x1a\n", 8) +
                                             std::string(64, seed));
}

// Three sheets, each with texts and a picture of its own; the middle one
// with print titles and a page setup; the last hidden.
std::unique_ptr<Workbook> three_sheets() {
  auto b = std::make_unique<Workbook>();
  b->styles.intern({});
  for (const char* name : {"门贴", "桌贴", "考生表"}) {
    auto s = std::make_unique<Sheet>();
    s->name = name;
    for (int32_t r = 1; r <= 30; ++r) {
      put(*s, r, 1, std::string(name) + std::to_string(r));
      put(*s, r, 2, r * 1.5);
    }
    b->images.push_back({fake_image(name[1]), "png", 0, 0});
    s->pictures.push_back({static_cast<uint32_t>(b->images.size() - 1), 10, 20, 30, 40, true,
                           std::string("照片 ") + name, "", 1});
    b->sheets.push_back(std::move(s));
  }
  b->sheets[1]->page_setup.orientation = 2;
  b->sheets[1]->page_setup.given.orientation = true;
  b->sheets[2]->visibility = spreadsheet::Visibility::Hidden;
  b->defined_names.push_back({"_xlnm.Print_Titles", "桌贴!$1:$2", 1, false, ""});
  return b;
}

TEST(ReadScope, SheetsLeftOutKeepTheirPlaceAndTheOthersReadAsAWhole) {
  TempFolder dir;
  const std::string path = dir.file("scope.xlsx");
  write_workbook(*three_sheets(), path);
  const auto whole = read_workbook(path);
  const auto part = read_any(path, [](std::string_view s) { return s == "桌贴"; });

  ASSERT_EQ(part->sheets.size(), 3u);
  EXPECT_EQ(part->sheets[0]->name, "门贴");
  EXPECT_EQ(part->sheets[2]->name, "考生表");
  EXPECT_EQ(part->sheets[2]->visibility, spreadsheet::Visibility::Hidden);
  for (size_t i : {size_t{0}, size_t{2}}) {
    EXPECT_TRUE(part->sheets[i]->rows.empty()) << part->sheets[i]->name;
    EXPECT_TRUE(part->sheets[i]->pictures.empty()) << part->sheets[i]->name;
  }
  // The sheet read: its cells, its picture (and that picture's bytes, the
  // only ones held), its page setup and the print titles naming it.
  const Sheet& got = *part->sheets[1];
  const Sheet& want = *whole->sheets[1];
  ASSERT_EQ(got.rows.size(), want.rows.size());
  for (size_t r = 0; r < want.rows.size(); ++r) {
    ASSERT_EQ(got.rows[r].cells.size(), want.rows[r].cells.size());
    for (size_t c = 0; c < want.rows[r].cells.size(); ++c)
      EXPECT_EQ(got.rows[r].cells[c].value, want.rows[r].cells[c].value);
  }
  ASSERT_EQ(got.pictures.size(), 1u);
  EXPECT_EQ(got.pictures[0].name, "照片 桌贴");
  ASSERT_LT(got.pictures[0].image, part->images.size());
  EXPECT_EQ(*part->images[got.pictures[0].image].bytes, *fake_image("桌贴"[1]));
  EXPECT_EQ(part->images.size(), 1u);
  EXPECT_EQ(got.page_setup.orientation, 2);
  ASSERT_EQ(part->defined_names.size(), whole->defined_names.size());
  EXPECT_EQ(part->defined_names[0].local_sheet, 1);
  // Nothing kept to be written back: the sheets left out's parts are not
  // carried as parts the model does not hold.
  EXPECT_TRUE(part->passthrough.parts.empty());
}

TEST(ReadScope, EverySheetNamedReadsAsAWholeReadingDoes) {
  TempFolder dir;
  const std::string path = dir.file("all.xlsx");
  write_workbook(*three_sheets(), path);
  const auto whole = read_workbook(path);
  const auto part = read_any(path, [](std::string_view) { return true; });
  ASSERT_EQ(part->sheets.size(), whole->sheets.size());
  for (size_t i = 0; i < whole->sheets.size(); ++i) {
    EXPECT_EQ(part->sheets[i]->rows.size(), whole->sheets[i]->rows.size());
    EXPECT_EQ(part->sheets[i]->pictures.size(), whole->sheets[i]->pictures.size());
  }
  EXPECT_EQ(part->images.size(), whole->images.size());
  EXPECT_EQ(part->passthrough.parts.size(), whole->passthrough.parts.size());
}

TEST(ReadScope, OtherKindsOfFileAreReadWhole) {
  TempFolder dir;
  const std::string path = dir.file("list.csv");
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("考号,姓名\n1,张三\n", f);
    std::fclose(f);
  }
  const auto book = read_any(path, [](std::string_view) { return false; });
  ASSERT_EQ(book->sheets.size(), 1u);
  EXPECT_EQ(book->sheets[0]->rows.size(), 2u);
}

}  // namespace
}  // namespace kelv::readers
