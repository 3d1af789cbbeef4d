#include "app/core/scenario_runner.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <string_view>
#include <type_traits>

#include "app/core/workbook_files.h"
#include "host/file_path.h"
#include "host/host_error.h"

namespace kelv::app {
namespace {

[[noreturn]] void step_fails(size_t step, const std::string& what) {
  throw ScenarioError("场景第 " + std::to_string(step) + " 步：" + what);
}

host::Control& control_of(host::FormModel& form, const std::string& name) {
  if (!form.has_control(name)) throw ScenarioError("窗体上没有控件 " + name);
  return form.control(name);
}

// One run's play: the workspace's questions as message boxes (files named
// relative to the workspace), the check answered from the scenario.
class Player {
 public:
  explicit Player(Stage& stage) : stage_(stage) {}

  void check_answer(const std::string& answer) { check_answers_.push_back(answer); }

  void click(std::string_view event) {
    const WorkReport report = stage_.workspace.click(event, questions(), sending(event));
    if (report.gate == WorkReport::Gate::Disabled) {
      stage_.transcript.click(event, true);
      return;
    }
    stage_.transcript.dialogs(stage_.dialogs);
    for (const std::string& w : report.warnings) stage_.transcript.warning(w);
    if (report.failure) std::rethrow_exception(report.failure);
    if (report.long_work && report.sent())
      stage_.transcript.work(event,
                             report.stopped        ? "stopped"
                             : report.made_nothing ? "nothing"
                                                   : "done",
                             report.summary, report.notes);
    if (event == "LtbBiaoClick" && report.sent()) offer_list();
  }

  void change(const std::string& control) {
    stage_.transcript.change(control);
    try {
      stage_.workspace.set(control);
    } catch (const host::HostError& e) {
      stage_.transcript.dialogs(stage_.dialogs);
      stage_.transcript.failure(control, e);
      return;
    } catch (const std::exception& e) {
      stage_.transcript.dialogs(stage_.dialogs);
      stage_.transcript.failure(
          control, host::HostError(host::kComponentSource, host::kInvalidArgument, e.what()));
      return;
    }
    stage_.transcript.dialogs(stage_.dialogs);
  }

  void save(host::Workbook& book) {
    const std::string path = file_of(book);
    SaveReport report;
    try {
      stage_.workspace.save({&book}, questions(), report);
    } catch (const host::HostError& e) {
      stage_.transcript.dialogs(stage_.dialogs);
      throw ScenarioError("保存 " + stage_.transcript.relative(path) + " 失败：" +
                          stage_.transcript.relative(e.what()));
    }
    stage_.transcript.dialogs(stage_.dialogs);
    for (const std::string& p : report.saved) stage_.transcript.saved(p);
    for (const std::string& p : report.reload) stage_.transcript.reloaded(p);
    for (const std::string& p : report.cancelled) stage_.transcript.not_saved(p);
  }

 private:
  // Writes the click when the event goes, after what was asked before it.
  std::function<void()> sending(std::string_view event) {
    return [this, name = std::string(event)] {
      stage_.transcript.dialogs(stage_.dialogs);
      stage_.transcript.click(name, false);
    };
  }

  Questions questions() {
    return message_box_questions(
        stage_.dialogs, [this](const std::string& p) { return stage_.transcript.relative(p); },
        [this](const std::vector<Finding>& findings, const std::string& action) {
          return decide(findings, action);
        });
  }

  CheckChoice decide(const std::vector<Finding>& findings, const std::string& action) {
    stage_.transcript.dialogs(stage_.dialogs);
    std::vector<std::string> lines;
    lines.reserve(findings.size());
    for (const Finding& f : findings) lines.push_back(finding_line(f));
    const bool defaulted = check_answers_.empty();
    const std::string answer = defaulted ? "continue" : check_answers_.front();
    if (!defaulted) check_answers_.pop_front();
    stage_.transcript.check(action, lines, answer, defaulted);
    if (answer == "cancel") return CheckChoice::Cancel;
    if (answer == "mend") return CheckChoice::Mend;
    return CheckChoice::Continue;
  }

  // After a click on a list that is no data workbook: the offer to make
  // one, in a message box the scenario answers (unanswered: No).
  void offer_list() {
    const std::optional<ListOffer> offer = stage_.workspace.list_offer();
    if (!offer) return;
    const host::MessageResult answer = stage_.dialogs.message_box(
        offer->question(), host::MessageButtons::YesNo, host::MessageIcon::None, "做成数据工作簿");
    stage_.transcript.dialogs(stage_.dialogs);
    if (answer != host::MessageResult::Yes) return;
    try {
      stage_.workspace.take_offer(*offer, questions(), sending("LtbBiaoClick"));
    } catch (const WorkspaceError& e) {
      throw ScenarioError(stage_.transcript.relative(e.what()));
    }
    stage_.transcript.dialogs(stage_.dialogs);
  }

