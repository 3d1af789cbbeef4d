// The session every front end builds on, driven as a front end would with
// scripted answers: what a save does with a workbook another program
// changed, what it keeps as backups, how long work that stopped is told
// from work that finished, and that a damaged host workbook is never mended
// in silence.
#include "app/core/session.h"

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

class SessionTest : public ::testing::Test {
 protected:
  // A copy of a test workspace, opened.
  void open(const std::string& workspace, SessionOptions options = {}) {
    fs::copy(kWorkspaces / workspace, dir, fs::copy_options::recursive);
    session = std::make_unique<Session>(host::path_text(dir / host::file_path("考务.xlsx")),
                                        dialogs, std::move(options));
    session->start();
  }

  // Opens 初一.xlsx through the component.
  void open_data_workbook() {
    host::Control& list = session->form().control("LtbBiao");
    list.set_list_index(0);
    ASSERT_EQ(list.value().to_text(), "初一.xlsx");
    session->click("LtbBiaoClick");
    ASSERT_EQ(session->component().state().DataBookName, "初一.xlsx");
  }

  host::Workbook& data_book() { return session->engine().workbooks().item("初一.xlsx"); }

  Questions by_message_boxes() {
    return message_box_questions(dialogs, [](const std::string& p) { return p; });
  }

  test::TempFolder temp{"session"};
  fs::path dir = temp.path() / host::file_path("ws");
  host::RecordingDialogs dialogs;
  std::unique_ptr<Session> session;
};

