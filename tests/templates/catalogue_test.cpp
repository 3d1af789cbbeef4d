#include <gtest/gtest.h>

#include "sheets/settings_sheet.h"
#include "sheets/sheet_lookup.h"
#include "templates/template_catalogue.h"
#include "templates/template_host.h"

namespace kelv::templates {
namespace {

using namespace sheets;  // the settings sheet's layout
using testing::TemplateHost;
using testing::TemplateRow;
using Names = std::vector<std::string>;

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override { host.self.FormReady = true; }

  // Three templates, B flagged, their sheets after MBB in catalogue order.
  void ThreeTemplates() {
    host.AddTemplate({.name = "A", .rows = 1});
    host.AddTemplate({.name = "B", .rows = 2}, true);
    host.AddTemplate({.name = "C", .rows = 3});
    FillTemplateList(host.self, host.engine, *host.form);
  }

  void Add(std::initializer_list<std::optional<std::string>> answers) {
    for (const auto& a : answers) host.dialogs.queue_answer(a);
    AddTemplate(host.self, host.engine, *host.form);
  }

  std::vector<std::string> MessageTexts() {
    std::vector<std::string> out;
    for (const auto& m : host.dialogs.messages()) out.push_back(m.text);
    return out;
  }

  int InputCount() {
    int n = 0;
    for (const auto& r : host.dialogs.records()) n += r.kind == "input";
    return n;
  }

  TemplateHost host;
};

TEST_F(CatalogueTest, ListShowsCatalogueOrderAndSelectsTheFlaggedRow) {
  ThreeTemplates();
  EXPECT_EQ(host.ListItems("LtbMoBan"), (Names{"A", "B", "C"}));
  EXPECT_EQ(host.control("LtbMoBan").list_index(), 1);

  // A rebuilt list drops what it showed before.
  host.DTB().cells(3, kFlagColumn).clear();
  FillTemplateList(host.self, host.engine, *host.form);
  EXPECT_EQ(host.ListItems("LtbMoBan").size(), 3u);
  EXPECT_EQ(host.control("LtbMoBan").list_index(), -1);
}

TEST_F(CatalogueTest, HeadingsOnlyGiveAnEmptyList) {
  host.control("LtbMoBan").add_item("stale");
  FillTemplateList(host.self, host.engine, *host.form);
  EXPECT_EQ(host.control("LtbMoBan").list_count(), 0);
}

TEST_F(CatalogueTest, AddCleansTheNameSortsTheRowAndCopiesTheBaseSheet) {
  host.AddTemplate({.name = "A"});
  host.AddTemplate({.name = "Z"}, true);
  FillTemplateList(host.self, host.engine, *host.form);

  Add({" report[1] "});

  EXPECT_EQ(host.CatalogueNames(), (Names{"A", "REPORT1", "Z"}));
  host::Worksheet& d = host.DTB();
  // The new row has the defaults in D..M and nothing in N..AN.
  EXPECT_EQ(d.cells(3, kFlagColumn).value(), host::Variant(true));
  EXPECT_EQ(d.cells(3, kRowsPerPageColumn).value(), host::Variant(6));
  EXPECT_EQ(d.cells(3, kColsAcrossColumn).value(), host::Variant(2));
  EXPECT_EQ(d.cells(3, kRowSpacingColumn).value(), host::Variant(20));
  EXPECT_EQ(d.cells(3, kColSpacingColumn).value(), host::Variant(20));
  EXPECT_EQ(d.cells(3, kSortNameColumn).value(), host::Variant("无"));
  EXPECT_EQ(d.cells(3, kPageNameColumn).value(), host::Variant("无"));
  EXPECT_EQ(d.cells(3, kAcrossFirstColumn).value(), host::Variant(true));
  EXPECT_EQ(d.cells(3, kDataSourceColumn).value(), host::Variant(true));
  for (int32_t c = kDataSourceColumn + 1; c <= kCatalogueLastColumn; ++c)
    EXPECT_TRUE(d.cells(3, c).value().is_empty()) << c;
  EXPECT_EQ(host.FlaggedRows(), (std::vector<int32_t>{3}));

  // The sheet sits right after the base sheet, which is very hidden again.
  EXPECT_EQ(host.SheetNames(), (Names{"开始", "DTB", "MBB", "REPORT1", "A", "Z"}));
  host::Worksheet& sheet = host.book->sheet("REPORT1");
  EXPECT_EQ(sheet.cells(1, 1).text(), "<REPORT1 模板设计>");
  EXPECT_EQ(sheet.cells(2, 2).text(), "[姓名]");
  EXPECT_EQ(host.book->sheet("MBB").visible(), host::SheetVisibility::VeryHidden);

  // The new template is selected, loaded and shown.
  EXPECT_EQ(host.ListItems("LtbMoBan"), (Names{"A", "REPORT1", "Z"}));
  EXPECT_EQ(host.control("LtbMoBan").list_index(), 1);
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant("6"));
  EXPECT_EQ(host.book->active_sheet().name(), "REPORT1");
  ASSERT_EQ(host.dialogs.records().size(), 1u);
  EXPECT_EQ(host.dialogs.records()[0].title, "添加模板");
  EXPECT_EQ(host.dialogs.records()[0].text, "请输入要添加的模板名:");
  EXPECT_EQ(host.dialogs.records()[0].default_text, "");
}

