// Warnings about what the data becomes, on files written the way
// student-information systems and cameras leave them
// (data/real/make_real_data_files.py).

#include "app/core/data_warnings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/core/data_import.h"
#include "host/file_path.h"
#include "spreadsheet/engine.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;

const fs::path kWorkspace =
    fs::path("data") / host::file_path("real") / host::file_path("workspace");

class DataWarnings : public ::testing::Test {
 protected:
  std::vector<Finding> check(const std::string& data, CheckPurpose purpose,
                             const std::string& start = "") {
    engine = std::make_unique<spreadsheet::Engine>(std::make_shared<xlsx::XlsxFormat>());
    host_book =
        &engine->open_host_workbook(host::path_text(kWorkspace / host::file_path("考务.xlsx")));
    data_book = &engine->open_workbook(
        host::path_text(kWorkspace / host::file_path("数据") / host::file_path(data)));
    CheckSettings settings = settings_from_host(*host_book);
    if (!start.empty()) settings.start_number = start;
    return check_workspace(*host_book, *data_book, settings, purpose);
  }

  std::unique_ptr<spreadsheet::Engine> engine;
  host::Workbook* host_book = nullptr;
  host::Workbook* data_book = nullptr;
};

std::vector<Finding> with(const std::vector<Finding>& all, const std::string& part) {
  std::vector<Finding> out;
  for (const Finding& f : all)
    if (f.message.find(part) != std::string::npos) out.push_back(f);
  return out;
}

