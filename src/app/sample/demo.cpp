#include "app/sample/demo.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/core/terminal_progress.h"
#include "app/core/workspace.h"
#include "app/sample/sample_invigilation.h"
#include "app/sample/sample_sessions.h"
#include "app/sample/sample_workspace.h"
#include "host/file_path.h"
#include "host/form_model.h"
#include "host/recording_dialogs.h"
#include "sheets/exam_sheets.h"
#include "spreadsheet/engine.h"
#include "xlsx/xlsx_format.h"

namespace kelv::sample {
namespace {

namespace fs = std::filesystem;

std::string new_temporary_folder() {
  const auto stamp = std::chrono::system_clock::now().time_since_epoch().count();
  fs::path dir = fs::temp_directory_path() / ("kelv-demo-" + std::to_string(stamp));
  fs::create_directories(dir);
  return host::path_text(dir);
}

// Selects the list item with that text; false when the list lacks it.
bool select_item(host::Control& list, const std::string& text) {
  const std::vector<std::string>& items = list.items();
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) {
      list.set_list_index(static_cast<int32_t>(i));
      return true;
    }
  }
  return false;
}

}  // namespace

int32_t run_demo(const DemoOptions& options, std::ostream& out) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const std::string dir = options.dir ? *options.dir : new_temporary_folder();

  auto format = std::make_shared<xlsx::XlsxFormat>();
  SampleOptions sample_options;
  sample_options.examinees = options.examinees;
  const SampleResult sample = write_sample_workspace(dir, sample_options, *format);
  const Clock::time_point built = Clock::now();

  host::RecordingDialogs dialogs;
  app::WorkspaceOptions workspace_options;
  workspace_options.seed = options.seed;
  // The files it would keep are the sample just written.
  workspace_options.keep_backups = false;
  app::Workspace workspace(dir, dialogs, std::move(workspace_options));
  app::TerminalProgress progress(std::cerr, app::standard_error_is_terminal());
  workspace.engine().set_progress(&progress);
  host::FormModel& UF = workspace.form();
  // The check before each step of the work, as every front end runs it:
  // its findings are listed at the end and the work goes on.
  std::vector<std::string> checked;
  app::Questions questions = app::message_box_questions(
      dialogs, [](const std::string& p) { return p; },
      [&checked](const std::vector<app::Finding>& findings, const std::string& action) {
        for (const app::Finding& f : findings)
          checked.push_back(action + "前：" + app::finding_line(f));
        return app::CheckChoice::Continue;
      });
  // What escapes the component ends the demo.
  const auto click = [&](std::string_view event) {
    const app::WorkReport report = workspace.click(event, questions);
    if (report.failure) std::rethrow_exception(report.failure);
  };

  click("UserFormInitialize");
  if (!select_item(UF["LtbBiao"], kDataWorkbookName)) {
    out << "数据文件列表中没有 " << kDataWorkbookName << "\n";
    return 1;
  }
  click("LtbBiaoClick");
  UF["OptSJKaoHao"].set_value(true);
  workspace.set("OptSJKaoHao");
  // Examinees of one school are spread over the rooms and kept off
  // neighbouring seats.
  UF["CmbFenKai"].set_value("学校");
  workspace.set("CmbFenKai");
  click("CmdDoKaoHaoClick");
  run_sample_sessions(workspace, questions, workspace.engine().workbooks().item(kDataWorkbookName),
                      out);
  const std::string data_book = workspace.component().state().DataBookName;
  host::Workbook& data = workspace.engine().workbooks().item(data_book);
  const std::string rota = arrange_sample_invigilators(workspace, data, options.seed.value_or(1));
  // Saved as kelv invigilate saves, so the workbooks the rota wrote are in
  // the data folder for the form's list.
  app::SaveReport saved_rota;
  workspace.save(workspace.open_workbooks(), questions, saved_rota);

  // The duty slips print from the workbook the rota wrote for them.
  const std::vector<std::string> templates = UF["LtbMoBan"].items();
  for (const std::string& name : templates) {
    if (name == kDutySlipTemplate) continue;
    select_item(UF["LtbMoBan"], name);
    click("LtbMoBanClick");
    click("CmdDoYongBiaoClick");
  }
  host::Workbook* slips =
      generate_from(workspace, click, sheets::DutySlipBookName(data_book), kDutySlipTemplate);
  // The invigilators of every 场次 are in its own workbook: its door lists
  // print them.
  generate_from(workspace, click, sheets::SessionBookName(data_book, "1"), "门贴");

  app::SaveReport saved;
  workspace.save(workspace.open_workbooks(), questions, saved);
  const Clock::time_point done = Clock::now();

  int32_t errors = 0;
  out << "示例工作区：" << dir << "\n";
  out << "考生 " << sample_options.examinees << " 名，考场 " << sample.rooms << " 个，照片 "
      << sample.photos << " 张\n";
  for (const host::DialogRecord& r : dialogs.records()) {
    if (r.kind != "message") continue;
    if (r.icon == "critical") ++errors;
    out << "  [" << r.title << "] " << r.text << "\n";
  }
  for (const std::string& line : checked) {
    if (line.find("[错误]") != std::string::npos) ++errors;
    out << "  [检查] " << line << "\n";
  }
  out << rota << "\n";
  out << "生成的表：\n";
  for (const std::string& name : templates) {
    bool found = false;
    host::Workbook& book = name == kDutySlipTemplate && slips != nullptr ? *slips : data;
    for (host::Worksheet& sheet : book.worksheets()) {
      if (sheet.name() != name) continue;
      const spreadsheet::Sheet& model = spreadsheet::Engine::model_of(sheet);
      out << "  " << name << "：" << model.rows.size() << " 行，分页符 " << model.row_breaks.size()
          << " 个，照片 " << model.pictures.size() << " 张\n";
      found = true;
    }
    if (!found) out << "  " << name << "：未生成\n";
  }
  out << "写入的文件：\n";
  for (const std::string& f : sample.files)
    out << "  " << host::path_text(host::file_path(dir) / host::file_path(f)) << "\n";
  const auto ms = [](Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  };
  out << "用时：建立示例 " << ms(built - start) << " 毫秒，编排与制表并保存 " << ms(done - built)
      << " 毫秒，合计 " << ms(done - start) << " 毫秒\n";
  return errors;
}

}  // namespace kelv::sample
