// kelv play: the form at a text terminal. The person types the same steps a
// scenario holds (click, set, select, page, change, save) and answers the
// component's dialogs as they come.

#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/core/platform.h"
#include "app/core/scenario_runner.h"
#include "app/core/terminal_dialogs.h"
#include "app/core/terminal_progress.h"
#include "app/core/work_report.h"
#include "app/core/workspace.h"
#include "bridge/torb.h"
#include "host/environment.h"
#include "host/form_model.h"
#include "host/host_error.h"
#include "host/system_environment.h"

namespace kelv::cli {
namespace {

constexpr const char* kHelp =
    "命令：\n"
    "  click 事件        向组件发送事件，如 click LtbBiaoClick、click CmdDoKaoHaoClick、\n"
    "                    click MultiPage1Change、click MyHelp\n"
    "  set 控件 值       设置控件的值：文本原样；复选框 true/false/null；选项按钮 true/false\n"
    "  select 列表 项    选中列表中的项：项的文本，或从 0 起的序号\n"
    "  page Page0|Page1  切换 MultiPage1 的页（组件要知道时再 click MultiPage1Change）\n"
    "  change 控件       把设置控件的值交给组件保存（MyFunSet）\n"
    "  show              显示窗体：各控件的值、列表项（* 为选中项）、可用状态、当前页\n"
    "  save              保存宿主工作簿和组件打开的数据工作簿\n"
    "  help              显示本说明\n"
    "  quit              退出；发送过事件而未保存时先询问是否保存\n";

std::string trimmed(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return "";
  const size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

// Splits off the first word of `line`; `rest` is what follows, trimmed.
std::string first_word(const std::string& line, std::string* rest) {
  std::string t = trimmed(line);
  const size_t end = t.find_first_of(" \t");
  if (end == std::string::npos) {
    rest->clear();
    return t;
  }
  *rest = trimmed(std::string_view(t).substr(end));
  return t.substr(0, end);
}

std::string lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

const char* kind_text(host::ControlKind kind) {
  switch (kind) {
    case host::ControlKind::TextBox:
      return "文本框";
    case host::ControlKind::ComboBox:
      return "组合框";
    case host::ControlKind::ListBox:
      return "列表框";
    case host::ControlKind::CheckBox:
      return "复选框";
    case host::ControlKind::OptionButton:
      return "选项按钮";
    case host::ControlKind::CommandButton:
      return "按钮";
    case host::ControlKind::MultiPage:
      return "多页";
  }
  return "";
}

// A value as `set` takes it back: texts quoted, Booleans and Null as words.
std::string value_text(const host::Variant& v) {
  switch (v.kind()) {
    case host::Variant::Kind::Null:
      return "null";
    case host::Variant::Kind::Boolean:
      return v.as_bool() ? "true" : "false";
    case host::Variant::Kind::Error:
      return std::string(host::cell_error_text(v.as_error()));
    default:
      return "“" + v.to_text() + "”";
  }
}

class PlaySession {
 public:
  PlaySession(app::Workspace& workspace, app::TerminalDialogs& dialogs, std::ostream& out)
      : workspace_(workspace),
        UF_(workspace.form()),
        dialogs_(dialogs),
        questions_(app::message_box_questions(
            dialogs, [](const std::string& p) { return host::native_path(p); },
            app::check_by_message_box(dialogs))),
        out_(out) {}

  void run() {
    out_ << "kelv play：输入 help 查看命令。\n";
    // Start-up leaves nothing unsaved: what it writes is rebuilt at every start.
    send("UserFormInitialize");
    for (;;) {
      out_ << "\nkelv> " << std::flush;
      const std::optional<std::string> line = dialogs_.read_line();
      if (!line) {
        out_ << "（输入已结束）\n";
        if (quit()) return;
        continue;
      }
      if (!command(*line)) return;
    }
  }

 private:
  // Runs one command line; false when the session ends.
  bool command(const std::string& line) {
    std::string rest;
    const std::string word = first_word(line, &rest);
    if (word.empty() || word.starts_with("#")) return true;
    try {
      if (word == "click" && !rest.empty()) {
        click(rest);
      } else if (word == "set" && !rest.empty()) {
        std::string value;
        const std::string name = first_word(rest, &value);
        set(name, value);
      } else if (word == "select" && !rest.empty()) {
        std::string item;
        const std::string list = first_word(rest, &item);
        select(list, item);
      } else if (word == "page" && !rest.empty()) {
        app::select_page(UF_, rest);
        out_ << "当前页：" << rest << '\n';
      } else if (word == "change" && !rest.empty()) {
        change(rest);
      } else if (word == "show") {
        show();
      } else if (word == "save") {
        save();
      } else if (word == "help") {
        out_ << kHelp;
      } else if (word == "quit" || word == "exit") {
        return !quit();
      } else {
        out_ << "不认识的命令或缺少参数：" << trimmed(line) << "（输入 help 查看命令）\n";
      }
    } catch (const app::WorkspaceError& e) {
      out_ << e.what() << '\n';
    }
    return true;
  }

  // The workspace's click: a disabled button, a data workbook changed
  // elsewhere and the check before the work can keep the event from going;
  // the component shows its own failures, and anything else that escapes is
  // reported here so the session goes on. Long work says whether it is done.
  void send(const std::string& event) {
    const app::WorkReport report = workspace_.click(event, questions_);
    show(report);
    if (event == "LtbBiaoClick" && report.sent()) offer_list();
  }

  void show(const app::WorkReport& report) {
    for (const std::string& warning : report.warnings) out_ << "提醒：" << warning << '\n';
    if (report.gate == app::WorkReport::Gate::Disabled) {
      out_ << report.gate_text() << '\n';
      return;
    }
    if (!report.sent()) {
      out_ << "事件 " << report.event << " 未发送：" << report.gate_text() << '\n';
      return;
    }
    if (report.failure)
      out_ << "事件 " << report.event << " 中断：" << report.failure_text() << '\n';
    if (const std::string text = report.text(); !text.empty()) out_ << text << '\n';
    for (const std::string& note : report.notes) out_ << note << '\n';
  }

  // A list that is no data workbook can become one.
  void offer_list() {
    const std::optional<app::ListOffer> offer = workspace_.list_offer();
    if (!offer) return;
    if (dialogs_.message_box(offer->question(), host::MessageButtons::YesNo,
                             host::MessageIcon::None, "做成数据工作簿") != host::MessageResult::Yes)
      return;
    unsaved_ = true;
    const app::WorkReport report = workspace_.take_offer(*offer, questions_);
    out_ << "已做成数据工作簿：" << host::native_path(offer->target) << '\n';
    show(report);
  }

  void click(const std::string& event) {
    unsaved_ = true;
    if (!app::from_disabled_button(UF_, event)) out_ << "发送 " << event << '\n';
    send(event);
  }

  void change(const std::string& control) {
    unsaved_ = true;
    try {
      workspace_.set(control);
      out_ << "已写入设置 " << control << '\n';
    } catch (const host::HostError& e) {
      out_ << "设置 " << control << " 未保存：" << bridge::ErrorBoxText(e) << '\n';
    } catch (const std::exception& e) {
      out_ << "设置 " << control << " 未保存：" << e.what() << '\n';
    }
  }

  void set(const std::string& name, const std::string& typed) {
    host::Variant value = typed;
    if (UF_.has_control(name)) {
      const host::ControlKind kind = UF_.control(name).kind();
      if (kind == host::ControlKind::CheckBox || kind == host::ControlKind::OptionButton) {
        const std::string word = lower(typed);
        if (word == "true") {
          value = true;
        } else if (word == "false") {
          value = false;
        } else if (word == "null" && kind == host::ControlKind::CheckBox) {
          value = host::Variant::null();
        } else {
          throw app::ScenarioError(
              std::string(kind_text(kind)) + " " + name + " 的值须是 " +
              (kind == host::ControlKind::CheckBox ? "true、false 或 null" : "true 或 false"));
        }
      }
    }
    app::set_control(UF_, name, value);
    out_ << name << " = " << value_text(UF_.control(name).value()) << '\n';
  }

  // An item is found by its text first; a number that is no item's text is
  // its index.
  void select(const std::string& list, const std::string& item) {
    app::SelectStep step{list, item};
    if (UF_.has_control(list)) {
      const std::vector<std::string>& items = UF_.control(list).items();
      bool is_text = false;
      for (const std::string& it : items) is_text = is_text || it == item;
      if (!is_text && !item.empty() && item.find_first_not_of("0123456789") == std::string::npos &&
          item.size() < 10)
        step.item = static_cast<int32_t>(std::stoi(item));
    }
    app::select_item(UF_, step);
    const host::Control& c = UF_.control(list);
    out_ << list << " 选中第 " << c.list_index() << " 项：" << value_text(c.value()) << '\n';
  }

  void show() {
    out_ << "窗体：" << UF_.caption() << '\n';
    for (const host::Control* c : UF_.controls()) {
      out_ << "  " << c->name() << "（" << kind_text(c->kind()) << "）";
      switch (c->kind()) {
        case host::ControlKind::MultiPage:
          out_ << "当前页 " << c->selected_page();
          break;
        case host::ControlKind::CommandButton:
          out_ << (c->enabled() ? "可用" : "不可用");
          break;
        case host::ControlKind::ListBox:
          out_ << (c->list_index() < 0 ? "未选中" : value_text(c->value())) << "，"
               << c->list_count() << " 项";
          break;
        case host::ControlKind::ComboBox:
          out_ << value_text(c->value()) << "，" << c->list_count() << " 项";
          break;
        default:
          out_ << value_text(c->value());
          break;
      }
      if (c->kind() != host::ControlKind::CommandButton && !c->enabled()) out_ << "（不可用）";
      out_ << '\n';
      if (c->kind() == host::ControlKind::ListBox || c->kind() == host::ControlKind::ComboBox) {
        const std::vector<std::string>& items = c->items();
        for (size_t k = 0; k < items.size(); ++k)
          out_ << "    " << (static_cast<int32_t>(k) == c->list_index() ? "* " : "  ") << k << "  "
               << items[k] << '\n';
      }
    }
  }

  // Every workbook is written beside its file and renamed over it, so a
  // failure leaves the old file whole; the file it replaces is kept in the
  // backup folder, and a file another program changed is asked about, never
  // overwritten. False when any workbook was not saved.
  bool save() {
    bool all = true;
    for (host::Workbook* book : workspace_.open_workbooks()) {
      const std::string path = host::native_path(app::file_of(*book));
      try {
        app::SaveReport report;
        workspace_.save({book}, questions_, report);
        for (const std::string& p : report.saved)
          out_ << "已保存：" << host::native_path(p) << '\n';
        for (const std::string& p : report.reload)
          out_ << "已重新载入（kelv 的更改已放弃）：" << host::native_path(p) << '\n';
        for (const std::string& p : report.cancelled) {
          out_ << "未保存：" << host::native_path(p) << '\n';
          all = false;
        }
      } catch (const host::HostError& e) {
        out_ << "保存 " << path << " 失败：" << e.what() << '\n';
        all = false;
      }
    }
    if (all) {
      unsaved_ = false;
      out_ << "旧文件已备份到 " << host::native_path(workspace_.backup_folder())
           << "（kelv restore 可以恢复）\n";
    }
    return all;
  }

  // True when the session may end.
  bool quit() {
    if (!unsaved_) return true;
    const host::MessageResult answer =
        dialogs_.message_box("自上次保存以来向组件发送过事件，是否保存工作簿？",
                             host::MessageButtons::YesNo, host::MessageIcon::None, "kelv play");
    if (answer == host::MessageResult::Yes && !save()) {
      out_ << "未退出：有工作簿没有保存成功。\n";
      return false;
    }
    return true;
  }

  app::Workspace& workspace_;
  host::FormModel& UF_;
  app::TerminalDialogs& dialogs_;
  app::Questions questions_;
  std::ostream& out_;
  // Stricter than the session's own: any event sent since the last save,
  // the help included, asks before quitting.
  bool unsaved_ = false;
};

}  // namespace

void add_play_command(CLI::App& app) {
  struct Options {
    std::string workspace, host;
    std::optional<uint64_t> seed;
    bool no_viewer = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* play = app.add_subcommand("play", "在终端上操作窗体：逐条输入命令，回答对话框");
  play->add_option("WORKSPACE", options->workspace, "工作区文件夹（宿主工作簿所在）")->required();
  play->add_option("--host", options->host, "宿主工作簿的文件名（工作区顶层有多个工作簿时）");
  play->add_option("--seed", options->seed, "固定的随机数种子");
  play->add_flag("--no-viewer", options->no_viewer, "打开文档时只显示路径，不调用查看程序");
  play->callback([options] {
    app::TerminalDialogs dialogs(std::cin, std::cout, app::is_terminal(true));
    dialogs.set_echo(!app::is_terminal(false));
    if (options->no_viewer) dialogs.set_viewer("");
    app::WorkspaceOptions workspace_options;
    if (!options->host.empty()) workspace_options.host_name = options->host;
    workspace_options.seed = options->seed;
    std::unique_ptr<app::Workspace> workspace =
        open_workspace(options->workspace, dialogs, std::move(workspace_options));
    for (const std::string& warning : workspace->take_warnings())
      std::cout << "提醒：" << warning << '\n';
    app::TerminalProgress progress(std::cerr, app::standard_error_is_terminal());
    workspace->engine().set_progress(&progress);
    PlaySession play_session(*workspace, dialogs, std::cout);
    play_session.run();
  });
}

}  // namespace kelv::cli
