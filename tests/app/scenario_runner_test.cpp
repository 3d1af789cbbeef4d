#include "app/core/scenario_runner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "host/file_path.h"
#include "support/temp_folder.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kWorkspaces =
    fs::path("..") / host::file_path("scenarios") / host::file_path("workspaces");

class RunnerTest : public ::testing::Test {
 protected:
  // Plays the scenario on a fresh copy of a test workspace, through the
  // workspace every front end uses, and returns the transcript, one object
  // per line. `prepare` changes the form before the first step.
  std::vector<json> Play(const std::string& scenario_text, const std::string& workspace = "basic",
                         const std::function<void(host::FormModel&)>& prepare = nullptr) {
    const fs::path dir = temp.path() / host::file_path("ws" + std::to_string(++runs));
    fs::copy(kWorkspaces / host::file_path(workspace), dir, fs::copy_options::recursive);
    dialogs.clear();
    out.str("");
    WorkspaceOptions options;
    options.seed = 3;
    Workspace ws(host::path_text(dir), dialogs, std::move(options));
    if (prepare) prepare(ws.form());
    Transcript transcript(out, host::path_text(dir));
    Stage stage{ws, dialogs, transcript};
    play_scenario(parse_scenario_text(scenario_text), stage);
    controls = ws.form().controls().size();
    std::vector<json> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
    return lines;
  }

  static std::vector<json> OfKind(const std::vector<json>& lines, const std::string& kind) {
    std::vector<json> found;
    for (const json& j : lines)
      if (j["kind"] == kind) found.push_back(j);
    return found;
  }

  static json ControlLine(const std::vector<json>& lines, const std::string& name) {
    for (const json& j : lines)
      if (j["kind"] == "control" && j["name"] == name) return j;
    return json();
  }

  test::TempFolder temp{"runner"};
  int runs = 0;
  size_t controls = 0;
  host::RecordingDialogs dialogs;
  std::ostringstream out;
};

TEST_F(RunnerTest, HelpDocumentIsRecordedRelativeToTheWorkspace) {
  const auto lines = Play(R"({"initialize": false, "steps": [{"click": "MyHelp"}]})");
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], json::parse(R"({"kind": "click", "event": "MyHelp"})"));
  EXPECT_EQ(lines[1], json::parse(R"({"kind": "document", "path": "帮助.doc"})"));
}

TEST_F(RunnerTest, ErrorBoxWithNothingQueuedIsAnsweredOkAndMarked) {
  const auto lines =
      Play(R"({"initialize": false, "steps": [{"click": "MyHelp"}]})", "basic-no-help");
  const auto boxes = OfKind(lines, "message");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], json::parse(R"({"kind": "message", "title": "错误",
      "text": "kelv 电子表格：(53)文件未找到：帮助.doc", "buttons": "OK", "icon": "critical",
      "answer": "OK", "defaulted": true})"));
  EXPECT_TRUE(OfKind(lines, "unused-answers").empty());
}

TEST_F(RunnerTest, QueuedAnswersAreTakenInOrderAndLeftoversCounted) {
  const auto lines = Play(R"({"initialize": false, "steps": [
      {"answer": ["OK", "Yes", null]}, {"click": "MyHelp"}]})",
                          "basic-no-help");
  const auto boxes = OfKind(lines, "message");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_FALSE(boxes[0].contains("defaulted"));
  const auto unused = OfKind(lines, "unused-answers");
  ASSERT_EQ(unused.size(), 1u);
  EXPECT_EQ(unused[0]["count"], 2);
}

TEST_F(RunnerTest, StartUpIsSentFirstUnlessTurnedOff) {
  auto lines = Play("{}");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0]["event"], "UserFormInitialize");
  lines = Play(R"({"initialize": false})");
  EXPECT_TRUE(OfKind(lines, "click").empty());
}

TEST_F(RunnerTest, DisabledButtonFiresNothingUntilEnabled) {
  auto lines = Play(R"({"initialize": false, "steps": [{"click": "CmdDoKaoHaoClick"}]})");
  EXPECT_EQ(
      lines[0],
      json::parse(R"({"kind": "click", "event": "CmdDoKaoHaoClick", "ignored": "disabled"})"));
  EXPECT_TRUE(dialogs.records().empty());

  // Enabled, the click reaches the component, which has no data workbook
  // to work on yet and says so in its error box.
  lines = Play(R"({"initialize": false, "steps": [{"click": "CmdDoKaoHaoClick"}]})", "basic",
               [](host::FormModel& UF) { UF["CmdDoKaoHao"].set_enabled(true); });
  EXPECT_FALSE(lines[0].contains("ignored"));
  EXPECT_FALSE(dialogs.records().empty());
}

