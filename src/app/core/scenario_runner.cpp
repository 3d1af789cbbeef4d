#include "app/core/scenario_runner.h"

#include <string_view>
#include <type_traits>

#include "host/host_error.h"

namespace kelv::app {
namespace {

[[noreturn]] void StepFails(size_t step, const std::string& what) {
  throw ScenarioError("场景第 " + std::to_string(step) + " 步：" + what);
}

host::Control& ControlOf(Stage& stage, size_t step, const std::string& name) {
  if (!stage.UF.has_control(name)) StepFails(step, "窗体上没有控件 " + name);
  return stage.UF.control(name);
}

// A "XxxClick" event of a command button fires only while the button is
// enabled, as on a real form.
bool FromDisabledButton(const host::FormModel& form, std::string_view event) {
  constexpr std::string_view kSuffix = "Click";
  if (event.size() <= kSuffix.size() || !event.ends_with(kSuffix)) return false;
  const std::string_view name = event.substr(0, event.size() - kSuffix.size());
  if (!form.has_control(name)) return false;
  for (const host::Control* c : form.controls())
    if (c->name() == name) return c->kind() == host::ControlKind::CommandButton && !c->enabled();
  return false;
}

void Click(Stage& stage, std::string_view event) {
  if (FromDisabledButton(stage.UF, event)) {
    stage.transcript.click(event, true);
    return;
  }
  stage.transcript.click(event, false);
  stage.component.MyFunClick(stage.EA, stage.UF, event);
  stage.transcript.dialogs(stage.dialogs);
}

void Change(Stage& stage, const std::string& control) {
  stage.transcript.change(control);
  try {
    stage.component.MyFunSet(stage.EA, stage.UF, control);
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

void Save(Stage& stage, size_t step, host::Workbook& book) {
  const std::string path = book.path() + "/" + book.name();
  try {
    book.save();
  } catch (const host::HostError& e) {
    StepFails(step, "保存 " + stage.transcript.relative(path) + " 失败：" +
                        stage.transcript.relative(e.what()));
  }
  stage.transcript.saved(path);
}

}  // namespace

void PlayScenario(const Scenario& scenario, Stage& stage) {
  size_t queued = 0;
  if (scenario.initialize) Click(stage, "UserFormInitialize");

  for (size_t i = 0; i < scenario.steps.size(); ++i) {
    const size_t n = i + 1;
    std::visit(
        [&](const auto& step) {
          using T = std::decay_t<decltype(step)>;
          if constexpr (std::is_same_v<T, SetStep>) {
            for (const auto& [name, value] : step.values) {
              host::Control& c = ControlOf(stage, n, name);
              if (c.kind() == host::ControlKind::CommandButton)
                StepFails(n, "按钮 " + name + " 没有值可设");
              try {
                c.set_value(value);
              } catch (const host::HostError& e) {
                StepFails(n, "控件 " + name + " 不接受这个值：" + e.description());
              }
            }
          } else if constexpr (std::is_same_v<T, SelectStep>) {
            host::Control& c = ControlOf(stage, n, step.list);
            if (c.kind() != host::ControlKind::ListBox && c.kind() != host::ControlKind::ComboBox)
              StepFails(n, step.list + " 不是列表");
            int32_t index = -1;
            if (const auto* text = std::get_if<std::string>(&step.item)) {
              const auto& items = c.items();
              for (size_t k = 0; k < items.size(); ++k)
                if (items[k] == *text) {
                  index = static_cast<int32_t>(k);
                  break;
                }
              if (index < 0) StepFails(n, "列表 " + step.list + " 中没有“" + *text + "”");
            } else {
              index = std::get<int32_t>(step.item);
              if (index >= c.list_count())
                StepFails(n, "列表 " + step.list + " 只有 " + std::to_string(c.list_count()) +
                                 " 项，没有第 " + std::to_string(index) + " 项");
            }
            c.set_list_index(index);
          } else if constexpr (std::is_same_v<T, PageStep>) {
            if (step.page != "Page0" && step.page != "Page1")
              StepFails(n, "MultiPage1 只有 Page0 和 Page1");
            ControlOf(stage, n, "MultiPage1").set_selected_page(step.page);
          } else if constexpr (std::is_same_v<T, AnswerStep>) {
            for (const auto& a : step.answers) stage.dialogs.queue_answer(a);
            queued += step.answers.size();
          } else if constexpr (std::is_same_v<T, ClickStep>) {
            Click(stage, step.event);
          } else if constexpr (std::is_same_v<T, ChangeStep>) {
            Change(stage, step.control);
          } else if constexpr (std::is_same_v<T, SaveStep>) {
            host::Workbook& host_book = stage.EA.this_workbook();
            if (step.host) Save(stage, n, host_book);
            if (step.data) {
              for (int32_t k = 0; k < stage.EA.workbook_count(); ++k) {
                host::Workbook& book = stage.EA.workbook_at(k);
                if (&book != &host_book) Save(stage, n, book);
              }
            }
          }
        },
        scenario.steps[i]);
  }

  stage.transcript.dialogs(stage.dialogs);
  size_t answered = 0;
  for (const host::DialogRecord& r : stage.dialogs.records())
    if ((r.kind == "message" || r.kind == "input") && !r.defaulted) ++answered;
  if (queued > answered) stage.transcript.unused_answers(queued - answered);
  stage.transcript.form(stage.UF);
}

}  // namespace kelv::app
