// kelv invigilate WORKSPACE [DATA] [--seed N] [--fresh] [--own-subject yes|no]
// [--own-classes yes|no]: the invigilation rota at the command line. Opens
// the workspace, stores the rule switches given, arranges the data
// workbook's 监考表 over its rooms (or every 场次's rooms), prints what it
// did or why it could not, and saves like every other command: beside the
// files, backups kept, a file changed elsewhere asked about. Nothing is
// saved when the rota cannot be made, the switches included.

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/core/exam_work.h"
#include "app/core/platform.h"
#include "app/core/terminal_dialogs.h"
#include "app/core/terminal_progress.h"
#include "app/core/workspace.h"
#include "host/environment.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "invigilation/invigilate.h"

namespace kelv::cli {
namespace {

namespace fs = std::filesystem;

// The data workbook: DATA as a path or a name in 数据/; without it the one
// workbook of 数据/ that is not a per-session or duty-slip workbook of
// another ("初一（第1场）.xlsx" beside 初一.xlsx).
std::string data_file(const app::WorkspaceFolder& folder, const std::string& data) {
  std::error_code ec;
  if (!data.empty()) {
    if (fs::is_regular_file(host::file_path(data), ec)) return host::absolute_path_text(data);
    if (fs::is_regular_file(host::file_path(folder.data_file(data)), ec)) return data;
    command_failed("找不到数据工作簿：" + data);
  }
  const std::vector<std::string> files = folder.data_workbook_files();
  auto stem = [](const std::string& name) { return host::path_text(host::file_path(name).stem()); };
  std::vector<std::string> main;
  for (const std::string& f : files) {
    bool derived = false;
    for (const std::string& other : files) {
      const std::string prefix = stem(other) + "（";
      const std::string mine = stem(f);
      derived = derived ||
                (mine.size() > prefix.size() && mine.starts_with(prefix) && mine.ends_with("）"));
    }
    if (!derived) main.push_back(f);
  }
  if (main.size() == 1) return main.front();
  command_failed(main.empty()
                     ? "“数据”文件夹里没有数据工作簿：" + folder.data_folder()
                     : std::string("“数据”文件夹里有几个数据工作簿：请写出要安排监考的那个，"
                                   "如 kelv invigilate 工作区 期末考试.xlsx"));
}

}  // namespace

void add_invigilate_command(CLI::App& app) {
  struct Options {
    std::string workspace, data, seed, own_subject, own_classes;
    bool fresh = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* cmd =
      app.add_subcommand("invigilate",
                         "安排监考：按监考表给每场每个考场排好监考，写入考场表（或场次考场）、"
                         "监考安排和监考统计，并保存");
  cmd->add_option("WORKSPACE", options->workspace, "工作区文件夹（或宿主工作簿）")->required();
  cmd->add_option("DATA", options->data,
                  "数据工作簿：“数据”文件夹里的文件名或路径（只有一个数据工作簿时可以不写）");
  cmd->add_option("--seed", options->seed,
                  "随机种子（1 到 15 位数字）：同样的数据和种子排出同样的安排；不写时随机抽取");
  cmd->add_flag("--fresh", options->fresh, "重新安排全部监考：不保留考场里已经填好的监考");
  cmd->add_option("--own-subject", options->own_subject,
                  "“不监考本学科”这条规则：yes 遵守，no 关掉；记在设置里，以后安排和检查都照此")
      ->check(CLI::IsMember({"yes", "no"}));
  cmd->add_option("--own-classes", options->own_classes,
                  "“不监考任教班级”这条规则：yes 遵守，no 关掉；记在设置里，以后安排和检查都照此")
      ->check(CLI::IsMember({"yes", "no"}));
  cmd->callback([options] {
    invigilation::InvigilationSettings settings;
    settings.fresh = options->fresh;
    if (!options->seed.empty()) {
      const std::string& s = options->seed;
      if (s.size() > 15 || s.find_first_not_of("0123456789") != std::string::npos)
        command_failed("随机种子须是 1 到 15 位数字，现在是“" + s + "”");
      settings.seed = std::stoull(s);
    }
    app::TerminalDialogs dialogs(std::cin, std::cout, app::is_terminal(true));
    std::unique_ptr<app::Workspace> workspace = open_workspace(options->workspace, dialogs);
    for (const std::string& w : workspace->take_warnings()) std::cout << "[提醒] " << w << '\n';
    app::TerminalProgress progress(std::cerr, app::standard_error_is_terminal());
    workspace->engine().set_progress(&progress);
    const std::string file = data_file(workspace->folder(), options->data);
    host::Workbook* book = nullptr;
    try {
      book = &workspace->open_data_file(file);
    } catch (const app::WorkspaceError& e) {
      command_failed(e.what());
    }
    if (!options->own_subject.empty() || !options->own_classes.empty()) {
      invigilation::Rules rules = app::rota_rules(*workspace);
      if (!options->own_subject.empty()) rules.own_subject = options->own_subject == "yes";
      if (!options->own_classes.empty()) rules.own_class = options->own_classes == "yes";
      try {
        app::set_rota_rules(*workspace, rules);
      } catch (const host::HostError&) {
        command_failed("宿主工作簿没有设置表 DTB");
      }
    }
    const app::WorkReport report =
        app::invigilate(*workspace, *book, settings.seed, settings.fresh);
    for (const std::string& line : report.notes) std::cout << line << '\n';
    if (report.stopped) {
      command_failed("安排监考时出错，什么都没有保存：" + report.failure_text());
    }
    if (report.made_nothing) throw CLI::RuntimeError(1);
    app::SaveReport saved;
    try {
      workspace->save_all(
          app::message_box_questions(dialogs, [](const std::string& p) { return p; }), saved);
    } catch (const host::HostError& e) {
      command_failed(std::string("保存失败：") + e.what());
    }
    for (const std::string& path : saved.saved)
      std::cout << "已保存 " << host::native_path(path) << '\n';
    for (const std::string& path : saved.cancelled)
      std::cout << "没有保存 " << host::native_path(path) << '\n';
  });
}

}  // namespace kelv::cli
