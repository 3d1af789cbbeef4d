// PDF files as other readers see them: poppler's pdftotext finds every
// examinee's name and exam number on the page the page model puts them,
// pdffonts lists embedded fonts, a picture drawn many times is stored once,
// and a stopped export leaves an old file as it was.
#include "print/qt/pdf_export.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "app/sample/demo.h"
#include "app/sample/sample_workspace.h"
#include "host/file_path.h"
#include "spreadsheet/cells.h"
#include "support/outside_tools.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::print {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
// The Windows build's tests run under Wine, which cannot start poppler's
// Linux programs: these tests write their PDFs and check the bytes here, and
// windows.pdf-matches-linux reads the Windows build's PDFs back with poppler.
constexpr bool kPopplerRuns = false;
#else
constexpr bool kPopplerRuns = true;
#endif
#define SKIP_WITHOUT_POPPLER() \
  if (!kPopplerRuns) GTEST_SKIP() << "poppler-utils cannot run under Wine"

size_t count_of(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

class PdfExport : public ::testing::Test {
 protected:
  // A file in the test's folder, as UTF-8 text.
  std::string file(std::string_view name) const { return folder.file(name); }
  // `pdf` quoted for a command line.
  static std::string quoted(const std::string& pdf) { return quoted(pdf); }

  test::TempFolder folder{"pdf"};
};

// The column of a heading in row 1.
int32_t column_of(const spreadsheet::Sheet& sheet, const std::string& heading) {
  for (const auto& cell : sheet.rows[0].cells)
    if (cell.value.is_text() && cell.value.as_text() == heading) return cell.col;
  return 0;
}

TEST_F(PdfExport, EveryExamineeIsTextOnThePageThePageModelGivesThem) {
  sample::DemoOptions options;
  options.dir = file("demo");
  options.examinees = 300;
  std::ostringstream log;
  ASSERT_EQ(sample::run_demo(options, log), 0) << log.str();
  const auto book =
      xlsx::read_workbook(host::path_text(host::file_path(file("demo")) / host::file_path("数据") /
                                          host::file_path(sample::kDataWorkbookName)));
  const PrintJob job(*book, sheets_to_print(*book, {}));
  const std::string pdf = file("demo.pdf");
  int32_t reported = 0;
  ASSERT_TRUE(write_pdf(job, pdf, [&](const JobProgress& p) {
    reported = p.done;
    return true;
  }));
  EXPECT_EQ(reported, job.page_count());
  SKIP_WITHOUT_POPPLER();

  // Fonts are embedded.
  const std::string fonts = test::command_output("pdffonts '" + pdf + "'");
  ASSERT_FALSE(fonts.empty()) << "pdffonts (poppler-utils) is needed";
  std::istringstream lines(fonts);
  int embedded = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("Identity-H") == std::string::npos) continue;
    EXPECT_NE(line.find(" yes "), std::string::npos) << line;
    ++embedded;
  }
  EXPECT_GE(embedded, 1);

  // pdftotext parts pages with form feeds.
  const std::string text = test::command_output("pdftotext -layout '" + pdf + "' -");
  std::vector<std::string> pages;
  std::istringstream parts(text);
  for (std::string page; std::getline(parts, page, '\f');) pages.push_back(page);
  ASSERT_GE(static_cast<int32_t>(pages.size()), job.page_count());

  // Every examinee's name and exam number on the page of the door list and
  // of the sign-in sheet that holds their row.
  const spreadsheet::Sheet* examinees = nullptr;
  for (const auto& s : book->sheets)
    if (s->name == "考生表") examinees = s.get();
  ASSERT_NE(examinees, nullptr);
  const int32_t name_col = column_of(*examinees, "姓名"),
                number_col = column_of(*examinees, "考号");
  ASSERT_GT(name_col, 0);
  ASSERT_GT(number_col, 0);
  for (const char* table : {"门贴", "签到表"}) {
    std::map<std::string, int32_t> row_of_number;
    int32_t sheet_in_job = -1;
    for (size_t i = 0; i < job.sheets().size(); ++i) {
      const auto& sheet = *book->sheets[static_cast<size_t>(job.sheets()[i].sheet_index)];
      if (sheet.name != table) continue;
      sheet_in_job = static_cast<int32_t>(i);
      for (int32_t r = 1; r <= static_cast<int32_t>(sheet.rows.size()); ++r)
        for (const auto& cell : sheet.rows[static_cast<size_t>(r - 1)].cells)
          if (cell.value.is_text()) row_of_number.emplace(cell.value.as_text(), r);
    }
    ASSERT_GE(sheet_in_job, 0) << table;
    int checked = 0;
    for (int32_t r = 2; r <= static_cast<int32_t>(examinees->rows.size()); ++r) {
      const auto* name = spreadsheet::cells::find(*examinees, r, name_col);
      const auto* number = spreadsheet::cells::find(*examinees, r, number_col);
      if (name == nullptr || number == nullptr) continue;
      const std::string number_text = number->value.to_text();
      const auto at = row_of_number.find(number_text);
      ASSERT_NE(at, row_of_number.end()) << table << " " << number_text;
      int32_t page = -1;
      for (int32_t i = 0; i < job.page_count(); ++i) {
        const auto& cells = job.page_of(i).body.cells;
        if (job.page(i).sheet == sheet_in_job && at->second >= cells.row1 &&
            at->second <= cells.row2)
          page = i;
      }
      ASSERT_GE(page, 0) << table << " " << number_text;
      EXPECT_NE(pages[static_cast<size_t>(page)].find(number_text), std::string::npos)
          << table << " page " << page + 1;
      EXPECT_NE(pages[static_cast<size_t>(page)].find(name->value.as_text()), std::string::npos)
          << table << " page " << page + 1;
      ++checked;
    }
    EXPECT_EQ(checked, 300) << table;
  }

  // The sign-in sheet's footer numbers pages through the whole file.
  int32_t first_sign_in = -1;
  for (int32_t i = 0; i < job.page_count() && first_sign_in < 0; ++i)
    if (book->sheets[static_cast<size_t>(job.layout_of(i).sheet_index)]->name == "签到表")
      first_sign_in = i;
  ASSERT_GE(first_sign_in, 0);
  const std::string footer = "第 " + std::to_string(first_sign_in + 1) + " 页，共 " +
                             std::to_string(job.page_count()) + " 页";
  EXPECT_NE(pages[static_cast<size_t>(first_sign_in)].find(footer), std::string::npos) << footer;
}

