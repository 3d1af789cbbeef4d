// The kelv-form window: the form's controls on the left, the workbook the
// component made active on the right, a status bar with the time long work
// took. Forwards every event of the form to the workspace's torb and
// refreshes the view afterwards; saves, asks before losing changes and
// reloads the host workbook when it changes on disk.
#pragma once

#include <QFileSystemWatcher>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/core/undo.h"
#include "app/core/workspace.h"
#include "app/form/form_panel.h"
#include "app/form/printing.h"
#include "app/form/qt_dialogs.h"
#include "app/form/work_progress.h"
#include "app/form/workbook_view.h"

class QAction;
class QLabel;
class QSplitter;

namespace kelv::form {

class ExamPage;
class HelpWindow;
class WorkspaceDoor;

// Writes the sample workspace into a folder; null when the program has no
// sample builder.
using SampleWriter = std::function<void(const std::string& folder)>;

class MainWindow : public QMainWindow {
 public:
  explicit MainWindow(SampleWriter sample = nullptr);
  ~MainWindow() override;

  // Opens a workspace and runs the form's start-up. On failure shows why
  // and returns false; the window stays empty (or keeps what it had).
  bool open_workspace(const std::string& location);
  // With no workspace given: asks whether to open a folder or to create the
  // sample workspace. Returns false when the person declines both.
  bool offer_start();
  // Writes the sample workspace into a new folder "考务示例" (numbered when
  // taken) inside `parent` and opens it. False when that failed.
  bool create_sample(const std::string& parent);
  // The workspace folder opened last, if it is still there; empty otherwise.
  static QString last_workspace();
  static constexpr const char* kSampleFolder = "考务示例";
  // Where the start dialog finds the last workspace opened (the user's
  // settings: the registry on Windows, ~/.config on Linux).
  static constexpr const char* kLastWorkspaceKey = "last_workspace";

  // Forwards a click, list click, page change, start-up or help request.
  void run_event(const std::string& event);
  // Forwards a setting change; a failure is shown in the error box.
  void run_set(const std::string& control);
  // Saves every workbook of the workspace. Returns false when it failed.
  bool save_all();
  // Saves, then hands the active workbook's file to the system.
  void open_in_spreadsheet_application();
  // Re-reads the host workbook from disk with a fresh component.
  void reload();
  // Printing what the view shows: the preview, the system's print dialog,
  // and PDF export (to `path`; the menu asks for it). The sheet is the one
  // whose tab is selected.
  void print_preview();
  void print();
  PrintOutcome export_pdf(const QString& path);
  // The preview while it is open (tests).
  PrintPreview* preview() const { return preview_; }
  // 帮助 › 用户指南 (F1): the guide in a window of its own.
  HelpWindow* show_help();
  HelpWindow* help_window() const { return help_; }
  QSplitter* splitter() const { return splitter_; }
  // The caption while no workspace is open.
  static constexpr const char* kNoWorkspaceCaption = "kelv 考务";

