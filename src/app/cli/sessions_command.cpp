// kelv sessions WORKSPACE [DATA] [--seed N] [--suggest]: 场次编排 at the
// command line. Opens the workspace and the data workbook as the form would,
// checks, arranges every 场次 and saves through the workspace's guarded save
// with backups; --suggest writes a draft 场次表 instead.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/core/exam_work.h"
#include "app/core/terminal_dialogs.h"
#include "app/core/terminal_progress.h"
#include "app/core/workspace.h"
#include "host/file_path.h"
#include "host/host_error.h"

namespace kelv::cli {
namespace {

// Prints the report's problems (or the draft's lines) and what was done;
// exits 1 when nothing could be done.
void print_report(const app::WorkReport& report) {
  for (const std::string& line : report.notes) std::cout << line << '\n';
  if (report.stopped) {
    if (report.failure) std::cout << report.failure_text() << '\n';
    std::cout << app::stopped_text(report.event) << '\n';
    throw CLI::RuntimeError(1);
  }
  std::cout << report.text() << '\n';
}

std::string pick_data(const std::vector<std::string>& items, const std::string& data) {
  if (!data.empty()) {
    const std::string name = host::path_text(host::file_path(data).filename());
    for (const std::string& item : items)
      if (item == name) return item;
    command_failed("“数据”文件夹里没有数据工作簿 " + name);
  }
  std::vector<std::string> candidates;
  for (const std::string& item : items) {
    bool per_session = false;
    for (const std::string& other : items) {
      const std::string stem = other.substr(0, other.rfind('.'));
      per_session = per_session || (item != other && item.starts_with(stem + "（"));
    }
    if (!per_session) candidates.push_back(item);
  }
  if (candidates.size() == 1) return candidates.front();
  if (candidates.empty()) command_failed("“数据”文件夹里没有数据工作簿");
  std::string names;
  for (const std::string& c : candidates) names += (names.empty() ? "" : "、") + c;
  command_failed("“数据”文件夹里有几个数据工作簿（" + names + "）：请在命令后写明是哪一个");
}

void save(app::Workspace& workspace, const app::Questions& questions,
          const std::vector<host::Workbook*>& books) {
  app::SaveReport report;
  try {
    if (books.empty()) {
      workspace.save_all(questions, report);
    } else {
      workspace.save(books, questions, report);
    }
  } catch (const host::HostError& e) {
    command_failed(std::string("保存失败：") + e.what());
  }
  for (const std::string& path : report.saved)
    std::cout << "已保存 " << host::native_path(path) << '\n';
  for (const std::string& path : report.cancelled)
    std::cout << "没有保存 " << host::native_path(path) << '\n';
}

}  // namespace

void add_sessions_command(CLI::App& app) {
  struct Options {
    std::string workspace, data;
    std::optional<uint64_t> seed;
    bool suggest = false;
    std::string together;
  };
  auto options = std::make_shared<Options>();
  CLI::App* cmd =
      app.add_subcommand("sessions",
                         "场次编排：按场次表给每一科排考场和座位（在编排考号之后），写入场次安排、"
                         "场次考场和每个场次的数据工作簿，保存前自动备份");
  cmd->add_option("WORKSPACE", options->workspace, "工作区文件夹（或宿主工作簿）")->required();
  cmd->add_option("DATA", options->data,
                  "数据工作簿：“数据”文件夹里的文件名（只有一个时可以不写）");
  cmd->add_option("--seed", options->seed, "换考场的考生在考场里座位顺序的随机种子");
  cmd->add_flag("--suggest", options->suggest,
                "按考生的选考科目拟一份场次表草案（已有场次表时先询问），不编排");
  cmd->add_option("--keep-combinations", options->together,
                  "编排考号时是否把同一选考组合的考生排在相连的考场（yes 或 no）：只保存这项设置，"
                  "之后请重新编排考号")
      ->check(CLI::IsMember({"yes", "no"}));
  cmd->callback([options] {
    app::TerminalDialogs dialogs(std::cin, std::cout);
    std::unique_ptr<app::Workspace> workspace = open_workspace(options->workspace, dialogs);
    const app::Questions questions = app::message_box_questions(
        dialogs, [](const std::string& p) { return host::native_path(p); });
    for (const std::string& w : workspace->take_warnings()) std::cout << "[提醒] " << w << '\n';
    app::TerminalProgress progress(std::cerr, app::standard_error_is_terminal());
    workspace->engine().set_progress(&progress);
    workspace->start();
    if (!options->together.empty()) {
      host::Workbook& host_book = workspace->engine().this_workbook();
      try {
        app::set_keep_combinations(*workspace, options->together == "yes");
      } catch (const host::HostError&) {
        command_failed("宿主工作簿没有设置表 DTB");
      }
      std::cout << (options->together == "yes"
                        ? "已设置：编排考号时把同一选考组合的考生排在相连的考场。"
                        : "已设置：编排考号时不再把同一选考组合排在一起。")
                << "重新编排考号后生效。\n";
      save(*workspace, questions, {&host_book});
      return;
    }
    host::Control& list = workspace->form()["LtbBiao"];
    const std::string name = pick_data(list.items(), options->data);
    const std::vector<std::string>& items = list.items();
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i] == name) list.set_list_index(static_cast<int32_t>(i));
    const app::WorkReport opened = workspace->click("LtbBiaoClick", questions);
    for (const std::string& w : workspace->take_warnings()) std::cout << "[提醒] " << w << '\n';
    host::Workbook* data = workspace->data_workbook();
    if (opened.failure || data == nullptr || data->name() != name)
      command_failed("打不开数据工作簿 " + name);

    if (options->suggest) {
      const app::WorkReport report = app::suggest_timetable(*workspace, dialogs);
      print_report(report);
      if (report.made_nothing) {
        if (report.summary.find("错误") != std::string::npos) throw CLI::RuntimeError(1);
        return;
      }
      save(*workspace, questions, {data});
      return;
    }

    const app::WorkReport report = app::arrange_sessions(*workspace, options->seed);
    print_report(report);
    if (report.made_nothing) throw CLI::RuntimeError(1);
    save(*workspace, questions, {});
  });
}

}  // namespace kelv::cli
