#include "app/form/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUrl>
#include <algorithm>
#include <filesystem>

#include "app/core/exam_work.h"
#include "app/core/failure_sentence.h"
#include "app/core/repair_notice.h"
#include "app/core/work_report.h"
#include "app/core/workbook_files.h"
#include "app/form/check_dialog.h"
#include "app/form/exam_page.h"
#include "app/form/first_start.h"
#include "app/form/help_window.h"
#include "app/form/window_state.h"
#include "app/form/workspace_door.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "host/system_environment.h"

namespace kelv::form {
namespace {

namespace fs = std::filesystem;

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

// A question with three answers: go ahead (`accept`), the answer that
// drops something (`destructive`), or 取消, which Escape also gives.
enum class Choice { Accept, Destructive, Cancel };
Choice ask_three_ways(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                      const QString& text, const QString& accept, const QString& destructive,
                      Choice default_choice) {
  QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
  QPushButton* yes = box.addButton(accept, QMessageBox::AcceptRole);
  QPushButton* drop = box.addButton(destructive, QMessageBox::DestructiveRole);
  QPushButton* cancel = box.addButton("取消", QMessageBox::RejectRole);
  box.setDefaultButton(default_choice == Choice::Accept        ? yes
                       : default_choice == Choice::Destructive ? drop
                                                               : cancel);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == yes) return Choice::Accept;
  if (box.clickedButton() == drop) return Choice::Destructive;
  return Choice::Cancel;
}

QString file_names(const std::vector<std::string>& paths) {
  QStringList names;
  for (const std::string& p : paths) names << QFileInfo(QString::fromStdString(p)).fileName();
  return names.join("、");
}

// What a failure says: a sentence with what to do, never a bare error number.
std::string failure_text(const std::exception& e) {
  return app::failure_sentence(e);
}

}  // namespace

