#include "generate/generate_tables.h"

#include <gtest/gtest.h>

#include "generate/render_template.h"
#include "generate_host.h"
#include "host/host_error.h"
#include "sheets/settings_sheet.h"

namespace kelv::generate {
namespace {

using Names = std::vector<std::string>;

class GenerateTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Table({{"姓名", "号"}, {"甲", 1001}, {"乙", 1002}, {"丙", 1003}});
    host.DTB().cells(sheets::kCaptureRow, sheets::kCaptureFlagColumn).set_value("未动");
  }

  // A one-cell body [姓名] [号] over B..C.
  host::Worksheet& SimpleTemplate(const std::string& name) {
    host::Worksheet& t = host.AddTemplate({.name = name});
    t.cells(3, 1).set_value("#");
    t.cells(3, 4).set_value("#");
    t.cells(3, 2).set_value("[姓名]");
    t.cells(3, 3).set_value("[号]");
    return t;
  }

  void Generate() { GenerateTables(host.self, host.engine, *host.form); }

  host::Variant Flag() {
    return host.DTB().cells(sheets::kCaptureRow, sheets::kCaptureFlagColumn).value();
  }
  bool ScratchCopyLeft() { return !host.Examinees().cells(1, 168).value().is_empty(); }

  testing::GenerateHost host;
};

TEST_F(GenerateTablesTest, AnEmptyTemplateListIsANotice) {
  Generate();
  ASSERT_EQ(host.dialogs.messages().size(), 1u);
  EXPECT_EQ(host.dialogs.messages()[0].text, "缺少模板，无法生成。");
  EXPECT_EQ(host.dialogs.messages()[0].title, "提示");
  EXPECT_EQ(host.dialogs.messages()[0].icon, "none");
  EXPECT_EQ(Flag(), host::Variant("未动"));
  EXPECT_FALSE(host.ToneSounded());
}

TEST_F(GenerateTablesTest, BeforeTheFormIsReadyNothingHappens) {
  SimpleTemplate("T");
  host.self.FormReady = false;
  Generate();
  EXPECT_TRUE(host.dialogs.records().empty());
  EXPECT_EQ(Flag(), host::Variant("未动"));
  EXPECT_FALSE(ScratchCopyLeft());
  EXPECT_EQ(host.DataSheetNames(), (Names{"考场表", "考生表"}));
}

TEST_F(GenerateTablesTest, NoSelectionFailsBeforeAnythingChanges) {
  SimpleTemplate("T");
  host.form->control("LtbMoBan").set_list_index(-1);
  EXPECT_THROW(Generate(), host::HostError);
  EXPECT_EQ(Flag(), host::Variant("未动"));
  EXPECT_EQ(host.DataSheetNames(), (Names{"考场表", "考生表"}));
}

TEST_F(GenerateTablesTest, OutputSheetFollowsTheExamineeSheetAndIsLeftActive) {
  SimpleTemplate("T");
  host.engine.active_window().set_scroll_row(40);
  Generate();
  EXPECT_EQ(host.DataSheetNames(), (Names{"考场表", "考生表", "T"}));
  EXPECT_EQ(host.data_book->active_sheet().name(), "T");
  EXPECT_EQ(host.data_book->sheet("T").cells(3, 2).text(), "甲");
  EXPECT_EQ(Flag(), host::Variant(false));
  EXPECT_FALSE(ScratchCopyLeft());
  EXPECT_EQ(host.data_book->window().scroll_row(), 1);
  EXPECT_TRUE(host.ToneSounded());
}

