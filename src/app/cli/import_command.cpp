#include <iostream>
#include <memory>
#include <string>

#include "app/cli/commands.h"
#include "app/core/data_import.h"
#include "app/core/workspace_folder.h"
#include "host/host_error.h"

namespace kelv::cli {

void add_import_command(CLI::App& app) {
  struct Options {
    std::string input;
    std::string output;
    bool force = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* cmd = app.add_subcommand(
      "import", "由考生名单（.xls、.csv、网页或 XML 表格）生成数据工作簿：考生表和空的考场表");
  cmd->add_option("FILE", options->input, "考生名单文件")->required();
  cmd->add_option("--output,-o", options->output, "输出的 .xlsx（默认：与输入同名、同文件夹）");
  cmd->add_flag("--force", options->force, "替换已有的输出文件");
  cmd->callback([options] {
    try {
      // Inside a workspace's data folder, a file the import replaces is kept
      // in the workspace's backups first, as a save keeps it.
      const std::string target = app::import_target(options->input, options->output);
      for (const std::string& w : app::WorkspaceFolder::lock_warnings(options->input))
        std::cout << "提醒：" << w << '\n';
      for (const std::string& w : app::WorkspaceFolder::lock_warnings(target))
        std::cout << "提醒：" << w << '\n';
      if (options->force)
        if (const auto ws = app::WorkspaceFolder::of_data_file(target))
          app::keep_backup(target, ws->backup_folder());
      const app::ImportResult r =
          app::import_data_file(options->input, options->output, options->force);
      for (const std::string& line : r.repairs) std::cout << "已修复：" << line << "\n";
      for (const std::string& line : r.warnings) std::cout << "提醒：" << line << "\n";
      std::cout << "已写入“" << r.output << "”：考生表 " << r.rows
                << " 行（含标题行），考场表只有标题行，请填写考场。\n";
    } catch (const host::HostError& e) {
      command_failed(e.description());
    }
  });
}

}  // namespace kelv::cli