MainWindow::MainWindow(SampleWriter sample) : sample_(std::move(sample)) {
  setObjectName("MainWindow");
  dialogs_.set_window(this);

  auto* splitter = new QSplitter(this);
  panel_ = new FormPanel(splitter);
  view_ = new WorkbookView(splitter);
  splitter->addWidget(panel_);
  splitter->addWidget(view_);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({430, 770});
  setCentralWidget(splitter);
  splitter_ = splitter;  // its sizes are remembered with the window's

  status_ = new QLabel(this);
  status_->setOpenExternalLinks(true);
  statusBar()->addWidget(status_, 1);

  QMenu* file = menuBar()->addMenu("文件(&F)");
  QAction* open = file->addAction("打开工作区(&O)…");
  open->setShortcut(QKeySequence::Open);
  connect(open, &QAction::triggered, this, [this] {
    if (!settle_unsaved()) return;
    const QString dir = QFileDialog::getExistingDirectory(this, "选择工作区文件夹",
                                                          WorkspaceDoor::proposed_folder());
    if (!dir.isEmpty()) open_workspace(dir.toStdString());
  });
  if (sample_) {
    QAction* sample_action = file->addAction("新建示例工作区(&N)…");
    connect(sample_action, &QAction::triggered, this, [this] {
      if (!settle_unsaved()) return;
      const QString dir = QFileDialog::getExistingDirectory(this, "选择存放示例工作区的文件夹",
                                                            WorkspaceDoor::proposed_folder());
      if (!dir.isEmpty()) create_sample(dir.toStdString());
    });
  }
  restore_action_ = file->addAction("恢复以前的版本(&R)…");
  connect(restore_action_, &QAction::triggered, this, [this] { restore_backup(); });
  save_action_ = file->addAction("保存(&S)");
  save_action_->setShortcut(QKeySequence::Save);
  connect(save_action_, &QAction::triggered, this, [this] { save_all(); });
  open_external_action_ = file->addAction("在电子表格软件中打开(&E)");
  connect(open_external_action_, &QAction::triggered, this,
          [this] { open_in_spreadsheet_application(); });
  file->addSeparator();
  preview_action_ = file->addAction("打印预览(&V)");
  connect(preview_action_, &QAction::triggered, this, [this] { print_preview(); });
  print_action_ = file->addAction("打印(&P)…");
  print_action_->setShortcut(QKeySequence::Print);
  connect(print_action_, &QAction::triggered, this, [this] { print(); });
  export_action_ = file->addAction("导出 PDF(&D)…");
  connect(export_action_, &QAction::triggered, this, [this] {
    const spreadsheet::Workbook* book = nullptr;
    int32_t sheet = -1;
    if (!printable(&book, &sheet)) return;
    const QString path = ask_pdf_path(this, *book, sheet);
    if (!path.isEmpty()) export_pdf(path);
  });
  file->addSeparator();
  QAction* quit = file->addAction("退出(&X)");
  quit->setShortcut(QKeySequence::Quit);
  connect(quit, &QAction::triggered, this, &QWidget::close);

  QMenu* edit = menuBar()->addMenu("编辑(&E)");
  edit->setToolTipsVisible(true);  // why 撤销 is not available
  undo_action_ = edit->addAction("撤销(&U)");
  undo_action_->setShortcut(QKeySequence::Undo);
  connect(undo_action_, &QAction::triggered, this, [this] { undo(); });
  edit->addSeparator();
  edit->addAction(view_->copy_action());
  edit->addAction(view_->select_all_action());
  edit->addSeparator();
  edit->addAction(view_->find_action());
  edit->addAction(view_->find_next_action());
  edit->addAction(view_->find_previous_action());
  QMenu* look = menuBar()->addMenu("视图(&V)");
  look->addAction(view_->zoom_in_action());
  look->addAction(view_->zoom_out_action());
  look->addAction(view_->zoom_reset_action());
  view_->on_message([this](const QString& text) { status_->setText(text); });
  QMenu* help = menuBar()->addMenu("帮助(&H)");
  QAction* guide = help->addAction("用户指南(&G)");
  guide->setShortcut(QKeySequence::HelpContents);
  connect(guide, &QAction::triggered, this, [this] { show_help(); });
  QAction* about = help->addAction("关于 kelv 考务(&A)");
  connect(about, &QAction::triggered, this,
          [this] { QMessageBox::about(this, "关于 kelv 考务", about_text()); });

  door_ = new WorkspaceDoor(*this);
  door_->install(file, restore_action_, menuBar(), help);

  exam_page_ = new ExamPage;
  panel_->add_page(exam_page_, "场次与监考");
  exam_page_->on_arrange([this](std::optional<uint64_t> seed) { arrange_sessions(seed); });
  exam_page_->on_suggest([this] { suggest_timetable(); });
  exam_page_->on_keep_combinations([this](bool keep) { set_keep_combinations(keep); });
  exam_page_->on_invigilate(
      [this](std::optional<uint64_t> seed, bool fresh) { invigilate(seed, fresh); });
  exam_page_->on_rules([this](bool subject, bool classes) { set_rota_rules(subject, classes); });

  panel_->on_click([this](const std::string& event) { run_event(event); });
  panel_->on_set([this](const std::string& control) { run_set(control); });

  reload_timer_.setSingleShot(true);
  reload_timer_.setInterval(300);
  connect(&reload_timer_, &QTimer::timeout, this, [this] { host_file_changed(); });
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { reload_timer_.start(); });
  // A file added to or removed from the data folder shows in the list.
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { refresh_data_list(); });

  setWindowTitle(window_title(kNoWorkspaceCaption, {}, {}));
  restore_window(*this, *splitter_);
  // The form has a fixed frame until its start-up makes it resizable.
  QtDialogs::make_fixed(this);
  update_actions();
}

MainWindow::~MainWindow() {
  panel_->bind(nullptr);
  view_->freeze();
}

QString MainWindow::status_text() const {
  return status_->text();
}

void MainWindow::show_failure(const std::string& text) {
  dialogs_.message_box(text, host::MessageButtons::Ok, host::MessageIcon::Critical, "错误");
}

std::unique_ptr<app::Workspace> MainWindow::make_workspace(const std::string& location) {
  app::WorkspaceOptions options;
  options.seed = seed_;
  // A damaged file, the host workbook or one the component opens, is
  // opened mended and the repairs shown.
  options.on_repair = [this](const spreadsheet::RepairReport& r) {
    dialogs_.message_box(app::repair_notice(r), host::MessageButtons::Ok, host::MessageIcon::None,
                         "文件已修复");
  };
  // A host workbook read again after a save opens the whole workspace anew.
  options.reload_host_in_engine = false;
  return std::make_unique<app::Workspace>(location, dialogs_, std::move(options));
}

