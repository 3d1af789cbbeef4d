// kelv check WORKSPACE [DATA] [--fix]: the check before the work, at the
// command line. Prints every finding and a summary; exit code 1 when any is
// an error. --fix applies the mends the check offers and saves the data
// workbook, after keeping a copy of the file as it was in 备份/.

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/core/repair_notice.h"
#include "app/core/scenario_runner.h"
#include "app/core/workbook_files.h"
#include "app/core/workspace_check.h"
#include "host/file_path.h"
#include "host/host_error.h"

namespace kelv::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDataFolder = "数据";

// The data workbooks to check: DATA as a path, or as a name in 数据/; or
// every workbook in 数据/.
std::vector<std::string> data_files(const std::string& root, const std::string& data) {
  std::error_code ec;
  const fs::path folder = host::file_path(root) / host::file_path(kDataFolder);
  if (!data.empty()) {
    if (fs::is_regular_file(host::file_path(data), ec)) return {host::absolute_path_text(data)};
    const fs::path in_folder = folder / host::file_path(data);
    if (fs::is_regular_file(in_folder, ec)) return {host::path_text(in_folder)};
    command_failed("找不到数据工作簿：" + data);
  }
  std::vector<std::string> files;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
    if (e.is_regular_file(ec) && app::is_workbook_file(e.path()))
      files.push_back(host::path_text(e.path()));
  std::sort(files.begin(), files.end());
  if (files.empty()) command_failed("“数据”文件夹里没有数据工作簿：" + host::path_text(folder));
  return files;
}

std::string finding_line(const app::Finding& f) {
  std::string line = std::string("[") + app::severity_text(f.severity) + "] " + f.book;
  if (!f.sheet.empty()) line += " › " + app::visible_text(f.sheet);
  if (f.row > 0) line += " 第 " + std::to_string(f.row) + " 行";
  if (!f.heading.empty()) line += " “" + f.heading + "”列";
  if (!f.value.empty()) line += " 值“" + f.value + "”";
  line += "：" + f.message;
  if (f.mend != app::Mend::None) line += "（可修正：" + app::mend_text(f) + "）";
  return line;
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
    std::unique_ptr<spreadsheet::Engine> engine;
    std::string root, host_book_path;
    try {
      const std::string host_path = app::host_workbook_at(options->workspace);
      root = host::path_text(host::file_path(host_path).parent_path());
      engine = app::open_host_workbook(host_path, [](const spreadsheet::RepairReport& r) {
        std::cout << app::repair_notice(r) << '\n';
      });
      host_book_path = host_path;
    } catch (const app::ScenarioError& e) {
      command_failed(e.what());
    }
    host::Workbook& host_book = engine->this_workbook();
    const app::CheckSettings settings = app::settings_from_host(host_book);
    int32_t errors = 0, notices = 0;
    for (const std::string& file : data_files(root, options->data)) {
      host::Workbook* data = nullptr;
      try {
        data = &engine->open_workbook(file);
      } catch (const host::HostError& e) {
        std::cout << "[错误] " << host::path_text(host::file_path(file).filename())
                  << "：打不开这个工作簿：" << e.what() << '\n';
        ++errors;
        continue;
      }
      std::vector<app::Finding> findings =
          app::check_workspace(host_book, *data, settings, app::CheckPurpose::Both);
      if (options->fix && std::any_of(findings.begin(), findings.end(), [](const app::Finding& f) {
            return f.mend != app::Mend::None;
          })) {
        std::string copy;
        try {
          copy = app::keep_backup(file, app::backup_folder_of(host_book_path));
        } catch (const std::exception& e) {
          command_failed("没有修正：无法备份 " + file + "：" + e.what());
        }
        int32_t n = 0;
        try {
          n = app::apply_mends(*data, findings);
          if (n > 0) data->save();
        } catch (const host::HostError& e) {
          std::string why = "修正 " + file;
          why += " 失败：";
          why += e.what();
          why += "（原文件的副本：" + copy + "）";
          command_failed(why);
        }
        std::cout << "已修正 " << data->name() << " 中的 " << n << " 处，原文件已备份为 " << copy
                  << '\n';
        findings = app::check_workspace(host_book, *data, settings, app::CheckPurpose::Both);
      }
      for (const app::Finding& f : findings) {
        std::cout << finding_line(f) << '\n';
        (f.severity == app::Severity::Error ? errors : notices) += 1;
      }
      engine->close_workbook(*data);
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
