#include "data/open_data_workbook.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "component/component.h"
#include "host/form_model.h"
#include "host/host_error.h"
#include "host/recording_dialogs.h"
#include "host/system_environment.h"
#include "sheets/column_lists.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "spreadsheet/engine.h"

namespace kelv::data {
namespace {

using namespace sheets;

// A host workbook and data workbooks already open in an engine that has no
// file format: anything that tries to read a file fails.
class OpenInMemory : public ::testing::Test {
 protected:
  OpenInMemory() : self(dialogs, env), form(host::FormModel::standard_form()) {
    engine.set_this_workbook(engine.add_workbook("/ws/考务.xlsx"));
  }

  host::Workbook& DataBook(const std::string& file, bool with_rooms = true,
                           bool with_examinees = true) {
    host::Workbook& book = engine.add_workbook("/ws/数据/" + file);
    host::Worksheet& first = book.sheet_at(0);
    if (with_rooms) {
      first.set_name(kRoomSheet);
      const char* headers[] = {"考场号", " 场人 ", "教室", "监考1", "监考2", "首", "尾", "备\n注"};
      for (int c = 0; c < 8; ++c) first.cells(1, c + 1).set_value(headers[c]);
      first.cells(2, 1).set_value("01");
      first.cells(2, 2).set_value(30);
    }
    if (with_examinees) {
      host::Worksheet& sheet = with_rooms ? book.add_sheet_after(first) : first;
      sheet.set_name(kExamineeSheet);
      const char* headers[] = {"姓 名", "\u3000学校", "考\n号", "座号"};
      for (int c = 0; c < 4; ++c) sheet.cells(1, c + 1).set_value(headers[c]);
      sheet.cells(2, 1).set_value("张三");
    }
    form->control("LtbBiao").add_item(file);
    return book;
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const host::DialogRecord& m : dialogs.messages()) out.push_back(m.text);
    return out;
  }