TEST_F(RunnerTest, FormStepsShowInTheFinalState) {
  const auto lines = Play(R"({"initialize": false, "steps": [
      {"set": {"TxtSKHao": "0001", "ChbHengPai": null, "OptSJKaoHao": true, "TxtHang": 3}},
      {"select": {"LtbBiao": "乙.xlsx"}},
      {"page": "Page1"}]})",
                          "basic", [](host::FormModel& UF) {
                            UF["LtbBiao"].add_item("甲.xlsx");
                            UF["LtbBiao"].add_item("乙.xlsx");
                          });
  EXPECT_EQ(ControlLine(lines, "TxtSKHao")["value"], "0001");
  EXPECT_EQ(ControlLine(lines, "TxtHang")["value"], "3");
  EXPECT_TRUE(ControlLine(lines, "ChbHengPai")["value"].is_null());
  EXPECT_EQ(ControlLine(lines, "OptSJKaoHao")["value"], true);
  EXPECT_EQ(ControlLine(lines, "OptSXKaoHao")["value"], false);
  EXPECT_EQ(ControlLine(lines, "LtbBiao"),
            json::parse(R"({"kind": "control", "name": "LtbBiao", "type": "list",
                "value": "乙.xlsx", "items": ["甲.xlsx", "乙.xlsx"], "index": 1, "enabled": true})"));
  EXPECT_EQ(ControlLine(lines, "MultiPage1")["page"], "Page1");
  EXPECT_EQ(ControlLine(lines, "CmdDoYongBiao"),
            json::parse(R"({"kind": "control", "name": "CmdDoYongBiao", "type": "button",
                "enabled": false})"));
  EXPECT_EQ(OfKind(lines, "form").size(), 1u);
  EXPECT_EQ(OfKind(lines, "control").size(), controls);
}

TEST_F(RunnerTest, StepsTheFormCannotTakeNameTheStep) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"initialize": false, "steps": [{"page": "Page0"}, {"set": {"TxtNone": "1"}}]})",
       "场景第 2 步：窗体上没有控件 TxtNone"},
      {R"({"initialize": false, "steps": [{"select": {"LtbBiao": "丙.xlsx"}}]})",
       "场景第 1 步：列表 LtbBiao 中没有“丙.xlsx”"},
      {R"({"initialize": false, "steps": [{"select": {"LtbBiao": 0}}]})", "场景第 1 步"},
      {R"({"initialize": false, "steps": [{"select": {"TxtHang": 0}}]})", "不是列表"},
      {R"({"initialize": false, "steps": [{"set": {"CmdAddMB": true}}]})", "按钮 CmdAddMB"},
      {R"({"initialize": false, "steps": [{"page": "Page2"}]})", "Page0 和 Page1"},
  };
  for (const auto& [text, message] : cases) {
    try {
      Play(text);
      ADD_FAILURE() << "played: " << text;
    } catch (const ScenarioError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("场景第 ", 0), 0u) << e.what();
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

TEST_F(RunnerTest, MyFunSetFailureIsRecordedAndTheRunGoesOn) {
  const auto lines = Play(R"({"initialize": false, "steps": [
      {"set": {"TxtHang": "abc"}}, {"change": "TxtHang"}, {"change": "txthang"},
      {"click": "MyHelp"}]})");
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], json::parse(R"({"kind": "change", "control": "TxtHang"})"));
  EXPECT_EQ(lines[1]["kind"], "failure");
  EXPECT_EQ(lines[1]["control"], "TxtHang");
  EXPECT_EQ(lines[1]["number"], 13);
  EXPECT_EQ(lines[2], json::parse(R"({"kind": "change", "control": "txthang"})"));
  EXPECT_EQ(lines[3]["event"], "MyHelp");
  EXPECT_EQ(lines[4]["kind"], "document");
}

TEST(TranscriptTest, PathsInsideTheWorkspaceBecomeRelative) {
  std::ostringstream out;
  Transcript t(out, "/tmp/ws/");
  EXPECT_EQ(t.relative("/tmp/ws\\帮助.doc"), "帮助.doc");
  EXPECT_EQ(t.relative("打不开 /tmp/ws/数据/初一.xlsx。"), "打不开 数据/初一.xlsx。");
  EXPECT_EQ(t.relative("/tmp/ws"), ".");
  EXPECT_EQ(t.relative("/tmp/wsx/a /tmp/ws2 /tmp/ws.bak"), "/tmp/wsx/a /tmp/ws2 /tmp/ws.bak");
}

