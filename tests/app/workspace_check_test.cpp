// The check before the work on data workbooks written by openpyxl the way
// other programs and people make them (data/check/make_check_files.py).

#include "app/core/workspace_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/file_path.h"
#include "spreadsheet/engine.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;

const fs::path kWorkspace =
    fs::path("data") / host::file_path("check") / host::file_path("workspace");

class WorkspaceCheck : public ::testing::Test {
 protected:
  // Opens the host workbook of `folder` and the data workbook `data` in it.
  host::Workbook& open(const std::string& data, const fs::path& folder = kWorkspace) {
    engine = std::make_unique<spreadsheet::Engine>(std::make_shared<xlsx::XlsxFormat>());
    host_book = &engine->open_host_workbook(host::path_text(folder / host::file_path("考务.xlsx")));
    data_book = &engine->open_workbook(
        host::path_text(folder / host::file_path("数据") / host::file_path(data)));
    return *data_book;
  }

  std::vector<Finding> check(const std::string& data, CheckPurpose purpose = CheckPurpose::Both,
                             const fs::path& folder = kWorkspace) {
    open(data, folder);
    return check_workspace(*host_book, *data_book, settings_from_host(*host_book), purpose);
  }

  std::unique_ptr<spreadsheet::Engine> engine;
  host::Workbook* host_book = nullptr;
  host::Workbook* data_book = nullptr;
};

// The findings whose message contains `part`.
std::vector<Finding> with(const std::vector<Finding>& all, const std::string& part) {
  std::vector<Finding> out;
  for (const Finding& f : all)
    if (f.message.find(part) != std::string::npos) out.push_back(f);
  return out;
}

std::string listing(const std::vector<Finding>& all) {
  std::string s;
  for (const Finding& f : all)
    s += std::string(severity_text(f.severity)) + " " + f.sheet + " " + std::to_string(f.row) +
         " " + f.heading + " " + f.value + " " + f.message + "\n";
  return s;
}

TEST_F(WorkspaceCheck, CleanWorkbookHasNothingToSay) {
  const std::vector<Finding> all = check("干净.xlsx");
  EXPECT_TRUE(all.empty()) << listing(all);
}

TEST_F(WorkspaceCheck, TitleAboveTheHeadingsIsNamedAndTheTableReadBelowIt) {
  const std::vector<Finding> all = check("标题行.xlsx");
  const std::vector<Finding> title = with(all, "第 1 行是标题");
  ASSERT_EQ(title.size(), 1u) << listing(all);
  EXPECT_EQ(title[0].severity, Severity::Error);
  EXPECT_EQ(title[0].sheet, "考生表");
  EXPECT_EQ(title[0].value, "2024 年秋季期末考试考生名单");
  EXPECT_NE(title[0].message.find("列标题在第 2 行"), std::string::npos);
  // Below the title the six examinees fill the six places exactly.
  EXPECT_TRUE(with(all, "座位").empty()) << listing(all);
}

TEST_F(WorkspaceCheck, BlankRowSaysHowManyRowsAreLeftOut) {
  const std::vector<Finding> all = check("空行.xlsx");
  const std::vector<Finding> blank = with(all, "是空行");
  ASSERT_EQ(blank.size(), 1u) << listing(all);
  EXPECT_EQ(blank[0].severity, Severity::Error);
  EXPECT_EQ(blank[0].row, 5);
  EXPECT_NE(blank[0].message.find("下面还有 3 行有内容（第 6 至 8 行）"), std::string::npos)
      << blank[0].message;
  // Three examinees seen, six places: the surplus is only a notice.
  const std::vector<Finding> surplus = with(all, "多 3 个");
  ASSERT_EQ(surplus.size(), 1u) << listing(all);
  EXPECT_EQ(surplus[0].severity, Severity::Notice);
}

TEST_F(WorkspaceCheck, TotalRowsInBothTables) {
  const std::vector<Finding> all = check("合计.xlsx");
  const std::vector<Finding> totals = with(all, "合计行");
  ASSERT_EQ(totals.size(), 2u) << listing(all);
  EXPECT_EQ(totals[0].sheet, "考生表");
  EXPECT_EQ(totals[0].row, 8);
  EXPECT_EQ(totals[1].sheet, "考场表");
  EXPECT_EQ(totals[1].row, 4);
  EXPECT_NE(totals[1].message.find("考场"), std::string::npos);
  // The total row's 6 places are not counted: 6 places, 7 rows of examinees.
  EXPECT_EQ(with(all, "座位只有 6 个").size(), 1u) << listing(all);
}

