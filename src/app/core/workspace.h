// One open workspace, as every front end works on it: the host workbook in
// the embedded spreadsheet (every file it reads remembered, for the guard
// against files changed elsewhere, and looked at for other programs' lock
// files), the form, the torb with the front end's dialogs, and every rule a
// front end needs: the check before the work, the click (gate, check and
// event in one call, one report back), the data list and the lists it can
// make data workbooks from, saves that keep backups and never overwrite a
// file another program changed, restores, and the summary of finished work.
// kelv-form, kelv play, kelv run, kelv check, kelv restore, kelv import,
// kelv pdf and the demo all go through it; a front end keeps only its
// widgets and its wording. Nothing here knows of widgets or of the platform.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/data_import.h"
#include "app/core/timed_dialogs.h"
#include "app/core/work_report.h"
#include "app/core/workbook_files.h"
#include "app/core/workspace_check.h"
#include "app/core/workspace_folder.h"
#include "bridge/torb.h"
#include "host/dialogs.h"
#include "host/file_system.h"
#include "host/form_model.h"
#include "host/system_environment.h"
#include "spreadsheet/engine.h"

namespace kelv::app {

// The host workbook, then every other workbook open in `EA` (the data
// workbooks the component opened), in their order.
std::vector<host::Workbook*> open_workbooks(host::Application& EA);

// The open workbook whose file name is `name`, or null. Names compare as
// the host compares them (ignoring letter case).
host::Workbook* open_workbook_named(host::Application& EA, std::string_view name);

// A "XxxClick" event of a command button fires only while the button is
// enabled, as on a real form: true when `event` comes from a disabled one.
bool from_disabled_button(const host::FormModel& form, std::string_view event);

// The embedded spreadsheet with every readable kind of file and `path`
// open as its host workbook, for commands that read one workbook without a
// workspace (kelv dump, kelv pdf); WorkspaceError (Unreadable) naming the
// file when it cannot be read. `on_repair` hears of every damaged file
// opened mended.
std::unique_ptr<spreadsheet::Engine> open_any_workbook(
    const std::string& path,
    const std::function<void(const spreadsheet::RepairReport&)>& on_repair = nullptr);

// What the check before the work found, and what the person makes of it.
enum class CheckChoice { Continue, Cancel, Mend };
using CheckQuestion =
    std::function<CheckChoice(const std::vector<Finding>& findings, const std::string& action)>;

// The workspace's own questions, which a front end answers in its own way
// (the component asks its own through host::Dialogs).
struct Questions {
  // A workbook another program changed while kelv had it open.
  std::function<ChangedChoice(const std::string& path)> changed;
  // Where kelv's version of it goes on SaveAs; "" cancels.
  std::function<std::string(const std::string& path)> new_name;
  // The .xlsx file a workbook read from another kind of file is saved as
  // (source, suggested target); "" leaves it unsaved.
  std::function<std::string(const std::string& source, const std::string& target)> convert;
  // What the check found before assignment or generation; without it
  // those events go to the component unchecked.
  CheckQuestion check;
};

// The questions as Yes/No message boxes of `dialogs`, for front ends without
// windows of their own (an unanswered box says No: nothing is written). A
// copy under another name goes beside the file. `shown` names a file to the
// person. The check is `check` (none when empty).
Questions message_box_questions(host::Dialogs& dialogs,
                                const std::function<std::string(const std::string& path)>& shown,
                                CheckQuestion check = nullptr);

// The check question as one Yes/No message box listing the findings
// ("是否仍然开始？"); an unanswered box, or No, cancels. For the terminal.
CheckQuestion check_by_message_box(host::Dialogs& dialogs);

struct WorkspaceOptions {
  // The host workbook's file name inside the folder, when it is not the
  // usual one and the folder holds several workbooks.
  std::optional<std::string> host_name;
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
  // Where saves and backups write (tests put a failing one here); null:
  // the system's. Must outlive the workspace.
  host::FileSystem* file_system = nullptr;
};

class Workspace {
 public:
  // Opens the workspace at `location` (a folder, or its host workbook) with
  // `dialogs` for the component. Throws WorkspaceError: Missing,
  // NotAWorkspace (no host workbook, or a workbook without the settings
  // sheet DTB, such as a roster), Ambiguous, Unreadable.
  Workspace(const std::string& location, host::Dialogs& dialogs, WorkspaceOptions options = {});
  virtual ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  const WorkspaceFolder& folder() const { return folder_; }
  const std::string& host_path() const { return folder_.host_path(); }
  const std::string& root() const { return folder_.root(); }
  std::string data_folder() const { return folder_.data_folder(); }
  std::string backup_folder() const { return folder_.backup_folder(); }

  spreadsheet::Engine& engine() { return *engine_; }
  host::FormModel& form() { return *form_; }
  bridge::torb& component() { return *component_; }
  host::Environment& environment() { return env_; }
  // The dialogs the component shows its boxes through (the front end's,
  // timed; see TimedDialogs).
  TimedDialogs& component_dialogs() { return timed_; }