  spreadsheet::Engine engine{nullptr};
  host::RecordingDialogs dialogs;
  host::SystemEnvironment env{1};
  component::Component self;
  std::unique_ptr<host::FormModel> form;
};

std::vector<std::string> RowOne(host::Worksheet& sheet, int32_t columns) {
  std::vector<std::string> out;
  for (int32_t c = 1; c <= columns; ++c) out.push_back(sheet.cell_value(1, c).to_text());
  return out;
}

TEST_F(OpenInMemory, ActivatesAnOpenWorkbookAndTidiesBothSheets) {
  host::Workbook& book = DataBook("考试.xlsx");
  engine.this_workbook().activate();
  const int32_t open_before = engine.workbook_count();
  form->control("ChbSJYuan").set_value(true);

  OpenDataWorkbook(self, engine, *form);

  EXPECT_EQ(engine.workbook_count(), open_before);
  EXPECT_EQ(&engine.active_workbook(), &book);
  EXPECT_EQ(self.DataBookName, "考试.xlsx");
  EXPECT_EQ(self.WorkColumn, 168);
  EXPECT_TRUE(Messages().empty());

  host::Worksheet& rooms = book.sheet(kRoomSheet);
  EXPECT_EQ(RowOne(rooms, 8), (std::vector<std::string>{"考场", "场人", "考室", "监考甲", "监考乙",
                                                        "首考号", "尾考号", "备注"}));
  EXPECT_EQ(rooms.tab_color_index(), 5);
  EXPECT_EQ(rooms.font(1, 7).color_index, 5);
  EXPECT_EQ(rooms.font(1, 8).color_index, 0);
  EXPECT_EQ(rooms.font(40, 6).color_index, 5);
  for (int32_t c : {1, 6, 7}) EXPECT_EQ(rooms.number_format(40, c), "@") << c;
  EXPECT_NE(rooms.number_format(40, 2), "@");

  host::Worksheet& examinees = book.sheet(kExamineeSheet);
  EXPECT_EQ(RowOne(examinees, 4), (std::vector<std::string>{"姓名", "学校", "考号", "座号"}));
  EXPECT_EQ(examinees.tab_color_index(), 5);
  EXPECT_EQ(examinees.cell_value(2, 1), host::Variant("张三"));

  // The examinee sheet is the data source: shown, A1 active, row 1 frozen.
  EXPECT_EQ(&engine.active_sheet(), &examinees);
  host::Window& window = engine.active_window();
  EXPECT_EQ(window.split_row(), 1);
  EXPECT_EQ(window.split_column(), 0);
  EXPECT_TRUE(window.freeze_panes());
  EXPECT_DOUBLE_EQ(window.tab_ratio(), 0.9);
  EXPECT_EQ(window.scroll_row(), 1);

  EXPECT_EQ(form->control("CmbPaiXv").items(),
            (std::vector<std::string>{"无", "姓名", "学校", "考号", "座号"}));
  EXPECT_EQ(form->control("CmbHuanYe").items(), form->control("CmbPaiXv").items());
  EXPECT_TRUE(form->control("CmdDoKaoHao").enabled());
  EXPECT_TRUE(form->control("CmdDoYongBiao").enabled());
}

TEST_F(OpenInMemory, RoomSheetIsShownWhenItIsTheDataSource) {
  host::Workbook& book = DataBook("考试.xlsx");
  OpenDataWorkbook(self, engine, *form);
  EXPECT_EQ(&engine.active_sheet(), &book.sheet(kRoomSheet));
  EXPECT_TRUE(engine.active_window().freeze_panes());
  EXPECT_EQ(form->control("CmbPaiXv").items().size(), 9u);
  EXPECT_EQ(form->control("CmbPaiXv").items()[1], "考场");
}

TEST_F(OpenInMemory, SelectsTheFirstEntryWhenNoneIsSelected) {
  DataBook("甲.xlsx");
  DataBook("乙.xlsx");
  ASSERT_EQ(form->control("LtbBiao").list_index(), -1);
  OpenDataWorkbook(self, engine, *form);
  EXPECT_EQ(form->control("LtbBiao").list_index(), 0);
  EXPECT_EQ(self.DataBookName, "甲.xlsx");
  form->control("LtbBiao").set_list_index(1);
  OpenDataWorkbook(self, engine, *form);
  EXPECT_EQ(self.DataBookName, "乙.xlsx");
}

TEST_F(OpenInMemory, EmptyListDoesNothing) {
  OpenDataWorkbook(self, engine, *form);
  EXPECT_EQ(self.DataBookName, "");
  EXPECT_EQ(self.WorkColumn, 0);
  EXPECT_TRUE(dialogs.records().empty());
  EXPECT_FALSE(form->control("CmdDoKaoHao").enabled());
}

TEST_F(OpenInMemory, MissingRoomSheetIsReportedFirst) {
  DataBook("都缺.xlsx", false, false);
  OpenDataWorkbook(self, engine, *form);
  EXPECT_EQ(Messages(), std::vector<std::string>{"缺少 考场表，请检查标签名。"});
  EXPECT_EQ(dialogs.messages().at(0).title, "提示");
  EXPECT_EQ(dialogs.messages().at(0).icon, "none");
  EXPECT_EQ(self.DataBookName, "都缺.xlsx");
  EXPECT_EQ(self.WorkColumn, 0);
  EXPECT_FALSE(form->control("CmdDoKaoHao").enabled());
}

TEST_F(OpenInMemory, MissingExamineeSheetLeavesTheRoomSheetUntouched) {
  host::Workbook& book = DataBook("缺考生表.xlsx", true, false);
  OpenDataWorkbook(self, engine, *form);
  EXPECT_EQ(Messages(), std::vector<std::string>{"缺少 考生表，请检查标签名。"});
  host::Worksheet& rooms = book.sheet(kRoomSheet);
  EXPECT_EQ(rooms.cell_value(1, 1), host::Variant("考场号"));
  EXPECT_EQ(rooms.tab_color_index(), 0);
  EXPECT_EQ(self.WorkColumn, 0);
}

TEST_F(OpenInMemory, AFailedCheckKeepsTheEarlierWorkColumnAndLists) {
  DataBook("考试.xlsx");
  DataBook("缺考生表.xlsx", true, false);
  form->control("LtbBiao").set_list_index(0);
  OpenDataWorkbook(self, engine, *form);
  const std::vector<std::string> lists = form->control("CmbPaiXv").items();
  form->control("LtbBiao").set_list_index(1);
  OpenDataWorkbook(self, engine, *form);
  EXPECT_EQ(self.DataBookName, "缺考生表.xlsx");
  EXPECT_EQ(self.WorkColumn, 168);
  EXPECT_EQ(form->control("CmbPaiXv").items(), lists);
}

TEST_F(OpenInMemory, AFileThatCannotBeOpenedKeepsTheCurrentDataWorkbook) {
  DataBook("考试.xlsx");
  OpenDataWorkbook(self, engine, *form);
  form->control("LtbBiao").add_item("不存在.xlsx");
  form->control("LtbBiao").set_list_index(1);
  const int32_t open_before = engine.workbook_count();
  try {
    OpenDataWorkbook(self, engine, *form);
    FAIL() << "opening a file without a file format must fail";
  } catch (const host::HostError& e) {
    EXPECT_NE(e.description().find("不存在.xlsx"), std::string::npos) << e.description();
  }
  EXPECT_EQ(self.DataBookName, "考试.xlsx");
  EXPECT_EQ(engine.workbook_count(), open_before);
}

TEST_F(OpenInMemory, OpeningTwiceLeavesTheSheetsAsTheFirstTime) {
  host::Workbook& book = DataBook("考试.xlsx");
  OpenDataWorkbook(self, engine, *form);
  const std::vector<std::string> first = RowOne(book.sheet(kExamineeSheet), 4);
  OpenDataWorkbook(self, engine, *form);
  EXPECT_EQ(RowOne(book.sheet(kExamineeSheet), 4), first);
  EXPECT_EQ(form->control("CmbPaiXv").items().size(), 9u);
}

TEST_F(OpenInMemory, ColumnListsStayUntouchedBeforeAnyDataWorkbook) {
  form->control("CmbPaiXv").add_item("旧");
  FillColumnLists(self, engine, *form, true);
  EXPECT_EQ(form->control("CmbPaiXv").items(), std::vector<std::string>{"旧"});
}

TEST_F(OpenInMemory, ColumnListsKeepTheChosenText) {
  DataBook("考试.xlsx");
  OpenDataWorkbook(self, engine, *form);
  form->control("CmbPaiXv").set_value("班级");
  form->control("CmbHuanYe").set_value("学校");
  FillColumnLists(self, engine, *form, true);
  EXPECT_EQ(form->control("CmbPaiXv").value().to_text(), "班级");
  EXPECT_EQ(form->control("CmbHuanYe").value().to_text(), "学校");
  EXPECT_EQ(form->control("CmbHuanYe").items(),
            (std::vector<std::string>{"无", "姓名", "学校", "考号", "座号"}));
}

TEST_F(OpenInMemory, ColumnListsIgnoreAWorkbookThatIsGone) {
  DataBook("考试.xlsx");
  OpenDataWorkbook(self, engine, *form);
  form->control("CmbPaiXv").set_value("学校");
  self.DataBookName = "已关闭.xlsx";
  FillColumnLists(self, engine, *form, true);
  EXPECT_EQ(form->control("CmbPaiXv").items(), std::vector<std::string>{"无"});
  EXPECT_EQ(form->control("CmbPaiXv").value().to_text(), "学校");
}

}  // namespace
}  // namespace kelv::data
