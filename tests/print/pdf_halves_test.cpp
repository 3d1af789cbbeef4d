// A long job written in two halves on two threads and joined: the same
// pages as one writer gives (text, paper, pixels), every font embedded,
// progress told in the job's order, and a stop leaves the old file.
#include "print/qt/pdf_halves.h"

#include <gtest/gtest.h>

#include <QPdfWriter>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "print/qt/page_painter.h"
#include "print/qt/pdf_export.h"
#include "spreadsheet/cells.h"
#include "support/outside_tools.h"
#include "support/temp_folder.h"

namespace kelv::print {
namespace {

namespace fs = std::filesystem;

// Two sheets: a landscape one of names and numbers whose pages run across
// the middle of the job, then a portrait one with a header, wholly in the
// second half.
std::unique_ptr<spreadsheet::Workbook> two_sheets() {
  auto book = std::make_unique<spreadsheet::Workbook>();
  for (const char* name : {"名单", "成绩"}) {
    book->sheets.push_back(std::make_unique<spreadsheet::Sheet>());
    book->sheets.back()->name = name;
  }
  spreadsheet::Sheet& names = *book->sheets[0];
  names.page_setup.orientation = 2;
  names.page_setup.given.orientation = true;
  for (int32_t r = 1; r <= 2400; ++r) {
    spreadsheet::cells::get(names, r, 1).value = host::Variant("考生" + std::to_string(r));
    spreadsheet::cells::get(names, r, 2).value = host::Variant(2026000000.0 + r);
  }
  spreadsheet::Sheet& marks = *book->sheets[1];
  marks.page_setup.header_footer.odd_header = "&C成绩 第 &P 页";
  marks.page_setup.given.header_footer = true;
  for (int32_t r = 1; r <= 1500; ++r)
    spreadsheet::cells::get(marks, r, 1).value = host::Variant(r * 0.5);
  return book;
}

class PdfHalves : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)font_warning();  // starts Qt
    if (!writes_in_halves(job)) GTEST_SKIP() << "this build writes every PDF with one writer";
  }
  // The job through one writer, as a short job is written.
  void write_whole(const std::string& path) {
    QPdfWriter writer(QString::fromStdString(path));
    writer.setResolution(720);
    ASSERT_TRUE(render_job(job, writer, nullptr));
  }

  std::unique_ptr<spreadsheet::Workbook> book = two_sheets();
  PrintJob job{*book, {0, 1}};
  test::TempFolder folder{"halves"};
};

TEST_F(PdfHalves, TheJoinedFileHasThePagesOneWriterGives) {
  ASSERT_GT(job.page_count(), 80);
  const int32_t middle = job.page_count() / 2;
  ASSERT_EQ(job.page(middle).sheet, 0) << "the first sheet should run across the middle";
  const std::string halves = folder.file("halves.pdf"), whole = folder.file("whole.pdf");
  ASSERT_TRUE(write_pdf(job, halves));
  write_whole(whole);

  EXPECT_EQ(test::command_output("pdftotext -layout '" + halves + "' -"),
            test::command_output("pdftotext -layout '" + whole + "' -"));
  const std::string n = std::to_string(job.page_count());
  const std::string sizes =
      test::command_output("pdfinfo -f 1 -l " + n + " '" + whole + "' | grep '^Page '");
  EXPECT_NE(sizes.find("842 x 595"), std::string::npos) << "a landscape page";
  EXPECT_NE(sizes.find("595 x 842"), std::string::npos) << "a portrait page";
  EXPECT_EQ(test::command_output("pdfinfo -f 1 -l " + n + " '" + halves + "' | grep '^Page '"),
            sizes);
  EXPECT_EQ(test::command_output("pdfinfo '" + halves + "' | grep '^Pages:'"),
            "Pages:           " + n + "\n");
  // Pixels of the first page, the pages either side of the middle and the
  // last, the second sheet's header among them.
  for (int32_t page : {1, middle, middle + 1, job.page_count()}) {
    const std::string at = " -f " + std::to_string(page) + " -l " + std::to_string(page);
    EXPECT_EQ(test::command_output("pdftoppm -r 40 -gray" + at + " '" + halves + "'"),
              test::command_output("pdftoppm -r 40 -gray" + at + " '" + whole + "'"))
        << "page " << page;
  }
  // Each half embeds its fonts.
  std::istringstream fonts(test::command_output("pdffonts '" + halves + "'"));
  std::string line;
  int32_t listed = 0;
  for (int32_t i = 0; std::getline(fonts, line); ++i) {
    if (i < 2) continue;  // the headings
    std::istringstream words(line);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    ASSERT_GE(w.size(), 5u) << line;
    EXPECT_EQ(w[w.size() - 5], "yes") << line;  // embedded
    ++listed;
  }
  EXPECT_GE(listed, 2);
}

TEST_F(PdfHalves, ProgressCountsBothHalvesAndTellsEachSheetOnceInOrder) {
  std::vector<JobProgress> told;
  ASSERT_TRUE(write_pdf(job, folder.file("p.pdf"), [&](const JobProgress& p) {
    told.push_back(p);
    return true;
  }));
  ASSERT_FALSE(told.empty());
  std::vector<int32_t> finished;
  int32_t done = 0;
  for (const JobProgress& p : told) {
    EXPECT_EQ(p.total, job.page_count());
    EXPECT_GE(p.done, done);
    done = p.done;
    if (!p.sheet_done) continue;
    finished.push_back(p.sheet);
    // Every page of that sheet and of those before it is done by then.
    int32_t pages_before = 0;
    for (int32_t s = 0; s <= p.sheet; ++s)
      pages_before += static_cast<int32_t>(job.sheets()[static_cast<size_t>(s)].pages.size());
    EXPECT_GE(p.done, pages_before);
  }
  EXPECT_EQ(done, job.page_count());
  EXPECT_EQ(finished, (std::vector<int32_t>{0, 1}));
  EXPECT_TRUE(told.back().sheet_done);
}

TEST_F(PdfHalves, AStopInEitherHalfLeavesTheOldFile) {
  const std::string pdf = folder.file("old.pdf");
  test::write_bytes(pdf, "old");
  for (const int32_t stop_at : {3, job.page_count() - 2}) {
    EXPECT_FALSE(write_pdf(job, pdf, [&](const JobProgress& p) { return p.done < stop_at; }));
    EXPECT_EQ(test::read_bytes(pdf), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
  }
}

}  // namespace
}  // namespace kelv::print