TEST_F(PdfExport, APictureDrawnManyTimesIsStoredOnce) {
  spreadsheet::Workbook book;
  book.sheets.push_back(std::make_unique<spreadsheet::Sheet>());
  book.sheets[0]->name = "标签";
  QImage image(60, 80, QImage::Format_RGB32);
  image.fill(QColor(200, 40, 40));
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  spreadsheet::Image img;
  img.bytes = std::make_shared<const std::string>(png.constData(), static_cast<size_t>(png.size()));
  img.extension = "png";
  img.width_px = 60;
  img.height_px = 80;
  book.images.push_back(img);
  // Thirty labels, each with the picture, over two pages.
  for (int32_t i = 0; i < 30; ++i) {
    spreadsheet::cells::get(*book.sheets[0], i * 5 + 1, 1).value = host::Variant("标签");
    spreadsheet::PictureModel pic;
    pic.top = i * 5 * 14.25;
    pic.left = 50;
    pic.width = 45;
    pic.height = 60;
    book.sheets[0]->pictures.push_back(pic);
  }
  const PrintJob job(book, {0});
  ASSERT_GE(job.page_count(), 2);
  const std::string pdf = file("labels.pdf");
  ASSERT_TRUE(write_pdf(job, pdf));
  EXPECT_EQ(count_of(test::read_bytes(pdf), "/Subtype /Image"), 1u);
  SKIP_WITHOUT_POPPLER();
  // And it is drawn every time (twice where a picture crosses a page break).
  const std::string uses = test::command_output("pdfimages -list '" + pdf + "'");
  EXPECT_GE(count_of(uses, " image "), 30u);
}