  QtDialogs& dialogs() { return dialogs_; }
  FormPanel* panel() const { return panel_; }
  ExamPage* exam_page() const { return exam_page_; }
  // The exam page's work: 场次编排 with `seed` (none: the recorded one),
  // the draft timetable, and the keep-combinations setting.
  void arrange_sessions(std::optional<uint64_t> seed);
  void suggest_timetable();
  void set_keep_combinations(bool keep);
  void invigilate(std::optional<uint64_t> seed, bool fresh);
  void set_rota_rules(bool own_subject, bool own_classes);
  // 编辑 › 撤销: puts the workbooks back as they were before the last
  // assignment, generation, 场次编排 or 安排监考. False when there was
  // nothing to undo or it could not be done (the status line says why).
  bool undo();
  QAction* undo_action() const { return undo_action_; }
  // Long work's progress dialog asks `script` at every report instead of
  // waiting for the person (tests); `show_after_ms` is when it appears.
  void set_progress_script(WorkProgress::Script script,
                           int show_after_ms = WorkProgress::kShowAfterMs) {
    progress_script_ = std::move(script);
    progress_show_after_ms_ = show_after_ms;
  }
  WorkbookView* view() const { return view_; }
  app::Workspace* workspace() const { return workspace_.get(); }
  QString status_text() const;
  // The seed new workspaces get (tests).
  void set_seed(std::optional<uint64_t> seed) { seed_ = seed; }
  // New workspaces, lists and photos brought in, recent workspaces.
  WorkspaceDoor* door() const { return door_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  friend class WorkspaceDoor;
  static void remember_workspace(const QString& folder);
  bool adopt(std::unique_ptr<app::Workspace> ws);
  // Opens the workspace at `location` with the window's dialogs; throws
  // app::WorkspaceError.
  std::unique_ptr<app::Workspace> make_workspace(const std::string& location);
  // Shows what the workspace's click reported: warnings, why it was not
  // sent, a failure, the end of long work.
  void show_report(const app::WorkReport& report);
  // Runs kelv's own exam work (`name` in the status line while it runs)
  // with the form blocked, then shows its report.
  void run_exam_work(const char* name, const std::function<app::WorkReport()>& work,
                     bool undoable = false);
  // Long work with the progress dialog: stopped by 取消 it leaves the
  // workbooks as they were; finished, it can be undone.
  app::WorkReport run_long_work(const char* name, const std::function<app::WorkReport()>& work);
  // The exam page follows the open data workbook and the stored settings.
  void update_exam_page();
  // A workbook changed on disk while open: reload, save as, or cancel.
  // The session's questions, asked in the window (or through the script).
  app::Questions questions();
  app::ChangedChoice ask_changed(const std::string& path);
  // The .xlsx path for a workbook read from another kind of file; "" to
  // leave it unsaved.
  std::string ask_convert(const std::string& source, const std::string& target);
  // The path to save kelv's version of `path` under; "" to cancel.
  std::string ask_new_name(const std::string& path);
  // The caption and the unsaved-changes mark.
  void update_title();
  // After a list that is no data workbook was clicked: offers to make one
  // from it (考生表 from the list, an empty 考场表) and opens it.
  void offer_data_workbook_from_list();
  // The data list follows the data folder as files come and go.
  void refresh_data_list();
  // 文件 › 恢复以前的版本: puts a backup back and reloads the workspace.
  void restore_backup();
  void refresh_view();
  // Around a call into the component: input blocked and the view frozen,
  // then the view and the widgets brought up to date. Begin returns false
  // while there is no workspace or the component is already at work.
  bool begin_component_work();
  void end_component_work();
  void watch_host();
  void host_file_changed();
  // Asks about unsaved changes: true to go on (saved or discarded).
  bool settle_unsaved();
  void update_actions();
  // A text box still being edited forwards its change before a save or close.
  void commit_pending_edit();
  void show_failure(const std::string& text);
  // The workbook and sheet the view shows, for printing; false (with a
  // message) when there is none. While printing the component takes no
  // events.
  bool printable(const spreadsheet::Workbook** book, int32_t* sheet);
  // Runs `work` on what the view shows with the form blocked.
  PrintOutcome printing(
      const std::function<PrintOutcome(const spreadsheet::Workbook&, int32_t)>& work);

  QtDialogs dialogs_;
  SampleWriter sample_;
  std::unique_ptr<app::Workspace> workspace_;
  QSplitter* splitter_;
  FormPanel* panel_;
  ExamPage* exam_page_ = nullptr;
  WorkbookView* view_;
  HelpWindow* help_ = nullptr;
  WorkspaceDoor* door_ = nullptr;
  QLabel* status_;
  QAction* save_action_ = nullptr;
  QAction* restore_action_ = nullptr;
  QAction* open_external_action_ = nullptr;
  QAction* preview_action_ = nullptr;
  QAction* print_action_ = nullptr;
  QAction* export_action_ = nullptr;
  QAction* undo_action_ = nullptr;
  PrintPreview* preview_ = nullptr;
  std::unique_ptr<app::WorkSnapshot> undo_;
  WorkProgress::Script progress_script_;
  int progress_show_after_ms_ = WorkProgress::kShowAfterMs;
  QFileSystemWatcher watcher_;
  QTimer reload_timer_;
  bool busy_ = false;
  std::optional<uint64_t> seed_;
};

}  // namespace kelv::form
