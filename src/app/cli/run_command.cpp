#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "app/cli/commands.h"
#include "app/core/repair_notice.h"
#include "app/core/scenario_runner.h"

namespace kelv::cli {

void command_failed(std::string_view message) {
  std::cerr << "kelv: " << message << std::endl;
  throw CLI::RuntimeError(1);
}

std::unique_ptr<app::Workspace> open_workspace(const std::string& location, host::Dialogs& dialogs,
                                               app::WorkspaceOptions options) {
  options.on_repair = [](const spreadsheet::RepairReport& r) {
    std::cout << app::repair_notice(r) << '\n';
  };
  try {
    return std::make_unique<app::Workspace>(location, dialogs, std::move(options));
  } catch (const app::WorkspaceError& e) {
    command_failed(e.what());
  }
}

void add_run_command(CLI::App& app) {
  struct Options {
    std::string workspace, scenario, transcript;
    bool through_automation = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* run = app.add_subcommand("run", "在工作区上演示一个场景，写出对话记录");
  run->add_option("WORKSPACE", options->workspace, "工作区文件夹（宿主工作簿所在）")->required();
  run->add_option("SCENARIO", options->scenario, "场景文件（JSON）")->required();
  run->add_option("--transcript", options->transcript, "记录写入此文件（默认标准输出）");
#ifdef _WIN32
  run->add_flag(
      "--through-automation", options->through_automation,
      "组件只经 IDispatch 调用应用程序和窗体（kelv.Application、kelv.Form 的自动化接口）");
#endif
  run->callback([options] {
    try {
      app::run_scenario(options->workspace, options->scenario, options->transcript,
                        options->through_automation);
    } catch (const app::WorkspaceError& e) {
      command_failed(e.what());
    } catch (const std::exception& e) {
      command_failed(std::string("场景中断：") + e.what());
    }
  });
}

}  // namespace kelv::cli