TEST_F(WorkspaceCheck, ColumnUnderAMergedHeadingHasNoHeadingOfItsOwn) {
  const std::vector<Finding> all = check("合并标题.xlsx");
  ASSERT_EQ(all.size(), 1u) << listing(all);
  EXPECT_EQ(all[0].severity, Severity::Notice);
  EXPECT_EQ(all[0].column, 7);
  EXPECT_NE(all[0].message.find("合并的列标题“联系方式”下面"), std::string::npos) << all[0].message;
}

TEST_F(WorkspaceCheck, InvisibleCharactersAreNamedAndMended) {
  test::TempFolder temp("check");
  fs::copy(kWorkspace, temp.path(), fs::copy_options::recursive);
  std::vector<Finding> all = check("看不见的字符.xlsx", CheckPurpose::Both, temp.path());

  const std::vector<Finding> sheet = with(all, "工作表名");
  ASSERT_EQ(sheet.size(), 1u) << listing(all);
  EXPECT_EQ(sheet[0].value, "考生表[空格]");
  EXPECT_NE(sheet[0].message.find("末尾有空格"), std::string::npos);
  EXPECT_EQ(sheet[0].mend, Mend::RenameSheet);

  const std::vector<Finding> hidden = with(all, "被隐藏了");
  ASSERT_EQ(hidden.size(), 1u) << listing(all);
  EXPECT_EQ(hidden[0].sheet, "考场表");

  // 姓名 with a non-breaking space, 学校 with a tab, 班级 with a carriage
  // return (the line feed goes when the workbook is opened).
  const std::vector<Finding> headings = with(all, "看起来是");
  ASSERT_EQ(headings.size(), 3u) << listing(all);
  EXPECT_EQ(headings[0].value, "姓名[不换行空格]");
  EXPECT_NE(headings[0].message.find("含不换行空格"), std::string::npos);
  EXPECT_EQ(headings[1].value, "学校[制表符]");
  EXPECT_EQ(headings[2].value, "班级[回车符][换行符]");
  for (const Finding& f : headings) EXPECT_EQ(f.mend, Mend::SetHeading);

  EXPECT_EQ(apply_mends(*data_book, all), 5);
  all = check_workspace(*host_book, *data_book, settings_from_host(*host_book), CheckPurpose::Both);
  EXPECT_TRUE(all.empty()) << listing(all);
  host::Worksheet& examinees = data_book->sheet("考生表");
  EXPECT_EQ(examinees.cells(1, 1).value(), host::Variant("姓名"));
  EXPECT_EQ(data_book->sheet("考场表").visible(), host::SheetVisibility::Visible);
}

TEST_F(WorkspaceCheck, PlacesTypedAsTextSuggestTheNumberAndTheUnseatedRows) {
  std::vector<Finding> all = check("场人.xlsx", CheckPurpose::Assign);
  auto places_of = [&](int32_t row) {
    for (const Finding& f : all)
      if (f.sheet == "考场表" && f.row == row && f.heading == "场人") return f;
    ADD_FAILURE() << "no finding on row " << row << "\n" << listing(all);
    return Finding{};
  };
  EXPECT_EQ(places_of(2).mended, "30");      // 30人
  EXPECT_EQ(places_of(3).mended, "30");      // ３０
  EXPECT_EQ(places_of(4).mended, "30");      // 三十
  EXPECT_EQ(places_of(5).mend, Mend::None);  // 许多
  EXPECT_NE(places_of(6).message.find("负数"), std::string::npos);
  EXPECT_NE(places_of(7).message.find("不是整数"), std::string::npos);
  EXPECT_EQ(places_of(8).severity, Severity::Notice);  // empty
  const std::vector<Finding> twice = with(all, "与第 2 行重名");
  ASSERT_EQ(twice.size(), 1u) << listing(all);
  EXPECT_EQ(twice[0].row, 9);
  // 200 examinees, 92 places once the three texts read as 30: the rows from
  // 94 on stay without a seat.
  const std::vector<Finding> short_of = with(all, "排不上考场");
  ASSERT_EQ(short_of.size(), 1u) << listing(all);
  EXPECT_NE(short_of[0].message.find("有 108 名考生"), std::string::npos) << short_of[0].message;
  EXPECT_NE(short_of[0].message.find("第 94 至 201 行"), std::string::npos);

  EXPECT_EQ(apply_mends(*data_book, all), 3);
  host::Worksheet& rooms = data_book->sheet("考场表");
  EXPECT_EQ(rooms.cells(2, 2).value(), host::Variant(30));
  EXPECT_EQ(rooms.cells(4, 2).value(), host::Variant(30));
  EXPECT_EQ(rooms.cells(5, 2).value(), host::Variant("许多"));
  // A mend of a cell changed since the check does nothing.
  Finding stale = places_of(2);
  EXPECT_FALSE(apply_mend(*data_book, stale));
}