TEST_F(GenerateTablesTest, ARefusedRenderingRemovesTheSheetAndShowsTheDataSheet) {
  host::Worksheet& t = SimpleTemplate("T");
  t.cells(3, 3).set_value("[无此列]");
  // The window scrolls each sheet on its own: the data sheet shown again
  // after a refusal is back at row 1, column 1.
  host.data_book->activate();
  host.Examinees().activate();
  host.data_book->window().set_scroll_row(40);
  host.data_book->window().set_scroll_column(12);
  Generate();
  EXPECT_EQ(host.MessageTexts(), (Names{"“考生表”中没有“T”模板表中的“无此列”字段，请检查！"}));
  EXPECT_EQ(host.DataSheetNames(), (Names{"考场表", "考生表"}));
  EXPECT_EQ(host.data_book->active_sheet().name(), "考生表");
  EXPECT_EQ(host.data_book->window().scroll_row(), 1);
  EXPECT_EQ(host.data_book->window().scroll_column(), 1);
  EXPECT_FALSE(ScratchCopyLeft());
  EXPECT_TRUE(host.ToneSounded());
}

TEST_F(GenerateTablesTest, TheRoomSheetServesWhenChbSJYuanIsClear) {
  host.data_book->sheet("考场表").cells(2, 1).set_value("一号");
  host::Worksheet& t = host.AddTemplate({.name = "R", .source = false});
  t.cells(3, 1).set_value("#");
  t.cells(3, 3).set_value("#");
  t.cells(3, 2).set_value("[考场]");
  Generate();
  EXPECT_EQ(host.data_book->sheet("R").cells(3, 2).text(), "一号");
  EXPECT_TRUE(host.data_book->sheet("考场表").cells(1, 168).value().is_empty());
}

TEST_F(GenerateTablesTest, ATemplateNamedLikeADataSheetIsRefusedBeforeAnythingChanges) {
  for (const char* name : {"考生表", "考场表"}) {
    host.dialogs.clear();
    SimpleTemplate(name);
    Generate();
    EXPECT_EQ(host.MessageTexts(),
              (Names{std::string("模板名“") + name + "”与数据工作表同名，无法生成。"}));
    EXPECT_EQ(host.DataSheetNames(), (Names{"考场表", "考生表"}));
    EXPECT_EQ(Flag(), host::Variant("未动"));
    EXPECT_FALSE(host.ToneSounded());
  }
}

TEST_F(GenerateTablesTest, ATableReachingColumn167IsRefusedBeforeTheCopy) {
  SimpleTemplate("T");
  for (int32_t c = 3; c <= 166; ++c)
    host.Examinees().cells(1, c).set_value("列" + std::to_string(c));
  Generate();
  EXPECT_TRUE(host.dialogs.messages().empty());  // 166 columns still fit
  EXPECT_FALSE(ScratchCopyLeft());

  host.dialogs.clear();
  host.Examinees().cells(1, 167).set_value("列167");
  Generate();
  EXPECT_EQ(host.MessageTexts(), (Names{"“考生表”的表格超过第166列，无法生成。"}));
  EXPECT_EQ(host.Examinees().cells(1, 167).text(), "列167");
  EXPECT_TRUE(host.Examinees().cells(1, 168).value().is_empty());
}

TEST_F(GenerateTablesTest, ValuesWhereTheScratchCopyGoesAreRefusedAndKept) {
  SimpleTemplate("T");
  const int32_t rows = host.Examinees().cells(1, 1).current_region().rows_count();
  // Inside the block the copy is pasted into, and in the ring around it.
  for (auto [r, c] : {std::pair{2, 169}, std::pair{1, 167}, std::pair{rows + 1, 168}}) {
    host.dialogs.clear();
    host.Examinees().cells(r, c).set_value("备注");
    Generate();
    EXPECT_EQ(host.MessageTexts(), (Names{"“考生表”第167列及右侧有数据，无法生成。"}));
    EXPECT_EQ(host.Examinees().cells(r, c).text(), "备注");
    EXPECT_FALSE(host.ToneSounded());
    host.Examinees().cells(r, c).clear_contents();
  }
  // Values beyond the reach of the copy, and formats anywhere, are no obstacle.
  host.dialogs.clear();
  host.Examinees().cells(rows + 5, 170).set_value("远处的备注");
  host.Examinees().cells(2, 170).font().set_bold(true);
  Generate();
  EXPECT_TRUE(host.dialogs.messages().empty());
  EXPECT_FALSE(ScratchCopyLeft());
  EXPECT_EQ(host.Examinees().cells(rows + 5, 170).text(), "远处的备注");
}