bool MainWindow::open_workspace(const std::string& location) {
  if (busy_) return false;
  std::unique_ptr<app::Workspace> ws;
  try {
    ws = make_workspace(location);
  } catch (const app::WorkspaceError& e) {
    // A folder of other files (a roster alone) can become a workspace.
    if (e.kind() == app::WorkspaceError::Kind::NotAWorkspace)
      return door_->offer_workspace_at(q(location), q(e.what()));
    show_failure("打不开工作区：" + failure_text(e));
    return false;
  } catch (const std::exception& e) {
    show_failure("打不开工作区：" + failure_text(e));
    return false;
  }
  return adopt(std::move(ws));
}

bool MainWindow::adopt(std::unique_ptr<app::Workspace> ws) {
  view_->freeze();
  panel_->bind(nullptr);
  if (workspace_ != nullptr) {
    if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  }
  workspace_ = std::move(ws);
  undo_.reset();  // it belonged to the workspace open before
  remember_workspace(q(workspace_->root()));
  panel_->bind(&workspace_->form());
  update_title();
  status_->setText("工作区：" + QDir::toNativeSeparators(q(workspace_->root())));
  for (const std::string& warning : workspace_->take_warnings())
    dialogs_.message_box(warning, host::MessageButtons::Ok, host::MessageIcon::None, "提醒");
  run_event("UserFormInitialize");
  const QString data = q(workspace_->data_folder());
  if (QFileInfo(data).isDir() && !watcher_.directories().contains(data)) watcher_.addPath(data);
  door_->opened();
  return true;
}

void MainWindow::refresh_view() {
  if (workspace_ == nullptr) {
    view_->refresh(nullptr, QString());
    return;
  }
  try {
    host::Workbook& book = workspace_->engine().active_workbook();
    view_->refresh(&spreadsheet::Engine::model_of(book), q(book.name()));
  } catch (const std::exception&) {
    view_->refresh(nullptr, QString());
  }
}

bool MainWindow::begin_component_work() {
  if (workspace_ == nullptr || busy_) return false;
  busy_ = true;
  panel_->set_blocked(true);
  view_->freeze();
  return true;
}

void MainWindow::end_component_work() {
  refresh_view();
  panel_->sync_all();
  panel_->set_blocked(false);
  busy_ = false;
  update_actions();
}

void MainWindow::run_event(const std::string& event) {
  // Help is the guide in the form's own window, on every system.
  if (event == "MyHelp") {
    show_help();
    return;
  }
  if (!begin_component_work()) return;
  const char* long_work = app::long_work_name(event);
  if (long_work != nullptr) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    status_->setText(QString("正在%1…").arg(long_work));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  const app::WorkReport report =
      long_work != nullptr
          ? run_long_work(long_work, [&] { return workspace_->click(event, questions()); })
          : workspace_->click(event, questions());
  if (long_work != nullptr) QApplication::restoreOverrideCursor();
  show_report(report);
  update_title();
  end_component_work();
  watch_host();
  if (long_work != nullptr) QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  if (event == "LtbBiaoClick" && report.sent()) offer_data_workbook_from_list();
  if (event == "CmdDoKaoHaoClick" && report.sent() && !report.stopped && !report.failure &&
      !report.cancelled)
    door_->after_arrangement();
}

void MainWindow::show_report(const app::WorkReport& report) {
  for (const std::string& warning : report.warnings)
    dialogs_.message_box(warning, host::MessageButtons::Ok, host::MessageIcon::None, "提醒");
  if (!report.sent()) {
    if (report.gate != app::WorkReport::Gate::Disabled) status_->setText(q(report.gate_text()));
    return;
  }
  // The component shows its own failures; anything else still must not
  // take the window down.
  if (report.failure) show_failure(report.failure_text());
  // A run the error box ended is not done: the text says so, and what it
  // leaves.
  if (report.long_work) status_->setText(q(report.text()));
  if (!report.notes.empty()) {
    std::string text;
    for (const std::string& note : report.notes) text += note + "\n";
    dialogs_.message_box(text, host::MessageButtons::Ok, host::MessageIcon::None, "提醒");
  }
}

app::WorkReport MainWindow::run_long_work(const char* name,
                                          const std::function<app::WorkReport()>& work) {
  WorkProgress progress(this, q(name), progress_script_, progress_show_after_ms_);
  app::UndoableRun run;
  try {
    run = app::run_undoable(*workspace_, progress, name, work);
  } catch (const std::exception&) {
    // The snapshot could not be taken or put back (memory): said, not thrown.
    run.report.event = name;
    run.report.long_work = true;
    run.report.failure = std::current_exception();
  }
  // A cancelled run leaves the last step's undo as it was.
  if (run.undo != nullptr) undo_ = std::move(run.undo);
  return run.report;
}

