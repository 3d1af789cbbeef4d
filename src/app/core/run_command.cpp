// kelv run on real files: the embedded spreadsheet with the .xlsx format.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "app/core/scenario_runner.h"
#include "host/file_path.h"
#include "host/system_environment.h"
#include "readers/format.h"
#include "sheets/settings_sheet.h"
#include "sheets/sheet_lookup.h"
#include "spreadsheet/engine.h"

#ifdef _WIN32
#include "automation/dispatch_host.h"
#include "automation/face.h"
#endif

namespace kelv::app {
namespace {

namespace fs = std::filesystem;

// The scenario plays on the form the workspace was made for: the seating
// controls are there when the scenario uses them or the settings sheet
// stores a value for them, and otherwise the form is the one without them,
// so every transcript written before they existed stays as it was.
host::FormModel::SeatingControls seating_controls_for(const Scenario& scenario,
                                                      host::Application& EA) {
  using enum host::FormModel::SeatingControls;
  if (names_control(scenario, "TxtZhongZi") || names_control(scenario, "CmbFenKai")) return With;
  host::Workbook& book = EA.this_workbook();
  if (!sheets::SheetExists(book.worksheets(), sheets::kSettingsSheet)) return Without;
  host::Worksheet& DTB = book.worksheets().item(sheets::kSettingsSheet);
  for (int32_t column : {sheets::kSeedColumn, sheets::kKeepApartColumn})
    if (!DTB.cells(sheets::kSeatingRow, column).value().is_empty()) return With;
  return Without;
}

}  // namespace

bool is_workbook_file(const fs::path& p) {
  std::string ext = host::path_text(p.extension());
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  const std::string name = host::path_text(p.filename());
  return (ext == ".xlsx" || ext == ".xlsm") && !name.starts_with("~$") && !name.starts_with(".");
}

std::string find_host_workbook(const std::string& workspace,
                               const std::optional<std::string>& named) {
  const fs::path root = host::file_path(workspace);
  std::error_code ec;
  if (named) {
    const fs::path p = root / host::file_path(*named);
    if (!fs::is_regular_file(p, ec)) throw ScenarioError("工作区中没有宿主工作簿 " + *named);
    return host::path_text(p);
  }
  std::vector<fs::path> found;
  for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    if (it->is_regular_file(ec2) && is_workbook_file(it->path())) found.push_back(it->path());
  }
  if (found.empty()) throw ScenarioError("工作区顶层没有 .xlsx 或 .xlsm 工作簿：" + workspace);
  if (found.size() > 1) {
    std::string names;
    for (const auto& p : found)
      names += (names.empty() ? "" : "、") + host::path_text(p.filename());
    throw ScenarioError("工作区顶层有多个工作簿（" + names + "），请在场景中用 \"host\" 指明");
  }
  return host::path_text(found.front());
}

std::string workspace_root(const std::string& workspace) {
  std::error_code ec;
  const fs::path folder = host::file_path(workspace);
  if (!fs::is_directory(folder, ec)) throw ScenarioError("找不到工作区：" + workspace);
  return host::path_text(fs::weakly_canonical(fs::absolute(folder)));
}

std::string backup_folder_of(const std::string& host_path) {
  return host::path_text(host::file_path(host_path).parent_path() /
                         host::file_path(kBackupFolderName));
}

std::unique_ptr<spreadsheet::Engine> open_host_workbook(const std::string& host_path,
                                                        GuardedSaver* saver) {
  auto engine = std::make_unique<spreadsheet::Engine>(std::make_shared<readers::AnyFormat>());
  if (saver != nullptr)
    engine->set_open_listener([saver](const std::string& path) { saver->files().remember(path); });
  try {
    engine->open_host_workbook(host_path);
  } catch (const host::HostError& e) {
    throw ScenarioError("打不开宿主工作簿：" + std::string(e.what()));
  }
  return engine;
}

void run_scenario(const std::string& workspace, const std::string& scenario_path,
                  const std::string& transcript_path, bool through_automation) {
#ifndef _WIN32
  if (through_automation) throw ScenarioError("只有 Windows 版能经自动化接口演示场景");
#endif
  const std::string root = workspace_root(workspace);
  const Scenario scenario = load_scenario_file(scenario_path);
  const std::string host_path = find_host_workbook(root, scenario.host);

  std::ofstream file;
  if (!transcript_path.empty()) {
    file.open(host::file_path(transcript_path), std::ios::binary | std::ios::trunc);
    if (!file) throw ScenarioError("无法写入记录文件：" + transcript_path);
  }
  std::ostream& out = transcript_path.empty() ? std::cout : file;

  GuardedSaver saver(backup_folder_of(host_path));
  std::unique_ptr<spreadsheet::Engine> engine = open_host_workbook(host_path, &saver);

  host::SystemEnvironment env =
      scenario.seed ? host::SystemEnvironment(*scenario.seed) : host::SystemEnvironment();
  host::RecordingDialogs dialogs;
  std::unique_ptr<host::FormModel> form =
      host::FormModel::standard_form(seating_controls_for(scenario, *engine));
  bridge::torb component(dialogs, env);
  Transcript transcript(out, root);
  engine->set_repair_listener([&](const spreadsheet::RepairReport& r) {
    transcript.dialogs(dialogs);
    transcript.repaired(r.file, r.repairs);
  });
#ifdef _WIN32
  if (through_automation) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IDispatch* app = automation::wrap_application(*engine, dialogs, env);
    IDispatch* face = automation::wrap_form(*form);
    std::unique_ptr<host::Application> EA = automation::application_over(app);
    std::unique_ptr<host::Form> UF = automation::form_over(face);
    app->Release();
    face->Release();
    Stage stage{*EA, *form, dialogs, component, transcript, UF.get(), &saver, engine.get(), root};
    play_scenario(scenario, stage);
    return;
  }
#endif
  Stage stage{*engine, *form, dialogs, component, transcript, nullptr, &saver, engine.get(), root};
  play_scenario(scenario, stage);
}

}  // namespace kelv::app
