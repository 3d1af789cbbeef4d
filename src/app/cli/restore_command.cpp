// kelv restore WORKSPACE [N]: lists the copies a save kept in the
// workspace's backup folder, or puts copy N back over its workbook.
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/cli/commands.h"
#include "app/core/workspace_folder.h"
#include "host/file_path.h"
#include "host/environment.h"
#include "host/host_error.h"

namespace kelv::cli {

void add_restore_command(CLI::App& app) {
  struct Options {
    std::string workspace;
    int number = 0;
  };
  auto options = std::make_shared<Options>();
  CLI::App* restore = app.add_subcommand(
      "restore", "列出保存前自动备份的旧版本，或把第 N 个版本恢复到原来的工作簿");
  restore->add_option("WORKSPACE", options->workspace, "工作区文件夹")->required();
  restore->add_option("N", options->number, "要恢复的版本的序号（见不带 N 时的列表）")
      ->check(CLI::PositiveNumber);
  restore->callback([options] {
    std::optional<app::WorkspaceFolder> found;
    try {
      found = app::WorkspaceFolder::locate(options->workspace);
    } catch (const app::WorkspaceError& e) {
      command_failed(e.what());
    }
    const app::WorkspaceFolder& folder = *found;
    const std::vector<app::Backup> backups = folder.backups();
    if (options->number == 0) {
      if (backups.empty()) {
        std::cout << "没有备份：" << host::native_path(folder.backup_folder())
                  << " 中还没有保存前留下的旧版本。\n";
        return;
      }
      std::cout << "备份（" << host::native_path(folder.backup_folder()) << "），最新的在前：\n";
      for (size_t i = 0; i < backups.size(); ++i)
        std::cout << "  " << i + 1 << "  " << backups[i].when() << "  " << backups[i].workbook
                  << '\n';
      std::cout << "恢复某个版本：kelv restore " << options->workspace << " 序号\n";
      return;
    }
    if (static_cast<size_t>(options->number) > backups.size())
      command_failed("没有第 " + std::to_string(options->number) + " 个备份（共 " +
                     std::to_string(backups.size()) + " 个）");
    const app::Backup& b = backups[static_cast<size_t>(options->number - 1)];
    for (const std::string& w : app::WorkspaceFolder::lock_warnings(folder.restore_target(b)))
      std::cout << "提醒：" << w << '\n';
    try {
      folder.restore(b);
    } catch (const app::WorkspaceError& e) {
      command_failed(e.what());
    }
    std::cout << "已把 " << host::native_path(folder.restore_target(b)) << " 恢复为 " << b.when()
              << " 的版本；恢复前的文件也已备份。\n";
  });
}

}  // namespace kelv::cli