bool MainWindow::undo() {
  if (undo_ == nullptr || !begin_component_work()) return false;
  const QString what = q(undo_->what());
  bool done = false;
  try {
    undo_->restore(*workspace_);
    // The files may hold the step's result (saved since): what is open now
    // differs from them until the next save.
    workspace_->mark_unsaved();
    done = true;
    status_->setText(
        QString("已撤销%1：工作簿已恢复到%1之前的样子（尚未保存，保存后才写入文件）").arg(what));
  } catch (const std::exception& e) {
    status_->setText(q(e.what()));
  }
  undo_.reset();
  update_title();
  end_component_work();
  return done;
}

void MainWindow::run_exam_work(const char* name, const std::function<app::WorkReport()>& work,
                               bool undoable) {
  if (!begin_component_work()) return;
  QApplication::setOverrideCursor(Qt::BusyCursor);
  status_->setText(QString("正在%1…").arg(q(name)));
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  app::WorkReport report;
  try {
    report = undoable ? run_long_work(name, work) : work();
  } catch (const std::exception& e) {
    report.event = name;
    report.stopped = true;
    report.failure = std::current_exception();
  }
  QApplication::restoreOverrideCursor();
  if (report.stopped && report.failure) show_failure(report.failure_text());
  status_->setText(q(report.text()));
  if (!report.notes.empty()) {
    std::string text;
    for (const std::string& note : report.notes) text += note + "\n";
    dialogs_.message_box(text, host::MessageButtons::Ok, host::MessageIcon::None, name);
  }
  update_title();
  end_component_work();
}

void MainWindow::arrange_sessions(std::optional<uint64_t> seed) {
  run_exam_work(
      app::kArrangeSessionsWork, [this, seed] { return app::arrange_sessions(*workspace_, seed); },
      true);
}

void MainWindow::suggest_timetable() {
  run_exam_work(app::kSuggestTimetableWork,
                [this] { return app::suggest_timetable(*workspace_, dialogs_); });
}

void MainWindow::set_keep_combinations(bool keep) {
  if (workspace_ == nullptr) return;
  try {
    app::set_keep_combinations(*workspace_, keep);
  } catch (const std::exception& e) {
    show_failure(failure_text(e));
  }
  status_->setText(keep ? "已设置：编排考号时把同一选考组合排在相连的考场，重新编排考号后生效"
                        : "已设置：编排考号时不再把同一选考组合排在一起，重新编排考号后生效");
  update_title();
}

void MainWindow::invigilate(std::optional<uint64_t> seed, bool fresh) {
  run_exam_work(
      app::kInvigilateWork,
      [this, seed, fresh] {
        host::Workbook* data = workspace_->data_workbook();
        if (data == nullptr) {
          app::WorkReport report;
          report.event = app::kInvigilateWork;
          report.long_work = true;
          report.made_nothing = true;
          report.summary = "请先在“数据表”列表里点选数据工作簿";
          return report;
        }
        return app::invigilate(*workspace_, *data, seed, fresh);
      },
      true);
}

void MainWindow::set_rota_rules(bool own_subject, bool own_classes) {
  if (workspace_ == nullptr) return;
  try {
    invigilation::Rules rules = app::rota_rules(*workspace_);
    rules.own_subject = own_subject;
    rules.own_class = own_classes;
    app::set_rota_rules(*workspace_, rules);
  } catch (const std::exception& e) {
    show_failure(failure_text(e));
  }
  update_title();
}

void MainWindow::update_exam_page() {
  const bool ready = workspace_ != nullptr && !busy_ && workspace_->data_workbook() != nullptr;
  exam_page_->set_ready(ready);
  if (workspace_ == nullptr) return;
  try {
    exam_page_->show_keep_combinations(app::keeps_combinations(*workspace_));
    const invigilation::Rules rules = app::rota_rules(*workspace_);
    exam_page_->show_rules(rules.own_subject, rules.own_class);
  } catch (const std::exception&) {
    exam_page_->show_keep_combinations(false);
  }
}

void MainWindow::offer_data_workbook_from_list() {
  // A list read from a .csv (or an .xls, HTML or XML file, or a one-sheet
  // .xlsx from another system) that lacks the two sheets was refused by
  // the component; kelv can make the data workbook from it.
  if (workspace_ == nullptr) return;
  const std::optional<app::ListOffer> offer = workspace_->list_offer();
  if (!offer) return;
  if (dialogs_.message_box(offer->question(), host::MessageButtons::YesNo, host::MessageIcon::None,
                           "做成数据工作簿") != host::MessageResult::Yes)
    return;
  if (!begin_component_work()) return;
  try {
    show_report(workspace_->take_offer(*offer, questions()));
  } catch (const std::exception& e) {
    show_failure(failure_text(e));
  }
  update_title();
  end_component_work();
}

