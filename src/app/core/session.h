// One open workspace, as every front end works on it: the host workbook in
// the embedded spreadsheet (every file it reads remembered, for the guard
// against files changed elsewhere), the form, the torb with the front end's
// dialogs, the check before the work, and saves that keep backups and never
// overwrite a file another program changed. A front end adds only what is
// its own: its dialogs, its questions about files, and how it shows what
// happened. Nothing here knows of widgets or of the platform.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/work_report.h"
#include "app/core/workbook_files.h"
#include "app/core/workspace_check.h"
#include "bridge/torb.h"
#include "host/dialogs.h"
#include "host/form_model.h"
#include "host/system_environment.h"
#include "spreadsheet/engine.h"

namespace kelv::app {

// The host workbook's usual file name inside a workspace.
inline constexpr const char* kHostWorkbookName = "考务.xlsx";

// Finding the workspace. Each throws ScenarioError with a message for the
// person who named it.
//
// The absolute folder of a workspace.
std::string workspace_root(const std::string& workspace);
// An .xlsx or .xlsm file that is no lock or hidden file of another program
// ("~$NAME", ".NAME").
bool is_workbook_file(const std::filesystem::path& p);
// The host workbook of a workspace: `named` inside it when given, else the
// one .xlsx/.xlsm file at its top.
std::string find_host_workbook(const std::string& workspace,
                               const std::optional<std::string>& named);
// The host workbook a location names: a workbook file, or a folder holding
// 考务.xlsx (or else a single .xlsx/.xlsm at its top). Absolute.
std::string host_workbook_at(const std::string& location);
// The backup folder of a workspace whose host workbook is `host_path`.
std::string backup_folder_of(const std::string& host_path);
// The embedded spreadsheet with every readable kind of file and the host
// workbook open, for commands without a session; ScenarioError when the
// workbook cannot be read. `on_repair` hears of every damaged file opened
// mended, the host workbook included.
std::unique_ptr<spreadsheet::Engine> open_host_workbook(
    const std::string& host_path,
    const std::function<void(const spreadsheet::RepairReport&)>& on_repair = nullptr);

// The host workbook, then every other workbook open in `EA` (the data
// workbooks the component opened), in their order.
std::vector<host::Workbook*> open_workbooks(host::Application& EA);

// What the check before the work found, and what the person makes of it.
enum class CheckChoice { Continue, Cancel, Mend };
using CheckQuestion =
    std::function<CheckChoice(const std::vector<Finding>& findings, const std::string& action)>;

// The session's own questions, which a front end answers in its own way
// (the component asks its own through host::Dialogs).
struct Questions {
  // A workbook another program changed while kelv had it open.
  std::function<ChangedChoice(const std::string& path)> changed;
  // Where kelv's version of it goes on SaveAs; "" cancels.
  std::function<std::string(const std::string& path)> new_name;
  // The .xlsx file a workbook read from another kind of file is saved as
  // (source, suggested target); "" leaves it unsaved.
  std::function<std::string(const std::string& source, const std::string& target)> convert;
  // What the check found before assignment or generation; without it those
  // events go to the component unchecked.
  CheckQuestion check;
};

// The questions as Yes/No message boxes of `dialogs`, for front ends without
// windows of their own (an unanswered box says No: nothing is written). A
// copy under another name goes beside the file. `shown` names a file to the
// person. No check.
Questions message_box_questions(host::Dialogs& dialogs,
                                const std::function<std::string(const std::string& path)>& shown);

struct SessionOptions {
  // Fixes the random sequence (tests, replayable runs).
  std::optional<uint64_t> seed;
  // Which form the component gets, decided once the host workbook is open;
  // without it, the form with every control.
  std::function<host::FormModel::SeatingControls(host::Application& EA)> seating;
  // Hears of every damaged file opened mended, the host workbook included.
  std::function<void(const spreadsheet::RepairReport&)> on_repair;
  // Copies of replaced files in the backup folder. Without them a save still
  // never overwrites a file changed elsewhere.
  bool keep_backups = true;
  // A host workbook the person chose to read again after a save is read
  // again in the engine; a front end that opens the whole workspace anew
  // instead turns this off and does so itself.
  bool reload_host_in_engine = true;
};

class Session {
 public:
  // Opens the host workbook at `host_path` with `dialogs` for the component.
  // Throws host::HostError when it cannot be read.
  Session(const std::string& host_path, host::Dialogs& dialogs, SessionOptions options = {});
  virtual ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const std::string& host_path() const { return host_path_; }
  const std::string& folder() const { return folder_; }
  // The workspace's backup folder and data folder.
  std::string backup_folder() const;
  std::string data_folder() const;