TEST_F(WorkspaceCheck, RowsLeftBelowByAnEarlierRunAreClearedByTheRun) {
  const std::vector<Finding> all = check("上次多出的座位.xlsx", CheckPurpose::Assign);
  ASSERT_EQ(all.size(), 1u) << listing(all);
  EXPECT_EQ(all[0].severity, Severity::Notice);
  EXPECT_EQ(all[0].row, 6);
  EXPECT_NE(all[0].message.find("第 6 至 7 行只有编排写入的"), std::string::npos) << all[0].message;
  EXPECT_NE(all[0].message.find("编排开始时会先清空这些行"), std::string::npos) << all[0].message;
  // Generation reads them as they are: nothing to say there.
  EXPECT_TRUE(with(check("上次多出的座位.xlsx", CheckPurpose::Generate), "编排写入").empty());
}

TEST_F(WorkspaceCheck, DuplicateExamineesByIdentityColumns) {
  const std::vector<Finding> all = check("重复考生.xlsx", CheckPurpose::Assign);
  const std::vector<Finding> dup = with(all, "与第 3 行的");
  ASSERT_EQ(dup.size(), 2u) << listing(all);  // 身份证号 and 学号
  EXPECT_EQ(dup[0].row, 7);
  EXPECT_EQ(dup[0].heading, "身份证号");
  EXPECT_EQ(dup[1].heading, "学号");
}

TEST_F(WorkspaceCheck, EveryBadPhotoIsListed) {
  const std::vector<Finding> all = check("照片.xlsx", CheckPurpose::Generate);
  std::vector<std::string> bad;
  for (const Finding& f : all)
    if (f.severity == Severity::Error) bad.push_back(f.value + " " + f.message.substr(0, 12));
  ASSERT_EQ(bad.size(), 4u) << listing(all);
  EXPECT_EQ(with(all, "0 字节").size(), 2u) << listing(all);
  EXPECT_EQ(with(all, "BMP").size(), 1u);
  EXPECT_EQ(with(all, "损坏").size(), 1u);
  const std::vector<Finding> sub = with(all, "照片\\二班");
  ASSERT_EQ(sub.size(), 1u) << listing(all);
  EXPECT_EQ(sub[0].value, "二班\\P6.jpg");
  EXPECT_EQ(sub[0].row, 7);
  const std::vector<Finding> missing = with(all, "找不到");
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_EQ(missing[0].severity, Severity::Notice);
  EXPECT_NE(missing[0].message.find("有 1 张照片"), std::string::npos);
  EXPECT_NE(missing[0].message.find("P5.jpg"), std::string::npos);
}

TEST_F(WorkspaceCheck, RoomColumnsInAnotherOrder) {
  const std::vector<Finding> all = check("考场列顺序.xlsx", CheckPurpose::Assign);
  const std::vector<Finding> order = with(all, "按位置使用");
  ASSERT_EQ(order.size(), 2u) << listing(all);
  EXPECT_EQ(order[0].column, 2);  // 考室 in the places column
  EXPECT_EQ(order[1].column, 3);  // 人数 in the location column
  EXPECT_EQ(order[1].value, "人数");
}

