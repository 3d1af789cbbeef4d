#include <gtest/gtest.h>

#include "sheets/settings_sheet.h"
#include "templates/select_template.h"
#include "templates/template_catalogue.h"
#include "templates/template_host.h"

namespace kelv::templates {
namespace {

using namespace sheets;  // the settings sheet's layout
using testing::TemplateHost;
using Names = std::vector<std::string>;

class SelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.self.FormReady = true;
    host.AddTemplate({.name = "A"});
    sheet = host.AddTemplate({.name = "B",
                              .rows = 4,
                              .cols = 3,
                              .row_gap = 0,
                              .col_gap = 15,
                              .sort = "学校",
                              .page = "考场",
                              .across = false,
                              .source = false});
    FillTemplateList(host.self, host.engine, *host.form);
  }

  void Select(int32_t index) {
    host.control("LtbMoBan").set_list_index(index);
    SelectTemplate(host.self, host.engine, *host.form);
  }

  TemplateHost host;
  host::Worksheet* sheet = nullptr;
};

TEST_F(SelectTest, LoadsTheEightSettingsFlagsTheRowAndShowsTheSheet) {
  host.DTB().cells(2, kFlagColumn).set_value(true);
  sheet->set_visible(host::SheetVisibility::Hidden);
  Select(1);

  EXPECT_EQ(host.FlaggedRows(), (std::vector<int32_t>{3}));
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant("4"));
  EXPECT_EQ(host.control("TxtLie").value(), host::Variant("3"));
  EXPECT_EQ(host.control("TxtHJv").value(), host::Variant("0"));
  EXPECT_EQ(host.control("TxtLJv").value(), host::Variant("15"));
  EXPECT_EQ(host.control("CmbPaiXv").value(), host::Variant("学校"));
  EXPECT_EQ(host.control("CmbHuanYe").value(), host::Variant("考场"));
  EXPECT_EQ(host.control("ChbHengPai").value(), host::Variant(false));
  EXPECT_EQ(host.control("ChbSJYuan").value(), host::Variant(false));

  EXPECT_EQ(sheet->visible(), host::SheetVisibility::Visible);
  EXPECT_EQ(&host.engine.active_workbook(), host.book);
  EXPECT_EQ(host.book->active_sheet().name(), "B");
  EXPECT_EQ(host.engine.active_window().scroll_row(), 1);
  EXPECT_EQ(host.engine.active_window().scroll_column(), 1);
  EXPECT_TRUE(host.dialogs.records().empty());
}

TEST_F(SelectTest, WithNothingSelectedTheFirstIsTaken) {
  host.control("LtbMoBan").set_list_index(-1);
  SelectTemplate(host.self, host.engine, *host.form);
  EXPECT_EQ(host.control("LtbMoBan").list_index(), 0);
  EXPECT_EQ(host.FlaggedRows(), (std::vector<int32_t>{2}));
  EXPECT_EQ(host.book->active_sheet().name(), "A");
}

TEST_F(SelectTest, DoesNothingBeforeStartUpOrWithAnEmptyList) {
  host.self.FormReady = false;
  Select(1);
  EXPECT_TRUE(host.FlaggedRows().empty());
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant(""));

  host.self.FormReady = true;
  host.control("LtbMoBan").clear();
  SelectTemplate(host.self, host.engine, *host.form);
  EXPECT_TRUE(host.FlaggedRows().empty());
  EXPECT_TRUE(host.dialogs.records().empty());
}

TEST_F(SelectTest, AMissingSheetIsReportedAfterTheSettingsAreLoaded) {
  host.book->sheet("B").delete_sheet();
  Select(1);
  EXPECT_EQ(host.FlaggedRows(), (std::vector<int32_t>{3}));
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant("4"));
  const auto messages = host.dialogs.messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "没有找到模板表：B");
  EXPECT_EQ(messages[0].title, "提示");
  EXPECT_EQ(messages[0].buttons, "OK");
  EXPECT_EQ(messages[0].icon, "none");
}

TEST_F(SelectTest, AMissingSettingsSheetFails) {
  host.book->sheet("DTB").delete_sheet();
  EXPECT_THROW(Select(1), host::HostError);
}

class NormaliseTest : public SelectTest {
 protected:
  host::Variant At(int32_t r, int32_t c) { return sheet->cells(r, c).value(); }
  host::FontInfo FontAt(int32_t r, int32_t c) { return sheet->cells(r, c).font().get(); }
  bool HasMarkerFormat(int32_t r, int32_t c) {
    const host::FontInfo f = FontAt(r, c);
    // Column A ends right-aligned whatever its cells had.
    const int32_t across = c == 1 ? host::xlRight : host::xlLeft;
    return f.name == "Arial" && f.size == 12 && !f.bold && f.color_index == 1 &&
           sheet->cells(r, c).horizontal_alignment() == across &&
           sheet->cells(r, c).vertical_alignment() == host::xlCenter;
  }
};