std::string listing(const std::vector<Finding>& all) {
  std::string s;
  for (const Finding& f : all) s += f.sheet + " " + std::to_string(f.row) + " " + f.message + "\n";
  return s;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// IDs as text, photos named as the data names them, start 0001 for four
// places, fields formatted as text: not one of the warnings.
TEST_F(DataWarnings, NoneOnSoundData) {
  const std::vector<Finding> all = check("文本号码.xlsx", CheckPurpose::Assign);
  EXPECT_TRUE(with(all, "位以上的数字").empty()) << listing(all);
  EXPECT_TRUE(with(all, "重新开始").empty()) << listing(all);
  EXPECT_TRUE(with(all, "只差大小写").empty()) << listing(all);
}

// 18-digit 身份证号 and 17-digit 学籍号 kept as numbers: one notice per
// column, naming its rows; the 11-digit phone numbers lost nothing.
TEST_F(DataWarnings, IdNumbersThatLostDigitsAreNamedByColumnAndRows) {
  const std::vector<Finding> all = check("数字号码.xlsx", CheckPurpose::Assign);
  const std::vector<Finding> lost = with(all, "位以上的数字");
  ASSERT_EQ(lost.size(), 2u) << listing(all);
  EXPECT_EQ(lost[0].severity, Severity::Notice);
  EXPECT_EQ(lost[0].heading, "身份证号");
  EXPECT_EQ(lost[0].row, 2);
  EXPECT_TRUE(has(lost[0].message, "“身份证号”列第 2 至 3、5 行有 3 个")) << lost[0].message;
  EXPECT_TRUE(has(lost[0].message, "4.10102199001170E+17") ||
              has(lost[0].message, "4.1010219900117E+17"))
      << lost[0].message;
  EXPECT_EQ(lost[1].heading, "学籍号");
  EXPECT_TRUE(has(lost[1].message, "第 2 至 5 行有 4 个")) << lost[1].message;
}

// Start 9990 with four places fits; start 9998 wraps at the third place,
// in the second room.
TEST_F(DataWarnings, ExamNumbersThatStartAgainFromZero) {
  EXPECT_TRUE(with(check("数字号码.xlsx", CheckPurpose::Assign, "9990"), "重新开始").empty());
  const std::vector<Finding> all = check("数字号码.xlsx", CheckPurpose::Assign, "9998");
  const std::vector<Finding> wrap = with(all, "重新开始");
  ASSERT_EQ(wrap.size(), 1u) << listing(all);
  EXPECT_EQ(wrap[0].severity, Severity::Notice);
  EXPECT_TRUE(has(wrap[0].message,
                  "起始考号“9998”按 4 位数字编号，第 3 个考号（考场“02”）在 "
                  "9999 之后从 0000 重新开始"))
      << wrap[0].message;
  // Generation numbers nothing.
  EXPECT_TRUE(with(check("数字号码.xlsx", CheckPurpose::Generate, "9998"), "重新开始").empty());
}

TEST(ExamNumberWrap, WidthPrefixAndTheFirstWrappedPlace) {
  EXPECT_FALSE(exam_number_wrap("0001", 9999));
  ASSERT_TRUE(exam_number_wrap("0001", 10000));
  EXPECT_EQ(exam_number_wrap("0001", 10000)->first_wrapped, 9999);
  const auto prefixed = exam_number_wrap("KS99999990", 20);
  ASSERT_TRUE(prefixed);
  EXPECT_EQ(prefixed->first_wrapped, 10);
  EXPECT_EQ(prefixed->wrapped_number, "KS00000000");
  EXPECT_EQ(prefixed->last_before, "KS99999999");
  EXPECT_FALSE(exam_number_wrap("A001", 5000));  // not a number: the check says so elsewhere
  EXPECT_FALSE(exam_number_wrap("", 5));
}

// The camera's IMG_0001.JPG, a copy's .Jpg, a .jpeg and a .png stand in for
// the .jpg names the data gives: one notice listing them, none missing.
TEST_F(DataWarnings, PhotosFoundUnderAnotherSpelling) {
  const std::vector<Finding> all = check("数字号码.xlsx", CheckPurpose::Generate);
  const std::vector<Finding> found = with(all, "只差大小写");
  ASSERT_EQ(found.size(), 1u) << listing(all);
  EXPECT_TRUE(has(found[0].message, "有 4 张照片")) << found[0].message;
  EXPECT_TRUE(has(found[0].message, "IMG_0001.jpg 用的是 IMG_0001.JPG")) << found[0].message;
  EXPECT_TRUE(with(all, "找不到").empty()) << listing(all);
}

// 门贴's field cells are General: the rooms "01" and "02" and the seats
// would turn into 1, 2, and the one 身份证号 typed as text into a number
// that loses its last digits. 桌贴 has the same fields as text.
TEST_F(DataWarnings, TemplateFieldCellsInGeneralFormat) {
  const std::vector<Finding> all = check("数字号码.xlsx", CheckPurpose::Both);
  const std::vector<Finding> general = with(all, "是“常规”格式");
  ASSERT_EQ(general.size(), 3u) << listing(all);
  for (const Finding& f : general) EXPECT_EQ(f.sheet, "门贴");
  EXPECT_TRUE(has(general[0].message,
                  "字段单元格“[考场]”是“常规”格式：生成时“01”这样的值会变成数字，"
                  "显示为“1”"))
      << general[0].message;
  EXPECT_EQ(general[0].row, 2);
  EXPECT_EQ(general[0].column, 2);
  EXPECT_TRUE(has(general[1].message, "“[座号]”")) << general[1].message;
  EXPECT_TRUE(has(general[2].message, "“410102199001170322”这样的值")) << general[2].message;
}

TEST(DataImport, WarnsOfIdNumbersThatLostDigits) {
  test::TempFolder dir;
  // python-xlwt's list keeps its 身份证号 as numbers.
  const ImportResult r = import_data_file("data/real/日期.xls", dir.file("导入.xlsx"), false);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_TRUE(has(r.warnings[0], "考生表“身份证号”列第 2 至 4 行有 3 个")) << r.warnings[0];
  const ImportResult clean = import_data_file(
      host::path_text(kWorkspace / host::file_path("数据") / host::file_path("文本号码.xlsx")),
      dir.file("导入2.xlsx"), false);
  EXPECT_TRUE(clean.warnings.empty());
}

}  // namespace
}  // namespace kelv::app