void MainWindow::run_set(const std::string& control) {
  if (!begin_component_work()) return;
  try {
    workspace_->set(control);
  } catch (const std::exception& e) {
    show_failure(failure_text(e));
  }
  end_component_work();
  update_title();
}

void MainWindow::commit_pending_edit() {
  // Leaving the text box finishes its editing, which forwards the change.
  QWidget* focus = QApplication::focusWidget();
  if (focus != nullptr && panel_->isAncestorOf(focus)) focus->clearFocus();
}

bool MainWindow::save_all() {
  if (workspace_ == nullptr || busy_) return false;
  commit_pending_edit();
  app::SaveReport report;
  try {
    workspace_->save_all(questions(), report);
  } catch (const std::exception& e) {
    show_failure("保存失败：" + failure_text(e) +
                 (report.saved.empty() ? std::string()
                                       : "\n已保存：" + file_names(report.saved).toStdString()));
    return false;
  }
  watch_host();
  QString text = report.saved.empty() ? QString("没有保存任何工作簿")
                                      : QString("已保存 %1").arg(file_names(report.saved));
  if (!report.cancelled.empty()) text += QString("；未保存 %1").arg(file_names(report.cancelled));
  if (!report.reload.empty()) text += QString("；已重新载入 %1").arg(file_names(report.reload));
  status_->setText(text);
  const bool host_reloaded = std::find(report.reload.begin(), report.reload.end(),
                                       workspace_->host_path()) != report.reload.end();
  if (host_reloaded) {
    reload();
  } else {
    refresh_view();
    panel_->sync_all();
  }
  update_title();
  update_actions();
  return report.cancelled.empty();
}

app::Questions MainWindow::questions() {
  app::Questions questions;
  questions.changed = [this](const std::string& p) { return ask_changed(p); };
  questions.new_name = [this](const std::string& p) { return ask_new_name(p); };
  questions.convert = [this](const std::string& source, const std::string& target) {
    return ask_convert(source, target);
  };
  questions.check = check_question(dialogs_, this);
  return questions;
}

app::ChangedChoice MainWindow::ask_changed(const std::string& path) {
  const QString name = QFileInfo(q(path)).fileName();
  const std::string text = app::changed_elsewhere_text(name.toStdString());
  if (dialogs_.script() != nullptr)
    return app::ask_changed_by_message_boxes(dialogs_, path, name.toStdString());
  const Choice choice =
      ask_three_ways(this, QMessageBox::Warning, "文件已在别处修改",
                     q(text) +
                         "\n\n请选择：重新载入磁盘上的文件（放弃 kelv 对它的更改），"
                         "把 kelv 的版本另存为新文件，或取消（不保存这个工作簿）。",
                     "另存为…", "重新载入", Choice::Cancel);
  if (choice == Choice::Destructive) return app::ChangedChoice::Reload;
  if (choice == Choice::Accept) return app::ChangedChoice::SaveAs;
  return app::ChangedChoice::Cancel;
}

std::string MainWindow::ask_convert(const std::string& source, const std::string& target) {
  const QString shown_source = QFileInfo(q(source)).fileName();
  if (dialogs_.script() != nullptr)
    return app::ask_convert_by_message_boxes(dialogs_, target, shown_source.toStdString(),
                                             QFileInfo(q(target)).fileName().toStdString());
  // The file dialog asks before it replaces a file.
  const QString chosen =
      QFileDialog::getSaveFileName(this, QString("“%1”不是 .xlsx 工作簿，另存为").arg(shown_source),
                                   q(target), "Excel 工作簿 (*.xlsx)");
  if (chosen.isEmpty() || chosen == q(source)) return "";
  return chosen.toStdString();
}

std::string MainWindow::ask_new_name(const std::string& path) {
  std::string suggested = app::copy_name_beside(path);
  if (dialogs_.script() != nullptr) return suggested;
  const QString chosen =
      QFileDialog::getSaveFileName(this, "另存为", q(suggested), "Excel 工作簿 (*.xlsx *.xlsm)");
  if (chosen.isEmpty()) return "";
  if (chosen == q(path)) return "";  // the file changed elsewhere is never overwritten
  return chosen.toStdString();
}

