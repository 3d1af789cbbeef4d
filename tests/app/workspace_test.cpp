// The workspace every front end builds on, driven as a front end would with
// scripted answers: what a save does with a workbook another program
// changed, what it keeps as backups, how long work that stopped is told
// from work that finished, what keeps an event from going, what is no
// workspace, lists that can become data workbooks, and that a damaged host
// workbook is never mended in silence.
#include "app/core/workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/scenario.h"
#include "app/core/workbook_files.h"
#include "host/file_path.h"
#include "host/recording_dialogs.h"
#include "support/temp_folder.h"
#include "xlsx/package.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;

const fs::path kWorkspaces =
    fs::path("..") / host::file_path("scenarios") / host::file_path("workspaces");

std::string bytes_of(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every cell of a sheet's used range as text, row by row.
std::string sheet_text(host::Workbook& book, const std::string& sheet) {
  host::Worksheet& ws = book.sheet(sheet);
  const host::Range used = ws.used_range();
  std::string text;
  for (int32_t r = used.row(); r < used.row() + used.rows_count(); ++r) {
    for (int32_t c = used.column(); c < used.column() + used.columns_count(); ++c)
      text += ws.cells(r, c).value().to_text() + "\t";
    text += "\n";
  }
  return text;
}

class WorkspaceTest : public ::testing::Test {
 protected:
  // A copy of a test workspace, opened.
  void open(const std::string& workspace, WorkspaceOptions options = {}) {
    fs::copy(kWorkspaces / workspace, dir, fs::copy_options::recursive);
    ws = std::make_unique<Workspace>(host::path_text(dir), dialogs, std::move(options));
    ws->start();
  }

  // Opens 初一.xlsx through the component.
  void open_data_workbook() {
    host::Control& list = ws->form().control("LtbBiao");
    list.set_list_index(0);
    ASSERT_EQ(list.value().to_text(), "初一.xlsx");
    ws->click("LtbBiaoClick", by_message_boxes());
    ASSERT_EQ(ws->component().state().DataBookName, "初一.xlsx");
  }

  host::Workbook& data_book() { return ws->engine().workbooks().item("初一.xlsx"); }

  Questions by_message_boxes() {
    return message_box_questions(dialogs, [](const std::string& p) { return p; });
  }

  test::TempFolder temp{"workspace"};
  fs::path dir = temp.path() / host::file_path("ws");
  host::RecordingDialogs dialogs;
  std::unique_ptr<Workspace> ws;
};

TEST_F(WorkspaceTest, ASaveNeverOverwritesAFileChangedElsewhereAndUnansweredSavesNothing) {
  open("changed-elsewhere");
  open_data_workbook();
  ws->click("CmdDoKaoHaoClick", by_message_boxes());
  ASSERT_TRUE(ws->unsaved());
  copy_file_over(host::path_text(dir / host::file_path("外部") / host::file_path("初一.xlsx")),
                 host::path_text(dir / host::file_path("数据") / host::file_path("初一.xlsx")));
  const std::string theirs = bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx"));

  SaveReport report;
  ws->save_all(by_message_boxes(), report);
  const std::string data_path =
      host::path_text(dir / host::file_path("数据") / host::file_path("初一.xlsx"));
  EXPECT_EQ(report.cancelled, std::vector<std::string>{data_path});
  EXPECT_EQ(report.saved,
            std::vector<std::string>{host::path_text(dir / host::file_path("考务.xlsx"))});
  EXPECT_EQ(bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx")), theirs);
  // What was not saved is still unsaved.
  EXPECT_TRUE(ws->unsaved());
  // The host workbook's old file went to the backups; the data workbook,
  // never replaced, has none.
  EXPECT_EQ(list_backups(ws->backup_folder(), "考务.xlsx").size(), 1u);
  EXPECT_TRUE(list_backups(ws->backup_folder(), "初一.xlsx").empty());

  // Saved under another name beside it: theirs stays, ours is the copy.
  dialogs.queue_answer("No");
  dialogs.queue_answer("Yes");
  report = {};
  ws->save({&data_book()}, by_message_boxes(), report);
  const fs::path copy = dir / host::file_path("数据") / host::file_path("初一（kelv 副本）.xlsx");
  EXPECT_EQ(report.saved, std::vector<std::string>{host::path_text(copy)});
  EXPECT_TRUE(fs::is_regular_file(copy));
  EXPECT_EQ(bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx")), theirs);
}

TEST_F(WorkspaceTest, ReloadChosenAtASaveReadsTheOtherProgramsFile) {
  open("changed-elsewhere");
  open_data_workbook();
  ws->click("CmdDoKaoHaoClick", by_message_boxes());
  copy_file_over(host::path_text(dir / host::file_path("外部") / host::file_path("初一.xlsx")),
                 host::path_text(dir / host::file_path("数据") / host::file_path("初一.xlsx")));
  const std::string theirs = bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx"));

  dialogs.queue_answer("Yes");  // read the file again
  SaveReport report;
  ws->save({&data_book()}, by_message_boxes(), report);
  const std::string data_path =
      host::path_text(dir / host::file_path("数据") / host::file_path("初一.xlsx"));
  EXPECT_EQ(report.reload, std::vector<std::string>{data_path});
  EXPECT_TRUE(report.saved.empty());
  EXPECT_EQ(bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx")), theirs);
  // The engine now holds what is on disk, kelv's assignment dropped, and a
  // second save meets no question: the file is known again as it was read.
  std::unique_ptr<spreadsheet::Engine> fresh = open_any_workbook(data_path);
  EXPECT_EQ(sheet_text(data_book(), "考生表"), sheet_text(fresh->this_workbook(), "考生表"));
  dialogs.clear();
  report = {};
  ws->save({&data_book()}, by_message_boxes(), report);
  EXPECT_TRUE(dialogs.records().empty());
  EXPECT_EQ(report.saved, std::vector<std::string>{data_path});
}

TEST_F(WorkspaceTest, AHostWorkbookToReloadIsLeftToAFrontEndThatReopensTheWorkspace) {
  WorkspaceOptions options;
  options.reload_host_in_engine = false;
  open("changed-elsewhere", options);
  host::Workbook* host_before = &ws->engine().this_workbook();
  // Another program saves the host workbook: our copy of 外部/初一.xlsx
  // over it stands for any other bytes.
  copy_file_over(host::path_text(dir / host::file_path("外部") / host::file_path("初一.xlsx")),
                 host::path_text(dir / host::file_path("考务.xlsx")));
  dialogs.queue_answer("Yes");
  SaveReport report;
  ws->save({host_before}, by_message_boxes(), report);
  EXPECT_EQ(report.reload,
            std::vector<std::string>{host::path_text(dir / host::file_path("考务.xlsx"))});
  EXPECT_EQ(&ws->engine().this_workbook(), host_before);
}

TEST_F(WorkspaceTest, WithoutBackupsASaveKeepsNoCopies) {
  WorkspaceOptions options;
  options.keep_backups = false;
  open("basic", options);
  open_data_workbook();
  ws->click("CmdDoKaoHaoClick", by_message_boxes());
  SaveReport report;
  ws->save_all(by_message_boxes(), report);
  EXPECT_EQ(report.saved.size(), 2u);
  EXPECT_FALSE(ws->unsaved());
  EXPECT_FALSE(fs::exists(dir / host::file_path("备份")));
}

// An assignment the error box ended is reported as not done, never with a
// count; one that finished says how many examinees went into how many rooms.
TEST_F(WorkspaceTest, AStoppedAssignmentIsNotDone) {
  open("basic");
  EXPECT_FALSE(ws->unsaved());  // start-up leaves nothing unsaved
  open_data_workbook();
  ws->form().control("TxtSKHao").set_value(host::Variant("A001"));
  WorkReport report = ws->click("CmdDoKaoHaoClick", by_message_boxes());
  EXPECT_TRUE(report.long_work);
  EXPECT_TRUE(report.stopped);
  EXPECT_FALSE(report.failure);
  EXPECT_TRUE(report.summary.empty());
  EXPECT_EQ(report.text().rfind("编排考号没有完成", 0), 0u) << report.text();
  EXPECT_TRUE(ws->unsaved());

  ws->form().control("TxtSKHao").set_value(host::Variant("0001"));
  report = ws->click("CmdDoKaoHaoClick", by_message_boxes());
  EXPECT_FALSE(report.stopped);
  EXPECT_NE(report.summary.find("名考生排入"), std::string::npos);
  EXPECT_EQ(report.text().rfind("编排考号完成：" + report.summary + "，用时", 0), 0u)
      << report.text();

  // Events that start no long work have nothing to say.
  EXPECT_EQ(ws->click("MyHelp", by_message_boxes()).text(), "");
}

TEST_F(WorkspaceTest, ANumberBoxHoldingNoNumberIsNamedWithWhatItHolds) {
  open("basic");
  open_data_workbook();
  // A template chosen, so that the layout boxes are stored with it.
  host::Control& templates = ws->form().control("LtbMoBan");
  ASSERT_FALSE(templates.items().empty());
  templates.set_list_index(0);
  ws->click("LtbMoBanClick", by_message_boxes());
  ws->form().control("TxtHang").set_value(host::Variant("十"));
  try {
    ws->set("TxtHang");
    FAIL() << "a letter in 每页行数 was taken";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kTypeMismatch);
    EXPECT_NE(e.description().find("“每页行数”须是数字，现在填的是“十”"), std::string::npos)
        << e.description();
  }
}

TEST_F(WorkspaceTest, TheCheckCanBeDeclinedAndOtherEventsPassUnchecked) {
  open("basic");
  open_data_workbook();
  ws->form().control("TxtSKHao").set_value(host::Variant("A001"));
  Questions questions = by_message_boxes();
  std::string asked_before;
  questions.check = [&](const std::vector<Finding>& findings, const std::string& action) {
    EXPECT_FALSE(findings.empty());
    asked_before = action;
    return CheckChoice::Cancel;
  };
  EXPECT_EQ(ws->click("CmdDoKaoHaoClick", questions).gate, WorkReport::Gate::CheckDeclined);
  EXPECT_EQ(asked_before, "编排考号");
  EXPECT_TRUE(ws->form().control("TxtSKHao").value().to_text() == "A001");
  asked_before.clear();
  EXPECT_EQ(ws->click("LtbMoBanClick", questions).gate, WorkReport::Gate::Sent);
  EXPECT_TRUE(asked_before.empty());
  // Without a check question the event goes unchecked.
  EXPECT_EQ(ws->click("CmdDoKaoHaoClick", by_message_boxes()).gate, WorkReport::Gate::Sent);
}

// A damaged host workbook is opened mended and the front end hears of it
// before anything else (kelv run and kelv play used to open it silently).
TEST_F(WorkspaceTest, ADamagedHostWorkbookIsReported) {
  fs::copy(kWorkspaces / host::file_path("basic"), dir, fs::copy_options::recursive);
  const std::string host_path = host::path_text(dir / host::file_path("考务.xlsx"));
  {
    std::map<std::string, std::string> parts;
    {
      xlsx::PackageReader in(host_path);
      for (const std::string& p : in.parts()) parts[p] = in.read(p);
    }
    parts["_rels/.rels"] = "<Relationships";
    xlsx::PackageWriter out(host_path);
    for (auto& [p, data] : parts) out.add(p, std::move(data));
    out.close();
  }
  std::vector<spreadsheet::RepairReport> heard;
  WorkspaceOptions options;
  options.on_repair = [&](const spreadsheet::RepairReport& r) { heard.push_back(r); };
  ws = std::make_unique<Workspace>(host_path, dialogs, std::move(options));
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].file, host_path);
  EXPECT_FALSE(heard[0].repairs.empty());
}

// What is no workspace says so in a sentence, and never takes a roster for
// the host workbook (the component would fail at its first look-up).
TEST(WorkspaceDoor, AFolderWithoutAHostWorkbookIsNoWorkspace) {
  test::TempFolder temp("no-workspace");
  const fs::path dir = temp.path();
  host::RecordingDialogs dialogs;
  auto kind_of = [&](const std::string& location) {
    try {
      Workspace ws(location, dialogs);
    } catch (const WorkspaceError& e) {
      // What is no workspace says what a workspace is.
      if (e.kind() == WorkspaceError::Kind::NotAWorkspace) {
        EXPECT_NE(std::string(e.what()).find("kelv 工作区"), std::string::npos) << e.what();
      }
      return e.kind();
    }
    return WorkspaceError::Kind::Failed;
  };
  EXPECT_EQ(kind_of(host::path_text(dir / host::file_path("没有"))), WorkspaceError::Kind::Missing);
  EXPECT_EQ(kind_of(host::path_text(dir)), WorkspaceError::Kind::NotAWorkspace);
  // A roster exported as the only workbook of the folder.
  fs::copy_file(kWorkspaces / host::file_path("basic") / host::file_path("数据") /
                    host::file_path("初一.xlsx"),
                dir / host::file_path("名单.xlsx"));
  EXPECT_EQ(kind_of(host::path_text(dir)), WorkspaceError::Kind::NotAWorkspace);
  // Two workbooks and none of the usual name: which one is meant.
  fs::copy_file(dir / host::file_path("名单.xlsx"), dir / host::file_path("另一份.xlsx"));
  EXPECT_EQ(kind_of(host::path_text(dir)), WorkspaceError::Kind::Ambiguous);
}

TEST_F(WorkspaceTest, ADisabledButtonSendsNothingAndLockFilesAreWarnedOfWhereverTheyAre) {
  open("basic");
  // Before a data workbook is open, the assign button is disabled.
  EXPECT_EQ(ws->click("CmdDoKaoHaoClick", by_message_boxes()).gate, WorkReport::Gate::Disabled);
  // Another program has the data workbook open: its lock file is beside it.
  std::ofstream(dir / host::file_path("数据") / host::file_path("~$初一.xlsx")) << "lock";
  host::Control& list = ws->form().control("LtbBiao");
  list.set_list_index(0);
  const WorkReport report = ws->click("LtbBiaoClick", by_message_boxes());
  ASSERT_EQ(report.warnings.size(), 1u);
  EXPECT_NE(report.warnings[0].find("初一.xlsx"), std::string::npos) << report.warnings[0];
  EXPECT_NE(report.warnings[0].find("~$初一.xlsx"), std::string::npos);
  // Each warning once.
  EXPECT_TRUE(ws->take_warnings().empty());
}

TEST_F(WorkspaceTest, AListThatIsNoDataWorkbookIsOfferedAndBecomesOne) {
  open("basic");
  {
    std::ofstream csv(dir / host::file_path("数据") / host::file_path("名单.csv"),
                      std::ios::binary);
    csv << "姓名,学校,班级\n张三,一中,1\n李四,一中,2\n";
  }
  ASSERT_TRUE(ws->refresh_data_list());
  host::Control& list = ws->form().control("LtbBiao");
  const std::vector<std::string>& items = list.items();
  list.set_list_index(
      static_cast<int32_t>(std::find(items.begin(), items.end(), "名单.csv") - items.begin()));
  ws->click("LtbBiaoClick", by_message_boxes());
  const std::optional<ListOffer> offer = ws->list_offer();
  ASSERT_TRUE(offer.has_value());
  EXPECT_EQ(fs::path(host::file_path(offer->target)).filename(), host::file_path("名单.xlsx"));
  EXPECT_FALSE(offer->target_exists);
  EXPECT_NE(offer->question().find("名单.csv"), std::string::npos);

  const WorkReport opened = ws->take_offer(*offer, by_message_boxes());
  EXPECT_TRUE(opened.sent());
  EXPECT_EQ(ws->component().state().DataBookName, "名单.xlsx");
  EXPECT_NE(ws->component().state().WorkColumn, 0);
  EXPECT_EQ(list.value().to_text(), "名单.xlsx");
  // The list itself is untouched; a data workbook needs no offer.
  EXPECT_EQ(bytes_of(dir / host::file_path("数据") / host::file_path("名单.csv")),
            "姓名,学校,班级\n张三,一中,1\n李四,一中,2\n");
  EXPECT_FALSE(ws->list_offer().has_value());
}

TEST_F(WorkspaceTest, AGenerationThatMadeNothingIsNeverDone) {
  open("basic");
  open_data_workbook();
  // Before the assignment the template's 考号 field has no column: the
  // component tells why, and no table is left.
  host::Control& templates = ws->form().control("LtbMoBan");
  templates.set_list_index(0);
  ws->click("LtbMoBanClick", by_message_boxes());
  const WorkReport report = ws->click("CmdDoYongBiaoClick", by_message_boxes());
  EXPECT_TRUE(report.sent());
  EXPECT_TRUE(report.made_nothing);
  EXPECT_EQ(report.text().find("完成"), std::string::npos) << report.text();

  ws->click("CmdDoKaoHaoClick", by_message_boxes());
  const WorkReport again = ws->click("CmdDoYongBiaoClick", by_message_boxes());
  EXPECT_FALSE(again.made_nothing);
  EXPECT_EQ(again.text().rfind("生成表格完成：", 0), 0u) << again.text();
}

TEST_F(WorkspaceTest, ARestoredBackupGoesBackWhereItsWorkbookLives) {
  open("basic");
  open_data_workbook();
  ws->click("CmdDoKaoHaoClick", by_message_boxes());
  SaveReport report;
  ws->save_all(by_message_boxes(), report);
  const std::string data_before =
      bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx"));
  const std::vector<Backup> backups = ws->backups();
  ASSERT_EQ(backups.size(), 2u);
  for (const Backup& b : backups) {
    const std::string target = ws->folder().restore_target(b);
    if (b.workbook == "考务.xlsx")
      EXPECT_EQ(target, host::path_text(dir / host::file_path("考务.xlsx")));
    else
      EXPECT_EQ(target,
                host::path_text(dir / host::file_path("数据") / host::file_path("初一.xlsx")));
  }
  const Backup data_copy = backups[0].workbook == "初一.xlsx" ? backups[0] : backups[1];
  ws->restore(data_copy);
  // The file as it was before the save, and the one it replaced kept too.
  EXPECT_EQ(bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx")),
            bytes_of(host::file_path(data_copy.path)));
  EXPECT_NE(bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx")), data_before);
  EXPECT_EQ(list_backups(ws->backup_folder(), "初一.xlsx").size(), 2u);
}

}  // namespace
}  // namespace kelv::app
