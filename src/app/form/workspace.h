// One open workspace behind the desktop form: the embedded spreadsheet with
// the host workbook, the form model, and the torb the form forwards its
// events to. Knows nothing of widgets, so tests can drive it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/workbook_files.h"
#include "bridge/torb.h"
#include "host/dialogs.h"
#include "host/form_model.h"
#include "host/system_environment.h"
#include "spreadsheet/engine.h"

namespace kelv::form {

// The host workbook's usual file name inside a workspace.
inline constexpr const char* kHostWorkbookName = "考务.xlsx";

class Workspace {
 public:
  // Opens the host workbook at `location`: a workbook file, or a folder
  // holding 考务.xlsx (or else a single .xlsx/.xlsm at its top). Throws
  // host::HostError (53 when there is no host workbook, 1004 when it cannot
  // be read). A seed fixes the random sequence (tests).
  Workspace(const std::string& location, host::Dialogs& dialogs,
            std::optional<uint64_t> seed = std::nullopt);
  ~Workspace();

  // The host workbook file a location names; throws like the constructor.
  static std::string host_workbook_path(const std::string& location);

  const std::string& host_path() const { return host_path_; }
  const std::string& folder() const { return folder_; }
  spreadsheet::Engine& engine() { return *engine_; }
  bridge::torb& component() { return *component_; }
  host::FormModel& form() { return *form_; }

  // Sends "UserFormInitialize". What start-up writes (the data-file list)
  // is rebuilt at every start, so it does not count as unsaved.
  void start();
  // MyFunClick with an event name. Never throws for the component's
  // failures: the component shows them itself.
  void click(std::string_view event);
  // MyFunSet with a control name. Throws the component's failure.
  void set(std::string_view control);

  // True when an event since the last start or save may have changed a
  // workbook.
  bool unsaved() const { return unsaved_; }
  // A change made to a workbook outside the component (a mend the person
  // asked for) counts as unsaved too.
  void mark_unsaved() { unsaved_ = true; }
  // Saves every open workbook: the host workbook and each data workbook the
  // component opened (each written beside its file and renamed over it,
  // the old file kept in the backup folder). A file another program changed
  // since kelv read it is handed to `ask`; `new_name` gives the path for
  // SaveAs. Data workbooks the user chose to reload are read again here;
  // the host workbook is listed in `reload` for the window to reopen.
  // `convert` gives the .xlsx path for a workbook read from another kind of
  // file ("" leaves it unsaved); such workbooks then become the new files
  // in the component and the data list. Throws host::HostError naming the
  // file; `report` says what was written before.
  void save(
      const std::function<app::ChangedChoice(const std::string&)>& ask,
      const std::function<std::string(const std::string&)>& new_name, app::SaveReport& report,
      const std::function<std::string(const std::string&, const std::string&)>& convert = nullptr);
  // Before "LtbBiaoClick": see app::settle_data_click. False: do not send.
  bool settle_data_click(const std::function<app::ChangedChoice(const std::string&)>& ask,
                         const std::function<std::string(const std::string&)>& new_name);
  // The workspace's backup folder and data folder.
  std::string backup_folder() const;
  std::string data_folder() const;
  // Full path of a workbook of the engine.
  static std::string file_of(host::Workbook& book);

 private:
  std::string host_path_, folder_;
  host::SystemEnvironment env_;
  std::unique_ptr<host::FormModel> form_;
  std::unique_ptr<spreadsheet::Engine> engine_;
  std::unique_ptr<bridge::torb> component_;
  std::unique_ptr<app::GuardedSaver> saver_;
  bool unsaved_ = false;
};

}  // namespace kelv::form