TEST_F(GenerateTablesTest, AHostFailureStillClearsTheScratchCopy) {
  // An earlier output sheet named like the template but for letter case is
  // not replaced, and naming the new sheet fails.
  SimpleTemplate("T");
  host.data_book->add_sheet_after(host.Examinees()).set_name("t");
  EXPECT_THROW(Generate(), host::HostError);
  EXPECT_FALSE(ScratchCopyLeft());
  EXPECT_EQ(host.data_book->sheet_count(), 4);  // the added sheet stays under its own name
  EXPECT_EQ(host.data_book->sheet("t").name(), "t");
}

TEST_F(GenerateTablesTest, RegeneratingReplacesTheEarlierSheet) {
  SimpleTemplate("T");
  Generate();
  host.data_book->sheet("T").cells(20, 20).set_value("手改");
  Generate();
  EXPECT_EQ(host.DataSheetNames(), (Names{"考场表", "考生表", "T"}));
  EXPECT_TRUE(host.data_book->sheet("T").cells(20, 20).value().is_empty());
  EXPECT_EQ(Flag(), host::Variant(true));
}

TEST_F(GenerateTablesTest, AFieldMissingInSeveralCellsIsNamedOnce) {
  // Before the arrangement a card uses 考号 in its text, its bar code and
  // again beside the photo: the message names each missing column once.
  host::Worksheet& t = SimpleTemplate("T");
  t.cells(3, 4).clear();
  t.cells(3, 6).set_value("#");
  t.cells(3, 2).set_value("[考号]");
  t.cells(3, 3).set_value("[座号]");
  t.cells(3, 4).set_value("{条码:考号}");
  t.cells(3, 5).set_value("[考号]");
  Generate();
  EXPECT_EQ(host.MessageTexts(), (Names{"“考生表”中没有“T”模板表中的“考号、座号”字段，请检查！"}));
}

TEST_F(GenerateTablesTest, MissingNamesOfBothAreasReportTheHeaderOnly) {
  host::Worksheet& t = SimpleTemplate("T");
  t.cells(3, 2).set_value("[体甲]");
  t.cells(2, 1).set_value("@");
  t.cells(2, 4).set_value("@");
  t.cells(2, 2).set_value("{头照}");
  t.cells(2, 3).set_value("[头乙]");
  Generate();
  // Header first, its text fields then its photo fields; names joined by 、.
  EXPECT_EQ(host.MessageTexts(), (Names{"“考生表”中没有“T”模板表中的“头乙、头照”字段，请检查！"}));
}

TEST_F(GenerateTablesTest, HeaderWithoutBodyAndTooManyAcross) {
  host::Worksheet& t = host.AddTemplate({.name = "H"});
  t.cells(2, 1).set_value("@");
  t.cells(2, 3).set_value("@");
  t.cells(2, 2).set_value("[姓名]");
  Generate();
  host::Worksheet& w = host.AddTemplate({.name = "W", .cols = 8192});
  w.cells(3, 1).set_value("#");
  w.cells(3, 3).set_value("#");
  w.cells(3, 2).set_value("[姓名]");
  Generate();  // (1 + 1) x 8192 = 16384 columns fit exactly
  host.DTB().cells(3, sheets::kColsAcrossColumn).set_value(8193);
  Generate();
  EXPECT_EQ(host.MessageTexts(), (Names{"“H”模板表中，缺少主体区，请检查!",
                                        "程序窗体“横向排列区数”设置太大, 请检查！"}));
}

}  // namespace
}  // namespace kelv::generate
