#include "app/form/workspace_door.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>
#include <vector>

#include "app/core/arrangement_state.h"
#include "app/core/failure_sentence.h"
#include "app/core/roster_intake.h"
#include "app/form/main_window.h"
#include "app/form/window_state.h"
#include "app/sample/new_workspace.h"
#include "host/host_error.h"
#include "xlsx/xlsx_format.h"

namespace kelv::form {
namespace {

QString q(const std::string& s) {
  return QString::fromStdString(s);
}

QString file_name(const QString& path) {
  return QFileInfo(path).fileName();
}

const char* const kListFilter =
    "考生名单 (*.csv *.xls *.xlsx *.xlsm *.htm *.html *.txt *.xml);;所有文件 (*)";

}  // namespace

WorkspaceDoor::WorkspaceDoor(MainWindow& window) : QObject(&window), window_(window) {
  window_.setAcceptDrops(true);
  window_.installEventFilter(this);
}

void WorkspaceDoor::install(QMenu* file, QAction* before, QMenuBar* bar, QMenu* before_menu) {
  auto* create = new QAction("新建工作区(&W)…", file);
  create->setShortcut(QKeySequence::New);
  connect(create, &QAction::triggered, this, [this] { new_workspace(); });
  file->insertAction(before, create);
  recent_ = new QMenu("最近的工作区(&J)", file);
  recent_->setObjectName("RecentWorkspaces");
  file->insertMenu(before, recent_);
  connect(recent_, &QMenu::aboutToShow, this, [this] { fill_recent_menu(); });
  fill_recent_menu();

  QMenu* work = new QMenu("考务(&K)", bar);
  bar->insertMenu(before_menu->menuAction(), work);
  QAction* arrange = work->addAction("编排考号(&A)");
  arrange->setShortcut(QKeySequence("Ctrl+K"));
  connect(arrange, &QAction::triggered, this, [this] { window_.run_event("CmdDoKaoHaoClick"); });
  QAction* generate = work->addAction("生成表格(&G)");
  generate->setShortcut(QKeySequence("Ctrl+G"));
  connect(generate, &QAction::triggered, this, [this] { window_.run_event("CmdDoYongBiaoClick"); });
  work->addSeparator();
  QAction* list = work->addAction("导入考生名单(&I)…");
  connect(list, &QAction::triggered, this, [this] { bring_list_in(); });
  window_.preview_action_->setShortcut(QKeySequence("Ctrl+Shift+P"));
  window_.export_action_->setShortcut(QKeySequence("Ctrl+E"));
}

QString WorkspaceDoor::proposed_folder() {
  const QString last = MainWindow::last_workspace();
  if (!last.isEmpty()) {
    QString parent = QFileInfo(last).absolutePath();
    if (QFileInfo(parent).isDir()) return parent;
  }
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
  return QDir::homePath();
}

QStringList WorkspaceDoor::recent_workspaces() {
  return form::recent_workspaces();
}

void WorkspaceDoor::fill_recent_menu() {
  if (recent_ == nullptr) return;
  recent_->clear();
  const QStringList folders = recent_workspaces();
  for (int i = 0; i < folders.size(); ++i) {
    const QString& folder = folders[i];
    QAction* a =
        recent_->addAction(QString("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(folder)));
    connect(a, &QAction::triggered, this, [this, folder] {
      if (window_.settle_unsaved()) window_.open_workspace(folder.toStdString());
    });
  }
  if (folders.isEmpty()) recent_->addAction("（还没有）")->setEnabled(false);
}

QString WorkspaceDoor::choose_folder(const QString& title) {
  const QString proposed = proposed_folder();
  if (host::RecordingDialogs* script = window_.dialogs().script())
    return q(script->input_box(title.toStdString(), "选择文件夹", proposed.toStdString()));
  return QFileDialog::getExistingDirectory(&window_, title, proposed);
}

QString WorkspaceDoor::choose_list(const QString& folder) {
  const QString title = "选择考生名单（.csv、.xls、.xlsx 等），把它做成数据工作簿";
  if (host::RecordingDialogs* script = window_.dialogs().script())
    return q(script->input_box(title.toStdString(), "导入考生名单", folder.toStdString()));
  return QFileDialog::getOpenFileName(&window_, title, folder, kListFilter);
}

void WorkspaceDoor::status(const QString& text) {
  window_.status_->setText(text);
}

bool WorkspaceDoor::new_workspace() {
  if (!window_.settle_unsaved()) return false;
  const QString folder = choose_folder("选择或新建一个文件夹，用来存放新的工作区");
  if (folder.isEmpty()) return false;
  return create_in(folder);
}

bool WorkspaceDoor::create_in(const QString& folder) {
  if (window_.busy_) return false;
  try {
    xlsx::XlsxFormat format;
    sample::write_new_workspace(folder.toStdString(), format);
  } catch (const std::exception& e) {
    window_.show_failure(app::failure_sentence(e));
    return false;
  }
  if (!window_.open_workspace(folder.toStdString())) return false;
  status(QString("已新建工作区：%1").arg(QDir::toNativeSeparators(folder)));
  // A list lying beside the new workspace is the one to bring in.
  const std::vector<std::string> lying = app::rosters_in(folder.toStdString());
  if (!lying.empty())
    import_list(q(lying.front()), true);
  else
    bring_list_in();
  return true;
}

bool WorkspaceDoor::bring_list_in() {
  if (window_.workspace() == nullptr) return false;
  const QString path = choose_list(proposed_folder());
  if (path.isEmpty()) {
    status("工作区已就绪。要导入考生名单，可以用 考务 › 导入考生名单，或把名单文件拖到窗口里");
    return false;
  }
  return import_list(path, false);
}

bool WorkspaceDoor::import_list(const QString& path, bool ask) {
  app::Workspace* ws = window_.workspace();
  if (ws == nullptr) return false;
  const std::string source = QFileInfo(path).absoluteFilePath().toStdString();
  if (!app::is_roster_file(source) || !QFileInfo(path).isFile()) {
    window_.show_failure(
        "“" + file_name(path).toStdString() +
        "”不是 kelv 能读的考生名单：请选择 .csv、.xls、.xlsx 或网页（.htm）格式的名单。");
    return false;
  }
  const app::ListOffer offer = app::roster_offer(ws->folder(), source);
  offered_.insert(QFileInfo(path).fileName().toStdString());
  // A data workbook of that name is never replaced unasked.
  if ((ask || offer.target_exists) &&
      window_.dialogs().message_box(offer.question(), host::MessageButtons::YesNo,
                                    host::MessageIcon::None,
                                    "做成数据工作簿") != host::MessageResult::Yes)
    return false;
  if (!window_.begin_component_work()) return false;
  bool made = false;
  try {
    const app::WorkReport report = ws->take_offer(offer, window_.questions());
    window_.show_report(report);
    made = ws->data_workbook() != nullptr;
  } catch (const std::exception& e) {
    window_.show_failure(app::failure_sentence(e));
  }
  window_.update_title();
  window_.end_component_work();
  if (!made) return false;
  status(QString("已做成数据工作簿 %1").arg(file_name(q(offer.target))));
  offer_rooms();
  return true;
}

void WorkspaceDoor::offer_rooms() {
  app::Workspace* ws = window_.workspace();
  host::Workbook* data = ws != nullptr ? ws->data_workbook() : nullptr;
  if (data == nullptr || app::has_rooms(*data)) return;
  const int32_t people = app::examinee_count(*data);
  if (people == 0) return;
  const std::string prompt = "“考场表”还是空的：名单里有 " + std::to_string(people) +
                             " 名考生。每个考场坐多少人？kelv 按这个人数排出考场 01、02……"
                             "（之后可以在电子表格软件里改考场表）。取消则不排考场。";
  std::string answer = "30";
  for (;;) {
    answer = window_.dialogs().input_box(prompt, "排考场", answer);
    if (answer.empty()) {
      status("考场表还是空的：填好考场之后才能编排考号");
      return;
    }
    bool ok = false;
    const int places = QString::fromStdString(answer).trimmed().toInt(&ok);
    if (ok && places > 0) {
      int32_t rooms = 0;
      try {
        rooms = app::fill_rooms(*data, places);
      } catch (const std::exception& e) {
        window_.show_failure(app::failure_sentence(e));
        return;
      }
      ws->mark_unsaved();
      window_.refresh_view();
      window_.update_title();
      status(QString("已排出 %1 个考场，每个考场 %2 人：可以编排考号了").arg(rooms).arg(places));
      return;
    }
    window_.dialogs().message_box("“" + answer + "”不是人数：请填一个大于 0 的整数，如 30。",
                                  host::MessageButtons::Ok, host::MessageIcon::None, "排考场");
  }
}

bool WorkspaceDoor::offer_workspace_at(const QString& location, const QString& why) {
  const QFileInfo info(location);
  const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
  // The reason's first sentence; the question says what can be done.
  const QString reason = why.contains("。") ? why.section("。", 0, 0) + "。" : why;
  const std::string question = reason.toStdString() + "\n\n是否在“" +
                               QDir::toNativeSeparators(folder).toStdString() +
                               "”新建工作区？名单之后导入，文件夹里原有的文件都不会改动。";
  if (window_.dialogs().message_box(question, host::MessageButtons::YesNo, host::MessageIcon::None,
                                    "不是工作区") != host::MessageResult::Yes)
    return false;
  return create_in(folder);
}

void WorkspaceDoor::opened() {
  app::Workspace* ws = window_.workspace();
  if (ws == nullptr) return;
  remember_recent_workspace(q(ws->root()));
  // Reopened after a save or a restore, the same workspace asks no list again.
  if (offered_root_ != ws->root()) offered_.clear();
  offered_root_ = ws->root();
  data_folder_changed();
}

void WorkspaceDoor::data_folder_changed() {
  app::Workspace* ws = window_.workspace();
  if (ws == nullptr || window_.busy_) return;
  for (const std::string& name : app::rosters_waiting(ws->folder())) {
    if (!offered_.insert(name).second) continue;
    import_list(q(ws->folder().data_file(name)), true);
    return;  // one question at a time
  }
}

void WorkspaceDoor::take_files(const QStringList& paths) {
  app::Workspace* ws = window_.workspace();
  if (ws == nullptr) {
    window_.show_failure("请先打开或新建一个工作区，再把名单或照片拖进来。");
    return;
  }
  std::vector<std::string> photos;
  QStringList lists, others;
  for (const QString& p : paths) {
    const std::string path = p.toStdString();
    if (app::is_photo_file(path))
      photos.push_back(path);
    else if (app::is_roster_file(path) && QFileInfo(p).isFile())
      lists << p;
    else
      others << file_name(p);
  }
  if (!photos.empty()) {
    const app::PhotoCopyReport report =
        app::copy_photos(photos, ws->folder().photo_folder(), [this](const std::string& name) {
          return window_.dialogs().message_box(
                     "“照片”文件夹里已经有“" + name + "”。是否用拖进来的照片替换它？",
                     host::MessageButtons::YesNo, host::MessageIcon::None,
                     "替换照片") == host::MessageResult::Yes;
        });
    status(q(report.text()));
  }
  for (const QString& list : lists) import_list(list, true);
  if (!others.isEmpty())
    window_.show_failure("“" + others.join("”、“").toStdString() +
                         "”既不是考生名单也不是照片，没有用它。名单请用 .csv、.xls 或 .xlsx，"
                         "照片请用 .jpg 或 .png。");
}

void WorkspaceDoor::after_arrangement() {
  app::Workspace* ws = window_.workspace();
  host::Workbook* data = ws != nullptr ? ws->data_workbook() : nullptr;
  if (data == nullptr) return;
  std::vector<std::string> stale;
  try {
    stale = app::generated_tables(ws->engine().this_workbook(), *data);
  } catch (const std::exception&) {
    return;
  }
  if (stale.empty()) return;
  if (window_.dialogs().message_box(app::stale_tables_question(stale), host::MessageButtons::YesNo,
                                    host::MessageIcon::None,
                                    "表格已过时") != host::MessageResult::Yes) {
    status(q(app::stale_tables_text(stale)));
    return;
  }
  QStringList tables;
  for (const std::string& s : stale) tables << q(s);
  regenerate(tables);
}

void WorkspaceDoor::regenerate(const QStringList& tables) {
  app::Workspace* ws = window_.workspace();
  host::Control& list = ws->form()["LtbMoBan"];
  const int32_t chosen = list.list_index();
  QStringList made, failed;
  for (const QString& table : tables) {
    const std::vector<std::string>& items = list.items();
    const auto it = std::find(items.begin(), items.end(), table.toStdString());
    if (it == items.end()) continue;
    list.set_list_index(static_cast<int32_t>(it - items.begin()));
    window_.run_event("LtbMoBanClick");
    window_.run_event("CmdDoYongBiaoClick");
    host::Workbook* data = ws->data_workbook();
    std::vector<std::string> now;
    if (data != nullptr) now = app::generated_tables(ws->engine().this_workbook(), *data);
    const bool there = std::find(now.begin(), now.end(), table.toStdString()) != now.end();
    (there ? made : failed) << table;
  }
  // The template the person had chosen is chosen again.
  if (chosen >= 0 && chosen < list.list_count() && chosen != list.list_index()) {
    list.set_list_index(chosen);
    window_.run_event("LtbMoBanClick");
  }
  QString text;
  if (!made.isEmpty()) text = QString("已按新的考号重新生成“%1”").arg(made.join("”、“"));
  if (!failed.isEmpty())
    text += (text.isEmpty() ? "" : "；") +
            QString("“%1”没有生成，请检查后再生成").arg(failed.join("”、“"));
  status(text);
}

bool WorkspaceDoor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_ && event->type() == QEvent::DragEnter) {
    auto* drag = static_cast<QDragEnterEvent*>(event);
    if (drag->mimeData()->hasUrls()) {
      drag->acceptProposedAction();
      return true;
    }
  }
  if (watched == &window_ && event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    QStringList paths;
    for (const QUrl& url : drop->mimeData()->urls())
      if (url.isLocalFile()) paths << url.toLocalFile();
    if (paths.isEmpty()) return false;
    drop->acceptProposedAction();
    take_files(paths);
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kelv::form