TEST_F(NormaliseTest, FullWidthMarkersBecomeAsciiEverywhere) {
  sheet->cells(3, 2).set_value("【成绩单】");
  sheet->cells(4, 2).set_value("［姓名］｛学校｝");
  sheet->cells(5, 1).set_value("＠");
  sheet->cells(6, 1).set_value("＃");
  Select(1);
  EXPECT_EQ(At(3, 2), host::Variant("[成绩单]"));
  EXPECT_EQ(At(4, 2), host::Variant("[姓名]{学校}"));
  EXPECT_EQ(At(5, 1), host::Variant("@"));
  EXPECT_EQ(At(6, 1), host::Variant("#"));
  EXPECT_TRUE(HasMarkerFormat(5, 1));
  EXPECT_TRUE(HasMarkerFormat(6, 1));
}

TEST_F(NormaliseTest, MarkerCellsLoseTheirBlanksOthersKeepThem) {
  sheet->cells(3, 1).set_value(" @ ");
  sheet->cells(4, 2).set_value("[姓 名]\n　{班级}");
  sheet->cells(5, 2).set_value("备 注　说明\n第二行");
  sheet->cells(6, 2).set_value("共 # 页");
  Select(1);
  EXPECT_EQ(At(3, 1), host::Variant("@"));
  EXPECT_TRUE(HasMarkerFormat(3, 1));
  EXPECT_EQ(At(4, 2), host::Variant("[姓名]{班级}"));
  EXPECT_EQ(At(5, 2), host::Variant("备 注　说明\n第二行"));
  EXPECT_EQ(At(6, 2), host::Variant("共#页"));
}

TEST_F(NormaliseTest, OnlyWholeMarkersTakeTheMarkerFormat) {
  for (int32_t r = 3; r <= 5; ++r) sheet->cells(r, 3).font().set_name("SimSun");
  sheet->cells(3, 3).set_value("@@");
  sheet->cells(4, 3).set_value("#1");
  sheet->cells(5, 3).set_value("@");
  Select(1);
  EXPECT_EQ(FontAt(3, 3).name, "SimSun");
  EXPECT_EQ(FontAt(4, 3).name, "SimSun");
  EXPECT_TRUE(HasMarkerFormat(5, 3));
  const host::ReplaceFormat& f = host.engine.replace_format();
  EXPECT_EQ(f.font.name, std::optional<std::string>("Arial"));
  EXPECT_EQ(f.horizontal_alignment, std::optional<int32_t>(host::xlLeft));
}

TEST_F(NormaliseTest, ColumnANarrowAndRightAlignedWithTheCaptionLeft) {
  sheet->cells(3, 1).set_value("@");
  Select(1);
  EXPECT_DOUBLE_EQ(sheet->columns(1).column_width(), 3);
  EXPECT_EQ(sheet->cells(1, 1).horizontal_alignment(), host::xlLeft);
  EXPECT_EQ(sheet->cells(7, 1).horizontal_alignment(), host::xlRight);
}

TEST_F(NormaliseTest, ErrorCellsAreLeftAlone) {
  sheet->cells(3, 2).set_value(host::CellError::NA);
  sheet->cells(4, 2).set_value(" [x] ");
  Select(1);
  EXPECT_EQ(At(3, 2), host::Variant(host::CellError::NA));
  EXPECT_EQ(At(4, 2), host::Variant("[x]"));
}

TEST_F(NormaliseTest, SelectingTwiceChangesNothingMore) {
  sheet->cells(3, 1).set_value(" ＠ ");
  sheet->cells(3, 2).set_value("【姓名】");
  sheet->cells(4, 2).set_value("plain text");
  Select(1);
  std::vector<host::Variant> before;
  std::vector<host::FontInfo> fonts;
  for (int32_t r = 1; r <= 5; ++r)
    for (int32_t c = 1; c <= 3; ++c) {
      before.push_back(At(r, c));
      fonts.push_back(FontAt(r, c));
    }
  Select(1);
  size_t i = 0;
  for (int32_t r = 1; r <= 5; ++r)
    for (int32_t c = 1; c <= 3; ++c, ++i) {
      EXPECT_EQ(At(r, c), before[i]) << r << "," << c;
      EXPECT_EQ(FontAt(r, c).name, fonts[i].name) << r << "," << c;
    }
}

}  // namespace
}  // namespace kelv::templates
