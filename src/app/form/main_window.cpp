#include "app/form/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <filesystem>

#include "app/form/check_dialog.h"
#include "host/host_error.h"

namespace kelv::form {
namespace {

namespace fs = std::filesystem;

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

// Long work shows a busy cursor and its duration in the status bar.
const char* long_work_text(const std::string& event) {
  if (event == "CmdDoKaoHaoClick") return "编排考号";
  if (event == "CmdDoYongBiaoClick") return "生成表格";
  return nullptr;
}

// What a failure says: the component's error text for a host error.
std::string failure_text(const std::exception& e) {
  if (const auto* host_error = dynamic_cast<const host::HostError*>(&e))
    return bridge::ErrorBoxText(*host_error);
  return e.what();
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

  status_ = new QLabel(this);
  statusBar()->addWidget(status_, 1);

  QMenu* file = menuBar()->addMenu("文件(&F)");
  QAction* open = file->addAction("打开工作区(&O)…");
  open->setShortcut(QKeySequence::Open);
  connect(open, &QAction::triggered, this, [this] {
    if (!settle_unsaved()) return;
    const QString dir = QFileDialog::getExistingDirectory(this, "选择工作区文件夹");
    if (!dir.isEmpty()) open_workspace(dir.toStdString());
  });
  if (sample_) {
    QAction* sample_action = file->addAction("新建示例工作区(&N)…");
    connect(sample_action, &QAction::triggered, this, [this] {
      if (!settle_unsaved()) return;
      const QString dir = QFileDialog::getExistingDirectory(this, "选择存放示例工作区的文件夹");
      if (!dir.isEmpty()) create_sample(dir.toStdString());
    });
  }
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

  panel_->on_click([this](const std::string& event) { run_event(event); });
  panel_->on_set([this](const std::string& control) { run_set(control); });

  reload_timer_.setSingleShot(true);
  reload_timer_.setInterval(300);
  connect(&reload_timer_, &QTimer::timeout, this, [this] { host_file_changed(); });
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { reload_timer_.start(); });

