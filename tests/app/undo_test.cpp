// Putting a workspace back as it was before a step of long work: after the
// step (undo), with only what the step changed kept; when the person stops
// the step through the progress (cancel), without the component's error
// box; and the step's time without the boxes that waited for the person.
#include "app/core/undo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/core/workspace.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "host/recording_dialogs.h"
#include "spreadsheet/engine.h"
#include "spreadsheet/sheet_dump.h"
#include "support/temp_folder.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;

const fs::path kWorkspaces =
    fs::path("..") / host::file_path("scenarios") / host::file_path("workspaces");

std::string everything(Workspace& ws) {
  std::string text;
  for (host::Workbook* book : ws.open_workbooks()) {
    const spreadsheet::Workbook& model = spreadsheet::Engine::model_of(*book);
    text +=
        "workbook " + book->name() + " active sheet " + std::to_string(model.active_sheet) + "\n";
    for (const auto& sheet : model.sheets)
      text += "sheet " + sheet->name + "\n" + spreadsheet::dump_sheet(model, *sheet);
  }
  return text;
}

// Stops the work at its `n`th report, as a person pressing 取消.
class StopAt : public host::Progress {
 public:
  explicit StopAt(int n) : n_(n) {}
  void report(std::string_view, int64_t, int64_t) override {
    if (++seen_ >= n_) throw host::HostError::host(host::kUserInterrupt);
  }
  int seen() const { return seen_; }

 private:
  int n_;
  int seen_ = 0;
};

// A person who takes a while to press 确定.
class SlowDialogs : public host::RecordingDialogs {
 public:
  host::MessageResult message_box(std::string_view text, host::MessageButtons buttons,
                                  host::MessageIcon icon, std::string_view title) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    return RecordingDialogs::message_box(text, buttons, icon, title);
  }
};

class UndoTest : public ::testing::Test {
 protected:
  void open(host::Dialogs& with) {
    fs::copy(kWorkspaces / "basic", dir, fs::copy_options::recursive);
    ws = std::make_unique<Workspace>(host::path_text(dir), with);
    ws->start();
    host::Control& list = ws->form().control("LtbBiao");
    list.set_list_index(0);
    ws->click("LtbBiaoClick", questions());
    ASSERT_NE(ws->data_workbook(), nullptr);
  }
  Questions questions() {
    return message_box_questions(dialogs, [](const std::string& p) { return p; });
  }
  std::function<WorkReport()> assign() {
    return [this] { return ws->click("CmdDoKaoHaoClick", questions()); };
  }
  int critical_boxes() {
    int n = 0;
    for (const auto& m : dialogs.messages()) n += m.icon == "critical";
    return n;
  }

  test::TempFolder temp{"undo"};
  fs::path dir = temp.path() / host::file_path("ws");
  host::RecordingDialogs dialogs;
  std::unique_ptr<Workspace> ws;
};

TEST_F(UndoTest, AfterTheStepOnlyWhatItChangedIsKeptAndAllComesBack) {
  open(dialogs);
  const std::string before = everything(*ws);
  const bool unsaved_before = ws->unsaved();
  WorkSnapshot full(*ws, "编排考号");
  WorkSnapshot snapshot(*ws, "编排考号");
  ASSERT_FALSE(assign()().stopped);
  ASSERT_NE(everything(*ws), before);
  ASSERT_TRUE(snapshot.keep_changes_only(*ws));
  // The host workbook's templates and every sheet the assignment did not
  // write are no longer held twice.
  EXPECT_LT(snapshot.cell_bytes(), full.cell_bytes());
  EXPECT_GT(snapshot.cell_bytes(), 0);
  // Something done after the step that the step did not touch stays.
  ws->form().control("TxtHang").set_value(host::Variant("7"));
  snapshot.restore(*ws);
  EXPECT_EQ(everything(*ws), before);
  EXPECT_EQ(ws->unsaved(), unsaved_before);
  EXPECT_EQ(ws->component().state().DataBookName, "初一.xlsx");
  // The component works on the restored workbooks as on any others.
  EXPECT_FALSE(assign()().stopped);
}

// An assignment the error box ends before it writes anything: its box
// shows (no stop was asked for) and there is nothing to undo.
TEST_F(UndoTest, AStepThatChangedNothingLeavesNothingToUndo) {
  open(dialogs);
  const std::string before = everything(*ws);
  ws->form().control("TxtSKHao").set_value(host::Variant("A001"));
  dialogs.clear();
  StopAt never(1000000);
  UndoableRun run = run_undoable(*ws, never, "编排考号", assign());
  EXPECT_TRUE(run.report.stopped);
  EXPECT_FALSE(run.report.cancelled);
  EXPECT_EQ(critical_boxes(), 1);
  EXPECT_EQ(run.undo, nullptr);
  EXPECT_EQ(everything(*ws), before);
}

TEST_F(UndoTest, AStopPutsEverythingBackAndNoErrorBoxShowsForIt) {
  open(dialogs);
  const std::string before = everything(*ws);
  const bool unsaved_before = ws->unsaved();
  dialogs.clear();
  StopAt stop(2);
  UndoableRun run = run_undoable(*ws, stop, "编排考号", assign());
  EXPECT_EQ(stop.seen(), 2);
  EXPECT_TRUE(run.report.cancelled);
  EXPECT_FALSE(run.report.stopped);
  EXPECT_EQ(run.report.text().rfind("已取消编排考号：", 0), 0u) << run.report.text();
  EXPECT_EQ(critical_boxes(), 0);
  EXPECT_EQ(run.undo, nullptr);
  EXPECT_EQ(everything(*ws), before);
  EXPECT_EQ(ws->unsaved(), unsaved_before);
  // The next error box shows again.
  ws->form().control("TxtSKHao").set_value(host::Variant("A001"));
  EXPECT_TRUE(ws->click("CmdDoKaoHaoClick", questions()).stopped);
  EXPECT_EQ(critical_boxes(), 1);
}

TEST_F(UndoTest, TheTimeCountsTheWorkNotTheBoxes) {
  SlowDialogs slow;
  open(slow);
  ws->form().control("TxtSKHao").set_value(host::Variant("A001"));  // ends in the error box
  const auto start = std::chrono::steady_clock::now();
  const WorkReport report = ws->click("CmdDoKaoHaoClick", questions());
  const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
  ASSERT_FALSE(slow.messages().empty());
  EXPECT_GE(wall - report.milliseconds, 750) << wall << " " << report.milliseconds;
  EXPECT_GE(report.milliseconds, 0);
}

}  // namespace
}  // namespace kelv::app
