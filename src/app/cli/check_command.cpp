// kelv check WORKSPACE [DATA] [--fix]: the check before the work, at the
// command line. Prints every finding and a summary; exit code 1 when any is
// an error. --fix applies the mends the check offers and saves the data
// workbook as every front end saves: a backup of the file in 备份/ first,
// and never over a file another program changed since kelv read it.

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/core/workspace.h"
#include "host/environment.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "host/recording_dialogs.h"

namespace kelv::cli {
namespace {

namespace fs = std::filesystem;

// The data workbooks to check, as names in 数据/ or paths: DATA, or every
// file the data list shows.
std::vector<std::string> data_files(const app::WorkspaceFolder& folder, const std::string& data) {
  std::error_code ec;
  if (!data.empty()) {
    if (fs::is_regular_file(host::file_path(data), ec)) return {host::absolute_path_text(data)};
    if (fs::is_regular_file(host::file_path(folder.data_file(data)), ec)) return {data};
    command_failed("找不到数据工作簿：" + data);
  }
  std::vector<std::string> files = folder.data_files();
  if (files.empty()) command_failed("“数据”文件夹里没有数据工作簿：" + folder.data_folder());
  return files;
}

}  // namespace

void add_check_command(CLI::App& app) {
  struct Options {
    std::string workspace, data;
    bool fix = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* check = app.add_subcommand(
      "check", "编排和制表之前检查数据：列出每个问题（错误或提醒），有错误时退出码为 1");
  check->add_option("WORKSPACE", options->workspace, "工作区文件夹（或宿主工作簿）")->required();
  check->add_option("DATA", options->data, "数据工作簿：“数据”文件夹里的文件名或路径（默认全部）");
  check->add_flag("--fix", options->fix,
                  "修正可以修正的问题（工作表名、列标题、隐藏的工作表、写成文字的场人）并保存；"
                  "原文件先复制到“备份”文件夹");
  check->callback([options] {
    // No question is asked at the terminal: a file changed elsewhere is
    // left alone, and nothing is written over it.
    host::RecordingDialogs dialogs;
    std::unique_ptr<app::Workspace> workspace = open_workspace(options->workspace, dialogs);
    const app::Questions questions =
        app::message_box_questions(dialogs, [](const std::string& p) { return p; });
    for (const std::string& w : workspace->take_warnings()) std::cout << "[提醒] " << w << '\n';
    int32_t errors = 0, notices = 0;
    for (const std::string& file : data_files(workspace->folder(), options->data)) {
      host::Workbook* data = nullptr;
      try {
        data = &workspace->open_data_file(file);
      } catch (const app::WorkspaceError& e) {
        std::cout << "[错误] " << host::path_text(host::file_path(file).filename()) << "："
                  << e.what() << '\n';
        ++errors;
        continue;
      }
      for (const std::string& w : workspace->take_warnings()) {
        std::cout << "[提醒] " << w << '\n';
        ++notices;
      }
      // A list is no data workbook yet: it is made into one, not checked
      // as one.
      if (app::Workspace::is_list(*data)) {
        const std::string name = host::path_text(host::file_path(file).filename());
        std::cout << "[提醒] " << name
                  << "：是一份名单，不是数据工作簿（没有考生表和考场表）。在窗体的数据列表里点它，"
                     "kelv 会问是否把它做成数据工作簿；也可以运行 kelv import "
                  << host::native_path(workspace->folder().data_file(name)) << '\n';
        ++notices;
        workspace->engine().close_workbook(*data);
        continue;
      }
      std::vector<app::Finding> findings = workspace->check(*data);
      if (options->fix && std::any_of(findings.begin(), findings.end(), [](const app::Finding& f) {
            return f.mend != app::Mend::None;
          })) {
        int32_t n = 0;
        app::SaveReport report;
        try {
          n = app::apply_mends(*data, findings);
          if (n > 0) workspace->save({data}, questions, report);
        } catch (const host::HostError& e) {
          command_failed("修正 " + data->name() + " 失败：" + e.description());
        }
        if (!report.cancelled.empty())
          command_failed("没有修正：" + data->name() +
                         " 在 kelv 读取之后被别的程序改过，没有覆盖它。请重新运行 kelv check。");
        if (n > 0)
          std::cout << "已修正 " << data->name() << " 中的 " << n << " 处，原文件已备份到 "
                    << host::native_path(workspace->backup_folder()) << '\n';
        findings = workspace->check(*data);
      }
      for (const app::Finding& f : findings) {
        std::cout << app::finding_line(f) << '\n';
        (f.severity == app::Severity::Error ? errors : notices) += 1;
      }
      workspace->engine().close_workbook(*data);
    }
    if (errors == 0 && notices == 0)
      std::cout << "检查完毕：没有发现问题。\n";
    else
      std::cout << "检查完毕：" << errors << " 个错误，" << notices << " 个提醒。"
                << (errors > 0 ? "有错误时编排或制表会停下或得出错误的结果，请先改正。" : "")
                << '\n';
    if (errors > 0) throw CLI::RuntimeError(1);
  });
}

}  // namespace kelv::cli