void MainWindow::update_title() {
  if (workspace_ == nullptr) {
    setWindowTitle(window_title(kNoWorkspaceCaption, {}, {}));
    setWindowModified(false);
    return;
  }
  // The title starts with the form's caption, which the component finds
  // the window by; "[*]" marks unsaved changes.
  QString workbook;
  try {
    workbook = q(workspace_->engine().active_workbook().name());
  } catch (const std::exception&) {
    workbook.clear();
  }
  setWindowTitle(window_title(q(workspace_->form().caption()),
                              QFileInfo(q(workspace_->folder().root())).fileName(), workbook));
  setWindowModified(workspace_->unsaved());
}

HelpWindow* MainWindow::show_help() {
  if (help_ == nullptr) help_ = new HelpWindow(this);
  help_->show_guide();
  return help_;
}

void MainWindow::refresh_data_list() {
  if (workspace_ == nullptr || busy_) return;
  if (!workspace_->refresh_data_list()) return;
  panel_->sync_all();
  status_->setText("数据文件夹有变化，列表已更新");
  door_->data_folder_changed();
}

void MainWindow::restore_backup() {
  if (workspace_ == nullptr || busy_) return;
  const std::vector<app::Backup> backups = workspace_->backups();
  if (backups.empty()) {
    dialogs_.message_box("还没有备份。每次保存之前，kelv 会把旧文件复制到工作区的“备份”文件夹。",
                         host::MessageButtons::Ok, host::MessageIcon::None, "恢复以前的版本");
    return;
  }
  QStringList items;
  for (const app::Backup& b : backups) items << QString("%1    %2").arg(q(b.when()), q(b.workbook));
  bool ok = false;
  const QString chosen = QInputDialog::getItem(this, "恢复以前的版本",
                                               "选择要恢复的版本（恢复前，当前文件也会先备份）：",
                                               items, 0, false, &ok);
  if (!ok) return;
  const app::Backup& b = backups[static_cast<size_t>(items.indexOf(chosen))];
  if (workspace_->unsaved() &&
      QMessageBox::question(this, "恢复以前的版本",
                            "恢复会放弃尚未保存的更改并重新载入工作区，是否继续？") !=
          QMessageBox::Yes)
    return;
  try {
    workspace_->restore(b);
  } catch (const std::exception& e) {
    show_failure(failure_text(e));
    return;
  }
  const std::string host = workspace_->host_path();
  std::unique_ptr<app::Workspace> ws;
  try {
    ws = make_workspace(host);
  } catch (const std::exception& e) {
    show_failure("重新载入失败：" + failure_text(e));
    return;
  }
  adopt(std::move(ws));
  status_->setText(QString("已恢复 %1 在 %2 的版本").arg(q(b.workbook), q(b.when())));
}

void MainWindow::open_in_spreadsheet_application() {
  if (workspace_ == nullptr || !save_all()) return;
  try {
    dialogs_.open_document(app::file_of(workspace_->engine().active_workbook()));
  } catch (const host::HostError& e) {
    show_failure(failure_text(e));
  }
}

void MainWindow::watch_host() {
  if (workspace_ == nullptr) return;
  const QString path = q(workspace_->host_path());
  if (!watcher_.files().contains(path) && QFileInfo::exists(path)) watcher_.addPath(path);
}

void MainWindow::host_file_changed() {
  if (workspace_ == nullptr) return;
  if (busy_) {
    reload_timer_.start();
    return;
  }
  // A save replaces the file, which ends the watch on the old one.
  watch_host();
  const QFileInfo info(q(workspace_->host_path()));
  if (!info.exists()) {
    reload_timer_.start();
    return;
  }
  if (!workspace_->host_changed_elsewhere()) return;  // our own save, or a touch
  if (workspace_->unsaved()) {
    status_->setText(QString("%1 已在别处修改；有未保存的更改，未重新载入").arg(info.fileName()));
    return;
  }
  reload();
}

void MainWindow::reload() {
  if (workspace_ == nullptr) return;
  const std::string path = workspace_->host_path();
  std::unique_ptr<app::Workspace> ws;
  try {
    ws = make_workspace(path);
  } catch (const std::exception& e) {
    status_->setText(QString("重新载入失败：%1").arg(e.what()));
    return;
  }
  adopt(std::move(ws));
  status_->setText(QString("已重新载入 %1").arg(QFileInfo(q(path)).fileName()));
}