TEST_F(CatalogueTest, SortingMovesTheWholeRowWhateverTheHeadings) {
  // Headings stop at M, so U..AC are outside the current region of E1; the
  // stored page setup must still travel with its template.
  host.AddTemplate({.name = "M"}, true);
  host.AddTemplate({.name = "X"});
  host.DTB().cells(2, kPageSetupColumn + 1).set_value("M footer");
  host.DTB().cells(3, kPageSetupColumn + 1).set_value("X footer");
  host.DTB().cells(3, kCatalogueLastColumn).set_value("X last");
  FillTemplateList(host.self, host.engine, *host.form);

  Add({"B"});

  EXPECT_EQ(host.CatalogueNames(), (Names{"B", "M", "X"}));
  host::Worksheet& d = host.DTB();
  EXPECT_TRUE(d.cells(2, kPageSetupColumn + 1).value().is_empty());
  EXPECT_EQ(d.cells(3, kPageSetupColumn + 1).text(), "M footer");
  EXPECT_EQ(d.cells(4, kPageSetupColumn + 1).text(), "X footer");
  EXPECT_EQ(d.cells(4, kCatalogueLastColumn).text(), "X last");
  EXPECT_EQ(host.FlaggedRows(), (std::vector<int32_t>{2}));
}

TEST_F(CatalogueTest, ReservedNameIsRefusedAndAskedAgain) {
  Add({"mbb", "OK", "new"});
  ASSERT_EQ(MessageTexts(), (Names{"“MBB”与系统表名相同，请改名。"}));
  const host::DialogRecord m = host.dialogs.messages()[0];
  EXPECT_EQ(m.title, "提示");
  EXPECT_EQ(m.buttons, "OK");
  EXPECT_EQ(m.icon, "none");
  EXPECT_EQ(host.dialogs.records()[2].default_text, "MBB");
  EXPECT_EQ(host.CatalogueNames(), (Names{"NEW"}));
}

TEST_F(CatalogueTest, ExistingNameInOtherCaseIsRefused) {
  host.AddTemplate({.name = "REPORT1"}, true);
  FillTemplateList(host.self, host.engine, *host.form);
  Add({"Report1", "OK", std::nullopt});
  EXPECT_EQ(MessageTexts(), (Names{"“REPORT1”与已有模板名相同，请改名。"}));
  EXPECT_EQ(InputCount(), 2);
  EXPECT_EQ(host.CatalogueNames(), (Names{"REPORT1"}));
}

TEST_F(CatalogueTest, NameOfAnotherSheetIsRefusedIgnoringCase) {
  host::Worksheet& start = host.book->sheet("开始");
  host.book->add_sheet_after(start).set_name("Notes");
  Add({"notes", "OK", std::nullopt});
  EXPECT_EQ(MessageTexts(), (Names{"“NOTES”与系统表名相同，请改名。"}));
  EXPECT_TRUE(host.CatalogueNames().empty());
  EXPECT_EQ(host.SheetNames(), (Names{"开始", "Notes", "DTB", "MBB"}));
}

TEST_F(CatalogueTest, NameTheHostCannotGiveASheetIsRefused) {
  const std::string long_name(32, 'A');
  Add({long_name, "OK", "'QUOTED", "OK", "SHORT"});
  EXPECT_EQ(
      MessageTexts(),
      (Names{"“" + long_name + "”不能用作工作表名（最多31个字符，首尾不能是单引号），请改名。",
             "“'QUOTED”不能用作工作表名（最多31个字符，首尾不能是单引号），请改名。"}));
  EXPECT_EQ(host.CatalogueNames(), (Names{"SHORT"}));
  EXPECT_EQ(host.SheetNames(), (Names{"开始", "DTB", "MBB", "SHORT"}));
}