// The check before the work is answered from the scenario, continue when it
// gives no answer, and written down with what it found.
TEST_F(RunnerTest, TheCheckBeforeTheWorkIsWrittenDownWithItsAnswer) {
  const char* steps = R"({"steps": [
      {"select": {"LtbBiao": "初一.xlsx"}}, {"click": "LtbBiaoClick"},
      {"set": {"TxtSKHao": "A001"}}, %s {"click": "CmdDoKaoHaoClick"}]})";
  auto play = [&](const std::string& check) {
    std::string text = steps;
    text.replace(text.find("%s"), 2, check);
    return Play(text);
  };
  std::vector<json> lines = play("");
  std::vector<json> checks = OfKind(lines, "check");
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_EQ(checks[0]["action"], "编排考号");
  EXPECT_EQ(checks[0]["answer"], "continue");
  EXPECT_TRUE(checks[0]["defaulted"].get<bool>());
  ASSERT_FALSE(checks[0]["findings"].empty());
  EXPECT_NE(checks[0]["findings"][0].get<std::string>().find("起始考号"), std::string::npos);
  // Continued: the event went and the component's own error box followed.
  EXPECT_EQ(OfKind(lines, "click").back()["event"], "CmdDoKaoHaoClick");

  lines = play(R"({"check": "cancel"},)");
  checks = OfKind(lines, "check");
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_EQ(checks[0]["answer"], "cancel");
  EXPECT_FALSE(checks[0].contains("defaulted"));
  EXPECT_NE(OfKind(lines, "click").back()["event"], "CmdDoKaoHaoClick");
  EXPECT_TRUE(OfKind(lines, "message").empty());
}

TEST(FindHostWorkbookTest, TakesTheUsualOrTheOnlyWorkbookOrTheNamedOne) {
  const test::TempFolder temp("find-host");
  const fs::path root = temp.path();
  const std::string at = host::path_text(root);
  auto host_of = [&](const std::optional<std::string>& named) {
    return WorkspaceFolder::locate(at, named).host_path();
  };
  fs::create_directories(root / host::file_path("数据"));
  std::ofstream(root / host::file_path("数据/初一.xlsx")) << "x";
  std::ofstream(root / host::file_path("~$考务.xlsx")) << "x";
  std::ofstream(root / host::file_path("说明.txt")) << "x";
  EXPECT_THROW(host_of(std::nullopt), WorkspaceError);
  std::ofstream(root / host::file_path("考务.XLSM")) << "x";
  EXPECT_EQ(host_of(std::nullopt), host::path_text(root / host::file_path("考务.XLSM")));
  std::ofstream(root / host::file_path("副本.xlsx")) << "x";
  EXPECT_THROW(host_of(std::nullopt), WorkspaceError);
  EXPECT_EQ(host_of("副本.xlsx"), host::path_text(root / host::file_path("副本.xlsx")));
  EXPECT_THROW(host_of("没有.xlsx"), WorkspaceError);
  // The usual name wins over the others.
  std::ofstream(root / host::file_path("考务.xlsx")) << "x";
  EXPECT_EQ(host_of(std::nullopt), host::path_text(root / host::file_path("考务.xlsx")));
  // A workbook names its own folder.
  EXPECT_EQ(WorkspaceFolder::locate(host::path_text(root / host::file_path("副本.xlsx"))).root(), at);
}

TEST(RunScenarioTest, MissingWorkspaceIsRefusedBeforeAnythingRuns) {
  try {
    run_scenario("/nonexistent/工作区", "/nonexistent/场景.json", "");
    FAIL();
  } catch (const WorkspaceError& e) {
    EXPECT_EQ(std::string(e.what()), "找不到工作区：/nonexistent/工作区");
  }
}

// A damaged data workbook the component opens is opened mended, and the
// transcript says what was repaired where it happened.
TEST(RunScenarioTest, ARepairedWorkbookIsRecordedWhenItOpens) {
  const test::TempFolder temp("runner");
  const fs::path ws = temp.path() / "ws";
  fs::copy(fs::path(KELV_TEST_DATA) / ".." / "scenarios" / "workspaces" / "basic", ws,
           fs::copy_options::recursive);
  fs::copy_file(fs::path(KELV_TEST_DATA) / "xlsx" / "corpus" / "damaged.xlsx",
                ws / host::file_path("数据/损坏.xlsx"));
  std::ofstream(temp.path() / "s.json")
      << R"({"steps": [{"select": {"LtbBiao": "损坏.xlsx"}}, {"click": "LtbBiaoClick"}]})";
  const std::string transcript = (temp.path() / "t.jsonl").string();
  run_scenario(host::path_text(ws), (temp.path() / "s.json").string(), transcript);
  std::ifstream in(transcript);
  std::vector<json> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
  size_t click = 0, repair = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i]["kind"] == "click" && lines[i]["event"] == "LtbBiaoClick") click = i;
    if (lines[i]["kind"] == "repair") repair = i;
  }
  ASSERT_GT(repair, click);
  EXPECT_EQ(lines[repair]["path"], "数据/损坏.xlsx");
  EXPECT_EQ(lines[repair]["repairs"].size(), 2u);
}

}  // namespace
}  // namespace kelv::app