TEST_F(SessionTest, ASaveNeverOverwritesAFileChangedElsewhereAndUnansweredSavesNothing) {
  open("changed-elsewhere");
  open_data_workbook();
  session->click("CmdDoKaoHaoClick");
  ASSERT_TRUE(session->unsaved());
  copy_file_over(host::path_text(dir / host::file_path("外部") / host::file_path("初一.xlsx")),
                 host::path_text(dir / host::file_path("数据") / host::file_path("初一.xlsx")));
  const std::string theirs = bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx"));

  SaveReport report;
  session->save_all(by_message_boxes(), report);
  const std::string data_path =
      host::path_text(dir / host::file_path("数据") / host::file_path("初一.xlsx"));
  EXPECT_EQ(report.cancelled, std::vector<std::string>{data_path});
  EXPECT_EQ(report.saved,
            std::vector<std::string>{host::path_text(dir / host::file_path("考务.xlsx"))});
  EXPECT_EQ(bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx")), theirs);
  // What was not saved is still unsaved.
  EXPECT_TRUE(session->unsaved());
  // The host workbook's old file went to the backups; the data workbook,
  // never replaced, has none.
  EXPECT_EQ(list_backups(session->backup_folder(), "考务.xlsx").size(), 1u);
  EXPECT_TRUE(list_backups(session->backup_folder(), "初一.xlsx").empty());

  // Saved under another name beside it: theirs stays, ours is the copy.
  dialogs.queue_answer("No");
  dialogs.queue_answer("Yes");
  report = {};
  session->save({&data_book()}, by_message_boxes(), report);
  const fs::path copy = dir / host::file_path("数据") / host::file_path("初一（kelv 副本）.xlsx");
  EXPECT_EQ(report.saved, std::vector<std::string>{host::path_text(copy)});
  EXPECT_TRUE(fs::is_regular_file(copy));
  EXPECT_EQ(bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx")), theirs);
}

TEST_F(SessionTest, ReloadChosenAtASaveReadsTheOtherProgramsFile) {
  open("changed-elsewhere");
  open_data_workbook();
  session->click("CmdDoKaoHaoClick");
  copy_file_over(host::path_text(dir / host::file_path("外部") / host::file_path("初一.xlsx")),
                 host::path_text(dir / host::file_path("数据") / host::file_path("初一.xlsx")));
  const std::string theirs = bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx"));

  dialogs.queue_answer("Yes");  // read the file again
  SaveReport report;
  session->save({&data_book()}, by_message_boxes(), report);
  const std::string data_path =
      host::path_text(dir / host::file_path("数据") / host::file_path("初一.xlsx"));
  EXPECT_EQ(report.reload, std::vector<std::string>{data_path});
  EXPECT_TRUE(report.saved.empty());
  EXPECT_EQ(bytes_of(dir / host::file_path("数据") / host::file_path("初一.xlsx")), theirs);
  // The engine now holds what is on disk, kelv's assignment dropped, and a
  // second save meets no question: the file is known again as it was read.
  std::unique_ptr<spreadsheet::Engine> fresh = open_host_workbook(data_path);
  EXPECT_EQ(sheet_text(data_book(), "考生表"), sheet_text(fresh->this_workbook(), "考生表"));
  dialogs.clear();
  report = {};
  session->save({&data_book()}, by_message_boxes(), report);
  EXPECT_TRUE(dialogs.records().empty());
  EXPECT_EQ(report.saved, std::vector<std::string>{data_path});
}

TEST_F(SessionTest, AHostWorkbookToReloadIsLeftToAFrontEndThatReopensTheWorkspace) {
  SessionOptions options;
  options.reload_host_in_engine = false;
  open("changed-elsewhere", options);
  host::Workbook* host_before = &session->engine().this_workbook();
  // Another program saves the host workbook: our copy of 外部/初一.xlsx
  // over it stands for any other bytes.
  copy_file_over(host::path_text(dir / host::file_path("外部") / host::file_path("初一.xlsx")),
                 host::path_text(dir / host::file_path("考务.xlsx")));
  dialogs.queue_answer("Yes");
  SaveReport report;
  session->save({host_before}, by_message_boxes(), report);
  EXPECT_EQ(report.reload,
            std::vector<std::string>{host::path_text(dir / host::file_path("考务.xlsx"))});
  EXPECT_EQ(&session->engine().this_workbook(), host_before);
}

TEST_F(SessionTest, WithoutBackupsASaveKeepsNoCopies) {
  SessionOptions options;
  options.keep_backups = false;
  open("basic", options);
  open_data_workbook();
  session->click("CmdDoKaoHaoClick");
  SaveReport report;
  session->save_all(by_message_boxes(), report);
  EXPECT_EQ(report.saved.size(), 2u);
  EXPECT_FALSE(session->unsaved());
  EXPECT_FALSE(fs::exists(dir / host::file_path("备份")));
}

// An assignment the error box ended is reported as not done, never with a
// count; one that finished says how many examinees went into how many rooms.
TEST_F(SessionTest, AStoppedAssignmentIsNotDone) {
  open("basic");
  EXPECT_FALSE(session->unsaved());  // start-up leaves nothing unsaved
  open_data_workbook();
  session->form().control("TxtSKHao").set_value(host::Variant("A001"));
  WorkReport report = session->click("CmdDoKaoHaoClick");
  EXPECT_TRUE(report.long_work);
  EXPECT_TRUE(report.stopped);
  EXPECT_FALSE(report.failure);
  EXPECT_TRUE(report.summary.empty());
  EXPECT_EQ(report.text().rfind("编排考号没有完成", 0), 0u) << report.text();
  EXPECT_TRUE(session->unsaved());

  session->form().control("TxtSKHao").set_value(host::Variant("0001"));
  report = session->click("CmdDoKaoHaoClick");
  EXPECT_FALSE(report.stopped);
  EXPECT_NE(report.summary.find("名考生排入"), std::string::npos);
  EXPECT_EQ(report.text().rfind("编排考号完成：" + report.summary + "，用时", 0), 0u)
      << report.text();

  // Events that start no long work have nothing to say.
  EXPECT_EQ(session->click("MyHelp").text(), "");
}

TEST_F(SessionTest, TheCheckCanBeDeclinedAndOtherEventsPassUnchecked) {
  open("basic");
  open_data_workbook();
  session->form().control("TxtSKHao").set_value(host::Variant("A001"));
  Questions questions = by_message_boxes();
  std::string asked_before;
  questions.check = [&](const std::vector<Finding>& findings, const std::string& action) {
    EXPECT_FALSE(findings.empty());
    asked_before = action;
    return CheckChoice::Cancel;
  };
  EXPECT_EQ(session->gate("CmdDoKaoHaoClick", questions), Session::Gate::CheckDeclined);
  EXPECT_EQ(asked_before, "编排考号");
  asked_before.clear();
  EXPECT_EQ(session->gate("LtbMoBanClick", questions), Session::Gate::Send);
  EXPECT_TRUE(asked_before.empty());
  // Without a check question the event goes unchecked.
  EXPECT_EQ(session->gate("CmdDoKaoHaoClick", by_message_boxes()), Session::Gate::Send);
}

// A damaged host workbook is opened mended and the front end hears of it
// before anything else (kelv run and kelv play used to open it silently).
TEST_F(SessionTest, ADamagedHostWorkbookIsReported) {
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
  SessionOptions options;
  options.on_repair = [&](const spreadsheet::RepairReport& r) { heard.push_back(r); };
  session = open_session(host_path, dialogs, std::move(options));
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].file, host_path);
  EXPECT_FALSE(heard[0].repairs.empty());
}

TEST(HostWorkbookAt, AFileItselfOrTheUsualNameInAFolder) {
  test::TempFolder temp("host-at");
  const fs::path dir = temp.path();
  std::ofstream(dir / host::file_path("考务.xlsx")) << "x";
  std::ofstream(dir / host::file_path("另一个.xlsx")) << "x";
  const std::string usual = host::path_text(dir / host::file_path("考务.xlsx"));
  EXPECT_EQ(host_workbook_at(host::path_text(dir)), usual);
  EXPECT_EQ(host_workbook_at(host::path_text(dir / host::file_path("另一个.xlsx"))),
            host::path_text(dir / host::file_path("另一个.xlsx")));
  fs::remove(dir / host::file_path("考务.xlsx"));
  // Two others and none usual: the person must name one.
  std::ofstream(dir / host::file_path("第三个.xlsx")) << "x";
  EXPECT_THROW(host_workbook_at(host::path_text(dir)), ScenarioError);
  EXPECT_THROW(host_workbook_at(host::path_text(dir / host::file_path("没有"))), ScenarioError);
}

}  // namespace
}  // namespace kelv::app