  Stage& stage_;
  std::deque<std::string> check_answers_;
};

// Another program replaces a file of the workspace.
void external(Stage& stage, const ExternalStep& step) {
  namespace fs = std::filesystem;
  const fs::path root = host::file_path(stage.workspace.root());
  std::error_code ec;
  const fs::path from = root / host::file_path(step.from), to = root / host::file_path(step.to);
  if (!fs::is_regular_file(from, ec)) throw ScenarioError("工作区中没有文件 " + step.from);
  try {
    copy_file_over(host::path_text(from), host::path_text(to));
  } catch (const host::HostError& e) {
    throw ScenarioError("无法写入 " + step.to + "：" + e.description());
  }
}

}  // namespace

void set_control(host::FormModel& form, const std::string& name, const host::Variant& value) {
  host::Control& c = control_of(form, name);
  if (c.kind() == host::ControlKind::CommandButton)
    throw ScenarioError("按钮 " + name + " 没有值可设");
  try {
    c.set_value(value);
  } catch (const host::HostError& e) {
    throw ScenarioError("控件 " + name + " 不接受这个值：" + e.description());
  }
}

void select_item(host::FormModel& form, const SelectStep& step) {
  host::Control& c = control_of(form, step.list);
  if (c.kind() != host::ControlKind::ListBox && c.kind() != host::ControlKind::ComboBox)
    throw ScenarioError(step.list + " 不是列表");
  int32_t index = -1;
  if (const auto* text = std::get_if<std::string>(&step.item)) {
    const auto& items = c.items();
    for (size_t k = 0; k < items.size(); ++k)
      if (items[k] == *text) {
        index = static_cast<int32_t>(k);
        break;
      }
    if (index < 0) throw ScenarioError("列表 " + step.list + " 中没有“" + *text + "”");
  } else {
    index = std::get<int32_t>(step.item);
    if (index >= c.list_count())
      throw ScenarioError("列表 " + step.list + " 只有 " + std::to_string(c.list_count()) +
                          " 项，没有第 " + std::to_string(index) + " 项");
  }
  c.set_list_index(index);
}

void select_page(host::FormModel& form, const std::string& page) {
  if (page != "Page0" && page != "Page1") throw ScenarioError("MultiPage1 只有 Page0 和 Page1");
  control_of(form, "MultiPage1").set_selected_page(page);
}

std::vector<host::Workbook*> workbooks_to_save(host::Application& EA, const SaveStep& step) {
  std::vector<host::Workbook*> books = open_workbooks(EA);
  if (!step.data) books.resize(1);
  if (!step.host) books.erase(books.begin());
  return books;
}

void play_scenario(const Scenario& scenario, Stage& stage) {
  Player player(stage);
  host::FormModel& UF = stage.workspace.form();
  size_t queued = 0;
  for (const std::string& w : stage.workspace.take_warnings()) stage.transcript.warning(w);
  if (scenario.initialize) player.click("UserFormInitialize");

  for (size_t i = 0; i < scenario.steps.size(); ++i) {
    try {
      std::visit(
          [&](const auto& step) {
            using T = std::decay_t<decltype(step)>;
            if constexpr (std::is_same_v<T, SetStep>) {
              for (const auto& [name, value] : step.values) set_control(UF, name, value);
            } else if constexpr (std::is_same_v<T, SelectStep>) {
              select_item(UF, step);
            } else if constexpr (std::is_same_v<T, PageStep>) {
              select_page(UF, step.page);
            } else if constexpr (std::is_same_v<T, AnswerStep>) {
              for (const auto& a : step.answers) stage.dialogs.queue_answer(a);
              queued += step.answers.size();
            } else if constexpr (std::is_same_v<T, CheckStep>) {
              player.check_answer(step.answer);
            } else if constexpr (std::is_same_v<T, ClickStep>) {
              player.click(step.event);
            } else if constexpr (std::is_same_v<T, ChangeStep>) {
              player.change(step.control);
            } else if constexpr (std::is_same_v<T, SaveStep>) {
              for (host::Workbook* book : workbooks_to_save(stage.workspace.engine(), step))
                player.save(*book);
            } else if constexpr (std::is_same_v<T, ExternalStep>) {
              external(stage, step);
            }
          },
          scenario.steps[i]);
    } catch (const ScenarioError& e) {
      step_fails(i + 1, e.what());
    }
  }

  stage.transcript.dialogs(stage.dialogs);
  size_t answered = 0;
  for (const host::DialogRecord& r : stage.dialogs.records())
    if ((r.kind == "message" || r.kind == "input") && !r.defaulted) ++answered;
  if (queued > answered) stage.transcript.unused_answers(queued - answered);
  stage.transcript.form(UF);
}

}  // namespace kelv::app