  setWindowTitle("kelv 考务");
  resize(1200, 720);
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

bool MainWindow::open_workspace(const std::string& location) {
  if (busy_) return false;
  std::unique_ptr<Workspace> ws;
  try {
    ws = std::make_unique<Workspace>(location, dialogs_, seed_);
  } catch (const std::exception& e) {
    show_failure("打不开工作区：" + failure_text(e));
    return false;
  }
  return adopt(std::move(ws));
}

bool MainWindow::adopt(std::unique_ptr<Workspace> ws) {
  view_->freeze();
  panel_->bind(nullptr);
  if (workspace_ != nullptr) watcher_.removePaths(watcher_.files());
  workspace_ = std::move(ws);
  panel_->bind(&workspace_->form());
  setWindowTitle(q(workspace_->form().caption()));
  note_host_file();
  status_->setText("工作区：" + QDir::toNativeSeparators(q(workspace_->folder())));
  run_event("UserFormInitialize");
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
  if (workspace_ != nullptr && !busy_ && !check_before(*workspace_, event, dialogs_, this)) {
    status_->setText("已取消：检查数据时发现问题，没有开始");
    return;
  }
  if (!begin_component_work()) return;
  const char* long_work = long_work_text(event);
  if (long_work != nullptr) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    status_->setText(QString("正在%1…").arg(long_work));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  QElapsedTimer timer;
  timer.start();
  try {
    if (event == "UserFormInitialize")
      workspace_->start();
    else
      workspace_->click(event);
  } catch (const std::exception& e) {
    // The component shows its own failures; anything else still must not
    // take the window down.
    show_failure(e.what());
  }
  if (long_work != nullptr) {
    QApplication::restoreOverrideCursor();
    const qint64 ms = timer.elapsed();
    status_->setText(
        ms < 1000 ? QString("%1完成，用时 %2 毫秒").arg(long_work).arg(ms)
                  : QString("%1完成，用时 %2 秒").arg(long_work).arg(ms / 1000.0, 0, 'f', 1));
  }
  setWindowTitle(q(workspace_->form().caption()));
  end_component_work();
  watch_host();
  if (long_work != nullptr) QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::run_set(const std::string& control) {
  if (!begin_component_work()) return;
  try {
    workspace_->set(control);
  } catch (const std::exception& e) {
    show_failure(failure_text(e));
  }
  end_component_work();
}

void MainWindow::commit_pending_edit() {
  // Leaving the text box finishes its editing, which forwards the change.
  QWidget* focus = QApplication::focusWidget();
  if (focus != nullptr && panel_->isAncestorOf(focus)) focus->clearFocus();
}

bool MainWindow::save_all() {
  if (workspace_ == nullptr || busy_) return false;
  commit_pending_edit();
  std::vector<std::string> saved;
  try {
    saved = workspace_->save();
  } catch (const std::exception& e) {
    show_failure("保存失败：" + failure_text(e));
    return false;
  }
  note_host_file();
  watch_host();
  status_->setText(QString("已保存 %1 个工作簿").arg(saved.size()));
  update_actions();
  return true;
}

void MainWindow::open_in_spreadsheet_application() {
  if (workspace_ == nullptr || !save_all()) return;
  try {
    dialogs_.open_document(Workspace::file_of(workspace_->engine().active_workbook()));
  } catch (const host::HostError& e) {
    show_failure(bridge::ErrorBoxText(e));
  }
}

void MainWindow::note_host_file() {
  const QFileInfo info(q(workspace_->host_path()));
  host_stamp_ = info.lastModified();
  host_size_ = info.size();
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
  if (info.lastModified() == host_stamp_ && info.size() == host_size_) return;  // our own save
  if (workspace_->unsaved()) {
    status_->setText(QString("%1 已在别处修改；有未保存的更改，未重新载入").arg(info.fileName()));
    return;
  }
  reload();
}

void MainWindow::reload() {
  if (workspace_ == nullptr) return;
  const std::string path = workspace_->host_path();
  std::unique_ptr<Workspace> ws;
  try {
    ws = std::make_unique<Workspace>(path, dialogs_, seed_);
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
  const char* question = "工作簿有未保存的更改，是否保存？";
  if (dialogs_.script() != nullptr) {
    const host::MessageResult answer = dialogs_.message_box(question, host::MessageButtons::YesNo,
                                                            host::MessageIcon::None, "保存");
    return answer == host::MessageResult::Yes ? save_all() : true;
  }
  QMessageBox box(QMessageBox::Question, "保存", question, QMessageBox::NoButton, this);
  QPushButton* save = box.addButton("保存", QMessageBox::AcceptRole);
  QPushButton* discard = box.addButton("不保存", QMessageBox::DestructiveRole);
  QPushButton* cancel = box.addButton("取消", QMessageBox::RejectRole);
  box.setDefaultButton(save);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == save) return save_all();
  return box.clickedButton() == discard;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy_ || !settle_unsaved()) {
    event->ignore();
    return;
  }
  event->accept();
}

void MainWindow::update_actions() {
  const bool open = workspace_ != nullptr;
  save_action_->setEnabled(open);
  open_external_action_->setEnabled(open);
  for (QAction* a : {preview_action_, print_action_, export_action_}) a->setEnabled(open);
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
    if (outcome == PrintOutcome::Done)
      status_->setText(
          QString("已导出 %1：%2 页").arg(QDir::toNativeSeparators(path)).arg(job.page_count()));
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
  fs::path target = fs::path(parent) / kSampleFolder;
  for (int n = 2; fs::exists(target, ec); ++n)
    target = fs::path(parent) / (std::string(kSampleFolder) + " " + std::to_string(n));
  try {
    sample_(target.string());
  } catch (const std::exception& e) {
    show_failure(std::string("无法创建示例工作区：") + e.what());
    return false;
  }
  return open_workspace(target.string());
}

bool MainWindow::offer_start() {
  QMessageBox box(QMessageBox::NoIcon, "kelv 考务", "请选择一个工作区文件夹，或新建示例工作区。",
                  QMessageBox::NoButton, this);
  QPushButton* open = box.addButton("打开文件夹…", QMessageBox::AcceptRole);
  QPushButton* sample =
      sample_ ? box.addButton("新建示例工作区…", QMessageBox::ActionRole) : nullptr;
  QPushButton* quit = box.addButton("退出", QMessageBox::RejectRole);
  box.setEscapeButton(quit);
  for (;;) {
    box.exec();
    if (box.clickedButton() == open) {
      const QString dir = QFileDialog::getExistingDirectory(this, "选择工作区文件夹");
      if (!dir.isEmpty() && open_workspace(dir.toStdString())) return true;
    } else if (sample != nullptr && box.clickedButton() == sample) {
      const QString dir = QFileDialog::getExistingDirectory(this, "选择存放示例工作区的文件夹");
      if (!dir.isEmpty() && create_sample(dir.toStdString())) return true;
    } else {
      return false;
    }
  }
}

}  // namespace kelv::form