TEST_F(CatalogueTest, NothingLeftAfterCleaningOrCancelChangesNothing) {
  ThreeTemplates();
  const Names sheets = host.SheetNames();
  for (auto answer : {std::optional<std::string>("[/]"), std::optional<std::string>("  "),
                      std::optional<std::string>()}) {
    host.dialogs.clear();
    Add({answer});
    EXPECT_TRUE(host.dialogs.messages().empty());
    EXPECT_EQ(host.CatalogueNames(), (Names{"A", "B", "C"}));
    EXPECT_EQ(host.FlaggedRows(), (std::vector<int32_t>{3}));
    EXPECT_EQ(host.SheetNames(), sheets);
  }
}

TEST_F(CatalogueTest, CancelAtASecondPromptEndsTheDialogue) {
  ThreeTemplates();
  Add({"dtb", "OK", std::nullopt});
  EXPECT_EQ(InputCount(), 2);
  EXPECT_EQ(host.CatalogueNames(), (Names{"A", "B", "C"}));
}

TEST_F(CatalogueTest, CancelEndsTheDialogueEvenBesideARowWithoutAName) {
  host.AddTemplate({.name = "A"});
  host.AddTemplate({.name = ""}, false, false);  // F..M filled, E empty
  host.AddTemplate({.name = "C"}, true);
  FillTemplateList(host.self, host.engine, *host.form);
  Add({"mbb", "OK", std::nullopt});
  EXPECT_EQ(InputCount(), 3);
  EXPECT_EQ(host.CatalogueNames(), (Names{"A", "", "C"}));
}

TEST_F(CatalogueTest, AddWithoutTheBaseSheetTellsAndChangesNothing) {
  ThreeTemplates();
  host.book->sheet("MBB").delete_sheet();
  host.book->sheet("C").activate();
  Add({"NEW"});
  ASSERT_EQ(MessageTexts(), (Names{"缺少模板底表“MBB”，无法添加模板。"}));
  EXPECT_EQ(host.dialogs.messages()[0].title, "提示");
  EXPECT_EQ(InputCount(), 0);
  EXPECT_EQ(host.CatalogueNames(), (Names{"A", "B", "C"}));
  EXPECT_EQ(host.FlaggedRows(), (std::vector<int32_t>{3}));
  EXPECT_EQ(host.SheetNames(), (Names{"开始", "DTB", "A", "B", "C"}));
}

TEST_F(CatalogueTest, NumericLookingNamesStayText) {
  Add({"0012"});
  EXPECT_EQ(host.DTB().cells(2, kNameColumn).value(), host::Variant("0012"));
  EXPECT_TRUE(host.book->sheet("0012").cells(1, 1).text() == "<0012 模板设计>");
  host.dialogs.clear();
  Add({"0012", "OK", std::nullopt});
  EXPECT_EQ(MessageTexts(), (Names{"“0012”与已有模板名相同，请改名。"}));
}

class DeleteTest : public CatalogueTest {
 protected:
  void Delete(int32_t index, const char* answer = "Yes") {
    host.control("LtbMoBan").set_list_index(index);
    host.dialogs.queue_answer(answer);
    DeleteTemplate(host.self, host.engine, *host.form);
  }
};

TEST_F(DeleteTest, DeletingTheLastSelectsTheNewLast) {
  ThreeTemplates();
  Delete(2);
  const auto& q = host.dialogs.records()[0];
  EXPECT_EQ(q.text, "确实要删除<C 模板设计>吗？");
  EXPECT_EQ(q.title, "删除模板");
  EXPECT_EQ(q.buttons, "YesNo");
  EXPECT_EQ(q.icon, "none");
  EXPECT_EQ(host.CatalogueNames(), (Names{"A", "B"}));
  EXPECT_EQ(host.FlaggedRows(), (std::vector<int32_t>{3}));
  EXPECT_EQ(host.control("LtbMoBan").value(), host::Variant("B"));
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant("2"));
  EXPECT_EQ(host.SheetNames(), (Names{"开始", "DTB", "MBB", "A", "B"}));
}

TEST_F(DeleteTest, DeletingAMiddleOneSelectsItsFollower) {
  ThreeTemplates();
  host.DTB().cells(4, kPageSetupColumn + 1).set_value("C footer");
  host.DTB().cells(3, 41).set_value("AO stays");
  Delete(1);
  EXPECT_EQ(host.CatalogueNames(), (Names{"A", "C"}));
  EXPECT_EQ(host.DTB().cells(3, kPageSetupColumn + 1).text(), "C footer");
  EXPECT_EQ(host.DTB().cells(3, 41).text(), "AO stays");
  EXPECT_EQ(host.FlaggedRows(), (std::vector<int32_t>{3}));
  EXPECT_EQ(host.control("LtbMoBan").value(), host::Variant("C"));
  EXPECT_EQ(host.control("TxtHang").value(), host::Variant("3"));
  EXPECT_EQ(host.book->active_sheet().name(), "C");
}