TEST_F(WorkspaceCheck, GenerationWithoutTemplateAndMissingField) {
  open("干净.xlsx");
  CheckSettings s = settings_from_host(*host_book);
  s.template_name.reset();
  std::vector<Finding> all = check_workspace(*host_book, *data_book, s, CheckPurpose::Generate);
  ASSERT_EQ(all.size(), 1u) << listing(all);
  EXPECT_NE(all[0].message.find("没有选中模板"), std::string::npos);
  // 门贴 asks for 考场, which only an assignment writes: one finding that
  // says so, never a list of the missing fields.
  s.template_name = "门贴";
  all = check_workspace(*host_book, *data_book, s, CheckPurpose::Generate);
  ASSERT_EQ(all.size(), 1u) << listing(all);
  EXPECT_NE(all[0].message.find("“考场”"), std::string::npos) << all[0].message;
  EXPECT_NE(all[0].message.find("请先编排考号"), std::string::npos) << all[0].message;
  EXPECT_TRUE(check_workspace(*host_book, *data_book, s, CheckPurpose::Both).empty());
}

TEST_F(WorkspaceCheck, StartNumberAndCycle) {
  open("干净.xlsx");
  CheckSettings s = settings_from_host(*host_book);
  auto start = [&](const std::string& typed) {
    s.start_number = typed;
    return check_workspace(*host_book, *data_book, s, CheckPurpose::Assign);
  };
  EXPECT_TRUE(start("2024010001").empty());
  std::vector<Finding> all = start("2024010001\xC2\xA0");
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].severity, Severity::Notice);
  EXPECT_EQ(all[0].value, "2024010001[不换行空格]");
  EXPECT_EQ(start("\xEF\xBC\x90\xEF\xBC\x90\xEF\xBC\x91")[0].severity, Severity::Notice);  // ００１
  EXPECT_EQ(start("A001")[0].severity, Severity::Error);
  EXPECT_EQ(start(" \t")[0].severity, Severity::Error);
  EXPECT_EQ(start("KS20240001").size(), 0u);
  // Full-width letters stay in the prefix as typed: only digits are read.
  all = start(
      "\xEF\xBC\xAB\xEF\xBC\xB3\xEF\xBC\x92\xEF\xBC\x90\xEF\xBC\x92\xEF\xBC\x94"
      "0001");  // ＫＳ２０２４0001
  ASSERT_EQ(all.size(), 1u);
  EXPECT_NE(all[0].message.find("“ＫＳ20240001”"), std::string::npos) << all[0].message;
  s.start_number = "0001";
  s.cycle = "三十";
  all = check_workspace(*host_book, *data_book, s, CheckPurpose::Assign);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].heading, "循环座号数");
}

TEST(PlainNumber, WhatPeopleTypeForANumber) {
  EXPECT_EQ(plain_number("30人"), 30);
  EXPECT_EQ(plain_number(" 30 "), 30);
  EXPECT_EQ(plain_number("\xEF\xBC\x93\xEF\xBC\x90"), 30);  // ３０
  EXPECT_EQ(plain_number("三十"), 30);
  EXPECT_EQ(plain_number("十五"), 15);
  EXPECT_EQ(plain_number("四十五人"), 45);
  EXPECT_EQ(plain_number("一百零五"), 105);
  EXPECT_EQ(plain_number("两百"), 200);
  EXPECT_EQ(plain_number("零"), 0);
  EXPECT_EQ(plain_number("许多"), std::nullopt);
  EXPECT_EQ(plain_number("三三"), std::nullopt);
  EXPECT_EQ(plain_number("十百"), std::nullopt);
  EXPECT_EQ(plain_number("30-40"), std::nullopt);
  EXPECT_EQ(plain_number("人"), std::nullopt);
}

TEST(VisibleText, UnseenCharactersAreWrittenOut) {
  EXPECT_EQ(visible_text("考 号"), "考 号");
  EXPECT_EQ(visible_text(" 考号 "), "[空格]考号[空格]");
  EXPECT_EQ(visible_text("考\xE2\x80\x8B号\xE3\x80\x80"), "考[零宽字符]号[全角空格]");
  EXPECT_EQ(folded_text("\xEF\xBC\xA9\xEF\xBC\xA4 号\t"), "ID号");
}

}  // namespace
}  // namespace kelv::app
