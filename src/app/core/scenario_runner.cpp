#include "app/core/scenario_runner.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string_view>
#include <type_traits>

#include "app/core/cut_text_notes.h"
#include "app/core/workbook_files.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "spreadsheet/engine.h"

namespace kelv::app {
namespace {

[[noreturn]] void step_fails(size_t step, const std::string& what) {
  throw ScenarioError("场景第 " + std::to_string(step) + " 步：" + what);
}

host::Control& control_of(host::FormModel& form, const std::string& name) {
  if (!form.has_control(name)) throw ScenarioError("窗体上没有控件 " + name);
  return form.control(name);
}

// The session's questions as message boxes, files named relative to the
// workspace.
Questions questions(Stage& stage) {
  return message_box_questions(stage.dialogs,
                               [&](const std::string& p) { return stage.transcript.relative(p); });
}

void click(Stage& stage, std::string_view event) {
  if (from_disabled_button(stage.UF, event)) {
    stage.transcript.click(event, true);
    return;
  }
  if (event == "LtbBiaoClick" && stage.session != nullptr) {
    const bool send = stage.session->settle_data_click(questions(stage));
    stage.transcript.dialogs(stage.dialogs);
    if (!send) return;
  }
  stage.transcript.click(event, false);
  stage.component.MyFunClick(stage.EA, stage.form_for_component(), event);
  stage.transcript.dialogs(stage.dialogs);
  if (event == "CmdDoYongBiaoClick")
    for (const std::string& line : cut_text_notes(stage.EA)) std::cerr << line << "\n";
}

void change(Stage& stage, const std::string& control) {
  stage.transcript.change(control);
  try {
    stage.component.MyFunSet(stage.EA, stage.form_for_component(), control);
  } catch (const host::HostError& e) {
    stage.transcript.dialogs(stage.dialogs);
    stage.transcript.failure(control, e);
    return;
  } catch (const std::exception& e) {
    stage.transcript.dialogs(stage.dialogs);
    stage.transcript.failure(
        control, host::HostError(host::kComponentSource, host::kInvalidArgument, e.what()));
    return;
  }
  stage.transcript.dialogs(stage.dialogs);
}

void save(Stage& stage, host::Workbook& book) {
  const std::string path = book.path() + "/" + book.name();
  if (stage.session == nullptr) {
    try {
      book.save();
    } catch (const host::HostError& e) {
      throw ScenarioError("保存 " + stage.transcript.relative(path) + " 失败：" +
                          stage.transcript.relative(e.what()));
    }
    stage.transcript.saved(path);
    return;
  }
  SaveReport report;
  try {
    stage.session->save({&book}, questions(stage), report);
  } catch (const host::HostError& e) {
    stage.transcript.dialogs(stage.dialogs);
    throw ScenarioError("保存 " + stage.transcript.relative(path) + " 失败：" +
                        stage.transcript.relative(e.what()));
  }
  stage.transcript.dialogs(stage.dialogs);
  for (const std::string& p : report.saved) stage.transcript.saved(p);
  for (const std::string& p : report.reload) stage.transcript.reloaded(p);
  for (const std::string& p : report.cancelled) stage.transcript.not_saved(p);
}

// Another program replaces a file of the workspace.
void external(Stage& stage, const ExternalStep& step) {
  namespace fs = std::filesystem;
  const fs::path root = host::file_path(stage.workspace);
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

bool from_disabled_button(const host::FormModel& form, std::string_view event) {
  constexpr std::string_view kSuffix = "Click";
  if (event.size() <= kSuffix.size() || !event.ends_with(kSuffix)) return false;
  const std::string_view name = event.substr(0, event.size() - kSuffix.size());
  if (!form.has_control(name)) return false;
  for (const host::Control* c : form.controls())
    if (c->name() == name) return c->kind() == host::ControlKind::CommandButton && !c->enabled();
  return false;
}

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
  size_t queued = 0;
  if (scenario.initialize) click(stage, "UserFormInitialize");

  for (size_t i = 0; i < scenario.steps.size(); ++i) {
    try {
      std::visit(
          [&](const auto& step) {
            using T = std::decay_t<decltype(step)>;
            if constexpr (std::is_same_v<T, SetStep>) {
              for (const auto& [name, value] : step.values) set_control(stage.UF, name, value);
            } else if constexpr (std::is_same_v<T, SelectStep>) {
              select_item(stage.UF, step);
            } else if constexpr (std::is_same_v<T, PageStep>) {
              select_page(stage.UF, step.page);
            } else if constexpr (std::is_same_v<T, AnswerStep>) {
              for (const auto& a : step.answers) stage.dialogs.queue_answer(a);
              queued += step.answers.size();
            } else if constexpr (std::is_same_v<T, ClickStep>) {
              click(stage, step.event);
            } else if constexpr (std::is_same_v<T, ChangeStep>) {
              change(stage, step.control);
            } else if constexpr (std::is_same_v<T, SaveStep>) {
              for (host::Workbook* book : workbooks_to_save(stage.EA, step)) save(stage, *book);
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
  stage.transcript.form(stage.UF);
}

}  // namespace kelv::app