  spreadsheet::Engine& engine() { return *engine_; }
  host::FormModel& form() { return *form_; }
  bridge::torb& component() { return *component_; }
  host::Environment& environment() { return env_; }

  // Warnings about lock files another spreadsheet program left beside the
  // host workbook (it may have the workbook open).
  std::vector<std::string> lock_warnings() const;

  // Before an event goes to the component.
  enum class Gate {
    Send,
    ChangedElsewhere,  // a click on a data workbook changed elsewhere, and the person cancelled
    CheckDeclined,     // the check before the work found problems and the person stopped
  };
  Gate gate(std::string_view event, const Questions& questions);
  // Before "LtbBiaoClick": when kelv already has the data workbook the list
  // selects open and another program changed its file since, the person
  // decides. Reload closes kelv's copy, so the click reads the file again;
  // SaveAs first writes kelv's copy under the new name; Cancel (or no new
  // name) means the click is not sent. False: do not send it.
  bool settle_data_click(const Questions& questions);
  // The check before assignment (CmdDoKaoHaoClick) or generation
  // (CmdDoYongBiaoClick) of the component's data workbook. True when the
  // event may go: nothing found, or the person chose to continue; after a
  // mend the check runs again. Other events, no data workbook open, and a
  // check that cannot read the workbook pass.
  bool check_before(std::string_view event, const CheckQuestion& decide);

  // Sends "UserFormInitialize". What start-up writes (the data-file list) is
  // rebuilt at every start, so it leaves nothing unsaved.
  WorkReport start() { return click("UserFormInitialize"); }
  // MyFunClick with an event name. The component shows its own failures;
  // anything else that escapes is in the report, not thrown.
  WorkReport click(std::string_view event);
  // MyFunSet with a control name. Throws the component's failure.
  void set(std::string_view control);

  // True when an event since the last save may have changed a workbook.
  bool unsaved() const { return unsaved_; }
  // A change made outside the component (a mend the person asked for).
  void mark_unsaved() { unsaved_ = true; }

  // Saves `books`, each written beside its file and renamed over it, the old
  // file kept in the backup folder. A file changed elsewhere is asked about;
  // a workbook read from another kind of file is saved as .xlsx when the
  // person agrees, and then is the component's data workbook and the data
  // list's entry under its new name. Workbooks the person chose to read
  // again are read again (see SessionOptions::reload_host_in_engine). Throws
  // host::HostError naming the file; `report` says what was written before.
  void save(const std::vector<host::Workbook*>& books, const Questions& questions,
            SaveReport& report);
  // Saves the host workbook, then every workbook the component opened; with
  // none left unsaved, nothing is unsaved any more.
  void save_all(const Questions& questions, SaveReport& report);
  // The workbooks save_all writes, in that order.
  std::vector<host::Workbook*> open_workbooks() { return app::open_workbooks(*engine_); }

 private:
  std::string host_path_, folder_;
  SessionOptions options_;
  host::Dialogs& dialogs_;
  host::SystemEnvironment env_;
  GuardedSaver saver_;
  std::unique_ptr<spreadsheet::Engine> engine_;
  std::unique_ptr<host::FormModel> form_;
  std::unique_ptr<bridge::torb> component_;
  bool unsaved_ = false;
};

// A Session for the command line: a host workbook that cannot be read is a
// ScenarioError ("打不开宿主工作簿：…").
std::unique_ptr<Session> open_session(const std::string& host_path, host::Dialogs& dialogs,
                                      SessionOptions options = {});

}  // namespace kelv::app