bool MainWindow::settle_unsaved() {
  if (workspace_ != nullptr) commit_pending_edit();
  if (workspace_ == nullptr || !workspace_->unsaved()) return true;
  // The question names the workbooks with changes (all open ones when the
  // engine cannot tell which).
  std::vector<std::string> changed, open;
  for (host::Workbook* book : workspace_->open_workbooks()) {
    open.push_back(app::file_of(*book));
    if (book->modified()) changed.push_back(open.back());
  }
  const std::string question =
      file_names(changed.empty() ? open : changed).toStdString() + " 有未保存的更改，是否保存？";
  if (dialogs_.script() != nullptr) {
    const host::MessageResult answer = dialogs_.message_box(question, host::MessageButtons::YesNo,
                                                            host::MessageIcon::None, "保存");
    return answer == host::MessageResult::Yes ? save_all() : true;
  }
  const Choice choice =
      ask_three_ways(this, QMessageBox::Question, "保存", QString::fromStdString(question), "保存",
                     "不保存", Choice::Accept);
  if (choice == Choice::Accept) return save_all();
  return choice == Choice::Destructive;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy_ || !settle_unsaved()) {
    event->ignore();
    return;
  }
  remember_window(*this, *splitter_);
  event->accept();
}

void MainWindow::update_actions() {
  const bool open = workspace_ != nullptr;
  save_action_->setEnabled(open);
  restore_action_->setEnabled(open);
  open_external_action_->setEnabled(open);
  for (QAction* a : {preview_action_, print_action_, export_action_}) a->setEnabled(open);
  const bool can_undo = open && undo_ != nullptr;
  undo_action_->setEnabled(can_undo && !busy_);
  undo_action_->setText(can_undo ? QString("撤销%1(&U)").arg(q(undo_->what())) : "撤销(&U)");
  undo_action_->setToolTip(
      can_undo ? QString("把工作簿恢复到%1之前的样子（只在内存中，保存后才写入文件）")
                     .arg(q(undo_->what()))
               : QString("没有可撤销的操作：编排考号、生成表格、场次编排或安排监考之后，"
                         "可以撤销最近的一步"));
  update_exam_page();
}

bool MainWindow::printable(const spreadsheet::Workbook** book, int32_t* sheet) {
  if (workspace_ == nullptr || busy_) return false;
  try {
    *book = &spreadsheet::Engine::model_of(workspace_->engine().active_workbook());
  } catch (const std::exception&) {
    *book = nullptr;
  }
  *sheet = view_->shown_sheet();
  if (*book == nullptr || *sheet < 0) {
    show_failure("没有可打印的工作表");
    return false;
  }
  return true;
}

void MainWindow::print_preview() {
  printing([this](const spreadsheet::Workbook& book, int32_t sheet) {
    PrintPreview dialog(book, sheet, this);
    preview_ = &dialog;
    dialog.exec();
    preview_ = nullptr;
    return PrintOutcome::Done;
  });
}

void MainWindow::print() {
  printing([this](const spreadsheet::Workbook& book, int32_t sheet) {
    const print::PrintJob job(book, {sheet});
    QString error;
    const PrintOutcome outcome = print_with_dialog(this, job, &error);
    if (outcome == PrintOutcome::Done)
      status_->setText(QString("已打印 %1 页").arg(job.page_count()));
    if (outcome == PrintOutcome::Failed) show_failure(error.toStdString());
    return outcome;
  });
}

PrintOutcome MainWindow::export_pdf(const QString& path) {
  return printing([&](const spreadsheet::Workbook& book, int32_t sheet) {
    const print::PrintJob job(book, {sheet});
    QString error = "没有可打印的内容：这张工作表是空的";
    const PrintOutcome outcome =
        job.page_count() == 0 ? PrintOutcome::Failed : form::export_pdf(this, job, path, &error);
    if (outcome == PrintOutcome::Done) {
      // Where it went, with a link that opens the folder.
      const QString folder = QFileInfo(path).absolutePath();
      status_->setText(QString("已导出 %1：%2 页　<a href=\"%3\">打开所在文件夹</a>")
                           .arg(QDir::toNativeSeparators(path).toHtmlEscaped())
                           .arg(job.page_count())
                           .arg(QUrl::fromLocalFile(folder).toString()));
    }
    if (outcome == PrintOutcome::Cancelled) status_->setText("已取消导出 PDF");
    if (outcome == PrintOutcome::Failed) show_failure(error.toStdString());
    return outcome;
  });
}