TEST_F(DeleteTest, DeletingTheOnlyOneLeavesAnEmptyList) {
  host.AddTemplate({.name = "ONLY"}, true);
  FillTemplateList(host.self, host.engine, *host.form);
  Delete(0);
  EXPECT_TRUE(host.CatalogueNames().empty());
  EXPECT_EQ(host.FlaggedRows(), (std::vector<int32_t>{1}));
  EXPECT_EQ(host.control("LtbMoBan").list_count(), 0);
  EXPECT_EQ(host.SheetNames(), (Names{"开始", "DTB", "MBB"}));

  // The next add clears the stray flag in the heading row.
  host.dialogs.clear();
  Add({"NEXT"});
  EXPECT_EQ(host.FlaggedRows(), (std::vector<int32_t>{2}));
}

TEST_F(DeleteTest, NoOrNothingSelectedChangesNothing) {
  ThreeTemplates();
  Delete(0, "No");
  EXPECT_EQ(host.CatalogueNames(), (Names{"A", "B", "C"}));
  host.dialogs.clear();
  host.control("LtbMoBan").set_list_index(-1);
  DeleteTemplate(host.self, host.engine, *host.form);
  EXPECT_TRUE(host.dialogs.records().empty());
  EXPECT_EQ(host.CatalogueNames(), (Names{"A", "B", "C"}));
}

TEST_F(DeleteTest, AMissingSheetStillLosesItsRow) {
  host.AddTemplate({.name = "A"}, true, false);
  host.AddTemplate({.name = "B"});
  FillTemplateList(host.self, host.engine, *host.form);
  Delete(0);
  EXPECT_EQ(host.CatalogueNames(), (Names{"B"}));
  EXPECT_EQ(host.control("LtbMoBan").value(), host::Variant("B"));
}

class RenameTest : public CatalogueTest {
 protected:
  void Rename(int32_t index, std::initializer_list<std::optional<std::string>> answers) {
    host.control("LtbMoBan").set_list_index(index);
    for (const auto& a : answers) host.dialogs.queue_answer(a);
    RenameTemplate(host.self, host.engine, *host.form);
  }
};

TEST_F(RenameTest, RenamingResortsAndKeepsTheFlagWithItsRow) {
  ThreeTemplates();
  host.DTB().cells(2, kPageSetupColumn + 2).set_value("A centre");
  Rename(0, {"z:z"});
  EXPECT_EQ(host.dialogs.records()[0].title, "模板改名");
  EXPECT_EQ(host.dialogs.records()[0].text, "请输入新的模板名:");
  EXPECT_EQ(host.dialogs.records()[0].default_text, "A");
  EXPECT_EQ(host.CatalogueNames(), (Names{"B", "C", "ZZ"}));
  EXPECT_EQ(host.DTB().cells(4, kPageSetupColumn + 2).text(), "A centre");
  EXPECT_EQ(host.DTB().cells(4, kRowsPerPageColumn).value(), host::Variant(1));
  // B keeps the flag and the selection follows it to its new place.
  EXPECT_EQ(host.FlaggedRows(), (std::vector<int32_t>{2}));
  EXPECT_EQ(host.control("LtbMoBan").value(), host::Variant("B"));
  host::Worksheet& sheet = host.book->sheet("ZZ");
  EXPECT_EQ(sheet.cells(1, 1).text(), "<ZZ 模板设计>");
  EXPECT_FALSE(sheets::SheetExists(host.book->worksheets(), "A"));
}

TEST_F(RenameTest, OwnNameIsRefusedAsExisting) {
  ThreeTemplates();
  Rename(1, {" b ", "OK", std::nullopt});
  EXPECT_EQ(MessageTexts(), (Names{"“B”与已有模板名相同，请改名。"}));
  EXPECT_EQ(host.dialogs.records()[2].default_text, "B");
  EXPECT_EQ(host.CatalogueNames(), (Names{"A", "B", "C"}));
  EXPECT_EQ(host.SheetNames(), (Names{"开始", "DTB", "MBB", "A", "B", "C"}));
}

TEST_F(RenameTest, NothingSelectedShowsNothing) {
  ThreeTemplates();
  Rename(-1, {"X"});
  EXPECT_TRUE(host.dialogs.records().empty());
  EXPECT_EQ(host.CatalogueNames(), (Names{"A", "B", "C"}));
}

}  // namespace
}  // namespace kelv::templates
