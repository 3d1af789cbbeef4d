// kelv run on real files: the embedded spreadsheet with the .xlsx format.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "app/core/scenario_runner.h"
#include "app/core/terminal_progress.h"
#include "host/file_path.h"
#include "host/recording_dialogs.h"
#include "sheets/seat_map_settings.h"
#include "sheets/settings_sheet.h"
#include "sheets/sheet_lookup.h"

#ifdef _WIN32
#include "automation/foreign_host.h"
#include "automation/served_objects.h"
#endif

namespace kelv::app {
namespace {

// The scenario plays on the form the workspace was made for: the seating
// controls are there when the scenario uses them or the settings sheet
// stores a value for them, the seat-map controls likewise (a template laid
// out as the room, the AB paper setting), and otherwise the form is the one
// without them, so every transcript written before they existed stays as it
// was.
host::FormModel::SeatingControls seating_controls_for(const Scenario& scenario,
                                                      host::Application& EA) {
  using enum host::FormModel::SeatingControls;
  const bool seat_maps_named =
      names_control(scenario, "ChbZuoWei") || names_control(scenario, "ChbABJuan");
  const bool seating_named =
      names_control(scenario, "TxtZhongZi") || names_control(scenario, "CmbFenKai");
  host::Workbook& book = EA.this_workbook();
  if (!sheets::SheetExists(book.worksheets(), sheets::kSettingsSheet))
    return seat_maps_named ? With : seating_named ? SeatingOnly : Without;
  host::Worksheet& DTB = book.worksheets().item(sheets::kSettingsSheet);
  if (seat_maps_named || sheets::StoresSeatMapSettings(DTB)) return With;
  if (seating_named) return SeatingOnly;
  for (int32_t column : {sheets::kSeedColumn, sheets::kKeepApartColumn})
    if (!DTB.cells(sheets::kSeatingRow, column).value().is_empty()) return SeatingOnly;
  return Without;
}

}  // namespace

void run_scenario(const std::string& workspace, const std::string& scenario_path,
                  const std::string& transcript_path, bool through_automation) {
#ifndef _WIN32
  if (through_automation) throw ScenarioError("只有 Windows 版能经自动化接口演示场景");
#endif
  std::error_code ec;
  if (!std::filesystem::exists(host::file_path(workspace), ec))
    throw WorkspaceError(WorkspaceError::Kind::Missing, "找不到工作区：" + workspace);
  const Scenario scenario = load_scenario_file(scenario_path);
  const WorkspaceFolder folder = WorkspaceFolder::locate(workspace, scenario.host);

  std::ofstream file;
  if (!transcript_path.empty()) {
    file.open(host::file_path(transcript_path), std::ios::binary | std::ios::trunc);
    if (!file) throw ScenarioError("无法写入记录文件：" + transcript_path);
  }
  std::ostream& out = transcript_path.empty() ? std::cout : file;

  host::RecordingDialogs dialogs;
  Transcript transcript(out, folder.root());
  WorkspaceOptions options;
  options.host_name = scenario.host;
  options.seed = scenario.seed;
  options.seating = [&](host::Application& EA) { return seating_controls_for(scenario, EA); };
  options.on_repair = [&](const spreadsheet::RepairReport& r) {
    transcript.dialogs(dialogs);
    transcript.repaired(r.file, r.repairs);
  };
  Workspace ws(folder.root(), dialogs, std::move(options));
  TerminalProgress progress(std::cerr, standard_error_is_terminal());
  ws.engine().set_progress(&progress);
  Stage stage{ws, dialogs, transcript};
#ifdef _WIN32
  if (through_automation) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IDispatch* app = automation::wrap_application(ws.engine(), dialogs, ws.environment());
    IDispatch* face = automation::wrap_form(ws.form());
    std::unique_ptr<host::Application> EA = automation::application_over(app);
    std::unique_ptr<host::Form> UF = automation::form_over(face);
    app->Release();
    face->Release();
    ws.set_component_view(EA.get(), UF.get());
    play_scenario(scenario, stage);
    ws.set_component_view(nullptr, nullptr);
    return;
  }
#endif
  play_scenario(scenario, stage);
}

}  // namespace kelv::app