// Words read back from the PDF as they were typed (no "ﬁ" or "ﬀ" glyph
// standing for two letters), and each Chinese font name draws with a face
// of its kind, embedded so its text is extractable.
TEST_F(PdfExport, TextReadsBackAsTypedInTheFaceOfItsKind) {
  spreadsheet::Workbook book;
  book.sheets.push_back(std::make_unique<spreadsheet::Sheet>());
  spreadsheet::Sheet& sheet = *book.sheets[0];
  sheet.name = "字体";
  sheet.columns[1].width = 40;
  const std::pair<const char*, const char*> fonts[] = {
      {"Calibri", "left-aligned office fifty afflicted"},
      {"宋体", "宋体考场安排"},
      {"仿宋", "仿宋准考证"},
      {"楷体", "楷体签到表"},
      {"黑体", "黑体门贴"},
      {"微软雅黑", "雅黑桌贴"},
  };
  int32_t row = 1;
  for (const auto& [font, text] : fonts) {
    spreadsheet::Style style;
    style.font.name = font;
    spreadsheet::Cell& cell = spreadsheet::cells::get(sheet, row++, 1);
    cell.style = book.styles.intern(style);
    cell.value = host::Variant(text);
  }
  const PrintJob job(book, {0});
  const std::string pdf = file("fonts.pdf");
  ASSERT_TRUE(write_pdf(job, pdf));
  EXPECT_TRUE(font_notes(job).empty());
  SKIP_WITHOUT_POPPLER();
  const std::string text = test::command_output("pdftotext '" + pdf + "' -");
  for (const auto& [font, written] : fonts)
    EXPECT_NE(text.find(written), std::string::npos) << font;
  const std::string listed = test::command_output("pdffonts '" + pdf + "'");
  for (const char* face : {"UMing", "UKai", "ZenHei", "MicroHei"})
    EXPECT_NE(listed.find(face), std::string::npos) << listed;
}

TEST_F(PdfExport, ALargeFileHasEveryObjectWhereItsCrossReferenceSaysAndEndsWhole) {
  // More than a megabyte, written in several blocks: every offset the
  // cross-reference table gives must hold its object.
  spreadsheet::Workbook book;
  book.sheets.push_back(std::make_unique<spreadsheet::Sheet>());
  for (int32_t r = 1; r <= 30000; ++r)
    for (int32_t c = 1; c <= 8; ++c)
      spreadsheet::cells::get(*book.sheets[0], r, c).value = host::Variant(r * 10.0 + c);
  const PrintJob job(book, {0});
  const std::string pdf = file("large.pdf");
  ASSERT_TRUE(write_pdf(job, pdf));
  const std::string bytes = test::read_bytes(pdf);
  ASSERT_GT(bytes.size(), size_t{1} << 20);
  ASSERT_TRUE(bytes.ends_with("%%EOF\n")) << bytes.substr(bytes.size() - 40);
  const size_t start = bytes.rfind("startxref");
  ASSERT_NE(start, std::string::npos);
  const size_t xref = std::stoull(bytes.substr(start + 10, 20));
  ASSERT_EQ(bytes.compare(xref, 4, "xref"), 0);
  std::istringstream table(bytes.substr(xref));
  std::string word;
  size_t first = 0, count = 0;
  table >> word >> first >> count;
  ASSERT_GT(count, static_cast<size_t>(job.page_count()));
  for (size_t i = 0; i < count; ++i) {
    std::string offset, generation, kind;
    table >> offset >> generation >> kind;
    if (kind != "n") continue;
    const std::string expected = std::to_string(first + i) + " 0 obj";
    EXPECT_EQ(bytes.compare(std::stoull(offset), expected.size(), expected), 0)
        << "object " << first + i << " at " << offset;
  }
}

TEST_F(PdfExport, AStoppedOrFailedExportLeavesTheOldFileAsItWas) {
  spreadsheet::Workbook book;
  book.sheets.push_back(std::make_unique<spreadsheet::Sheet>());
  for (int32_t r = 1; r <= 200; ++r)
    spreadsheet::cells::get(*book.sheets[0], r, 1).value = host::Variant(1.0 * r);
  const PrintJob job(book, {0});
  ASSERT_GT(job.page_count(), 2);
  const std::string pdf = file("old.pdf");
  test::write_bytes(pdf, "old");
  EXPECT_FALSE(write_pdf(job, pdf, [](const JobProgress& p) { return p.done < 2; }));
  EXPECT_EQ(test::read_bytes(pdf), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);

  EXPECT_THROW(write_pdf(job, file("missing/x.pdf")), std::runtime_error);
  const PrintJob empty(book, {});
  EXPECT_THROW(write_pdf(empty, pdf), std::runtime_error);
  EXPECT_EQ(test::read_bytes(pdf), "old");
}

}  // namespace
}  // namespace kelv::print