  // The application and form the component reaches, when not the engine
  // and the form themselves: the same ones through automation (kelv run
  // --automation on Windows). Both must outlive their use; null restores.
  void set_component_view(host::Application* EA, host::Form* UF) {
    component_application_ = EA;
    component_form_ = UF;
  }

  // Warnings about lock files other spreadsheet programs left beside a
  // workbook kelv opened (that program may have it open): the host
  // workbook's at first, then those of every workbook opened since, each
  // handed out once.
  std::vector<std::string> take_warnings();

  // MyFunClick with an event name, as a person's click at the form: a
  // click of a disabled command button is not sent; before "LtbBiaoClick" a
  // data workbook changed elsewhere is asked about (questions.changed);
  // before assignment and generation the check runs (questions.check). The
  // component shows its own failures; anything else that escapes is in the
  // report, never thrown. `sending` is told just before the event goes to
  // the component (a transcript writes the click there, before whatever the
  // event brings).
  WorkReport click(std::string_view event, const Questions& questions,
                   const std::function<void()>& sending = nullptr);
  // Sends "UserFormInitialize". What start-up writes (the data-file list) is
  // rebuilt at every start, so it leaves nothing unsaved.
  WorkReport start() { return click("UserFormInitialize", Questions{}); }
  // MyFunSet with a control name. Throws the component's failure.
  void set(std::string_view control);

  // The data workbook the component works on, when kelv has it open.
  host::Workbook* data_workbook();
  // Opens a file of the data folder by name for a front end's own use
  // (kelv check), or finds it open; lock warnings noted. Throws
  // WorkspaceError naming the file.
  host::Workbook& open_data_file(const std::string& name);
  // The check of one data workbook with the settings the host workbook
  // stores (what start-up restores): every template with its own data
  // source, before and after assignment alike.
  std::vector<Finding> check(host::Workbook& data);

  // True for a workbook that is a list rather than a data workbook: one
  // read from another kind of file, or any with a table on its first sheet
  // and neither 考生表 nor 考场表.
  static bool is_list(host::Workbook& book);
  // After a list that is no data workbook was clicked: what it could
  // become (see ListOffer), or nothing.
  std::optional<ListOffer> list_offer();
  // Makes the data workbook the offer describes (the list's first sheet as
  // 考生表, an empty 考场表), keeping a backup of a file it replaces, lists
  // it, selects it in the data list and opens it with "LtbBiaoClick".
  // Throws WorkspaceError naming the file; nothing is replaced then.
  WorkReport take_offer(const ListOffer& offer, const Questions& questions,
                        const std::function<void()>& sending = nullptr);

  // Brings the data list up to date with the data folder (names already
  // shown keep their place, the selection stays). True when it changed.
  bool refresh_data_list();

  // True when an event since the last save may have changed a workbook.
  bool unsaved() const { return unsaved_; }
  // A change made outside the component (a mend the person asked for).
  void mark_unsaved() { unsaved_ = true; }
  // After the workbooks were put back as they were (cancel, undo).
  void set_unsaved(bool unsaved) { unsaved_ = unsaved; }
  // True when the host workbook's file is no longer what kelv last read or
  // wrote: another program saved it.
  bool host_changed_elsewhere() const;

  // Saves `books`, each written beside its file and renamed over it, the old
  // file kept in the backup folder. A file changed elsewhere is asked about;
  // a workbook read from another kind of file is saved as .xlsx when the
  // person agrees, and then is the component's data workbook and the data
  // list's entry under its new name. Workbooks the person chose to read
  // again are read again (see WorkspaceOptions::reload_host_in_engine); a
  // new file in the data folder joins the data list.
  // Throws host::HostError naming the file; `report` says what was written
  // before.
  void save(const std::vector<host::Workbook*>& books, const Questions& questions,
            SaveReport& report);
  // Saves the host workbook, then every workbook the component opened; with
  // none left unsaved, nothing is unsaved any more.
  void save_all(const Questions& questions, SaveReport& report);
  // The workbooks save_all writes, in that order.
  std::vector<host::Workbook*> open_workbooks() { return app::open_workbooks(*engine_); }

  // The copies saves kept, newest first, and putting one back (the file it
  // replaces backed up first). After a restore the workspace must be opened
  // anew to see it. Throws WorkspaceError naming the file.
  std::vector<Backup> backups() const { return folder_.backups(); }
  void restore(const Backup& backup);

 private:
  bool settle_data_click(const Questions& questions);
  bool check_before(std::string_view event, const CheckQuestion& decide);
  void opened(const std::string& path);

  WorkspaceFolder folder_;
  WorkspaceOptions options_;
  host::Dialogs& dialogs_;
  TimedDialogs timed_;
  host::FileSystem& files_;
  host::SystemEnvironment env_;
  GuardedSaver saver_;
  std::unique_ptr<spreadsheet::Engine> engine_;
  std::unique_ptr<host::FormModel> form_;
  std::unique_ptr<bridge::torb> component_;
  host::Application* component_application_ = nullptr;
  host::Form* component_form_ = nullptr;
  std::vector<std::string> warnings_;
  bool unsaved_ = false;
};

}  // namespace kelv::app