PrintOutcome MainWindow::printing(
    const std::function<PrintOutcome(const spreadsheet::Workbook&, int32_t)>& work) {
  const spreadsheet::Workbook* book = nullptr;
  int32_t sheet = -1;
  if (!printable(&book, &sheet)) return PrintOutcome::Failed;
  busy_ = true;
  panel_->set_blocked(true);
  const PrintOutcome outcome = work(*book, sheet);
  panel_->set_blocked(false);
  busy_ = false;
  return outcome;
}

bool MainWindow::create_sample(const std::string& parent) {
  if (!sample_) return false;
  // A new sub-folder, so that no workbook already in the chosen folder is
  // overwritten.
  std::error_code ec;
  fs::path target = host::file_path(parent) / host::file_path(kSampleFolder);
  for (int n = 2; fs::exists(target, ec); ++n)
    target = host::file_path(parent) /
             host::file_path(std::string(kSampleFolder) + " " + std::to_string(n));
  try {
    sample_(host::path_text(target));
  } catch (const std::exception& e) {
    show_failure(std::string("无法创建示例工作区：") + e.what());
    return false;
  }
  return open_workspace(host::path_text(target));
}

QString MainWindow::last_workspace() {
  const QString folder = QSettings("kelv", "kelv-form").value(kLastWorkspaceKey).toString();
  return !folder.isEmpty() && QFileInfo(folder).exists() ? folder : QString();
}

void MainWindow::remember_workspace(const QString& folder) {
  QSettings("kelv", "kelv-form").setValue(kLastWorkspaceKey, folder);
}

bool MainWindow::offer_start() {
  const QString last = last_workspace();
  // No workspace opened before: the sample in 文档\kelv 考务 comes first.
  const QString home = last.isEmpty() && sample_ ? sample_home() : QString();
  QString text = "请选择一个工作区文件夹，或用自己的考生名单新建工作区。";
  if (!last.isEmpty()) text += "\n\n上次的工作区：" + QDir::toNativeSeparators(last);
  if (!home.isEmpty())
    text =
        "欢迎使用 kelv 考务。\n\n第一次使用，可以先打开示例工作区：考生表、考场表、照片和模板"
        "都已备好，照着它熟悉编排考号和生成表格。示例放在 " +
        QDir::toNativeSeparators(home) +
        "。\n\n也可以打开自己的工作区文件夹，或点“新建工作区…”，用自己的考生名单开始。";
  QMessageBox box(QMessageBox::NoIcon, "kelv 考务", text, QMessageBox::NoButton, this);
  QPushButton* first =
      home.isEmpty() ? nullptr : box.addButton("打开示例工作区", QMessageBox::AcceptRole);
  QPushButton* again =
      last.isEmpty() ? nullptr : box.addButton("打开上次的工作区", QMessageBox::AcceptRole);
  QPushButton* open = box.addButton("打开文件夹…", QMessageBox::AcceptRole);
  QPushButton* fresh = box.addButton("新建工作区…", QMessageBox::AcceptRole);
  QPushButton* sample =
      sample_ ? box.addButton("新建示例工作区…", QMessageBox::ActionRole) : nullptr;
  QPushButton* quit = box.addButton("退出", QMessageBox::RejectRole);
  box.setDefaultButton(first != nullptr ? first : again != nullptr ? again : open);
  box.setEscapeButton(quit);
  // The sample goes under the user's documents unless another folder is chosen.
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  for (;;) {
    box.exec();
    if (first != nullptr && box.clickedButton() == first) {
      if (open_sample_in(*this, home)) return true;
    } else if (again != nullptr && box.clickedButton() == again) {
      if (open_workspace(last.toStdString())) return true;
    } else if (box.clickedButton() == open) {
      const QString dir = QFileDialog::getExistingDirectory(
          this, "选择工作区文件夹", last.isEmpty() ? WorkspaceDoor::proposed_folder() : last);
      if (!dir.isEmpty() && open_workspace(dir.toStdString())) return true;
    } else if (box.clickedButton() == fresh) {
      if (door_->new_workspace()) return true;
    } else if (sample != nullptr && box.clickedButton() == sample) {
      const QString dir =
          QFileDialog::getExistingDirectory(this, "选择存放示例工作区的文件夹", documents);
      if (!dir.isEmpty() && create_sample(dir.toStdString())) return true;
    } else {
      return false;
    }
  }
}

}  // namespace kelv::form
