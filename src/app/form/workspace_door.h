// The ways into a workspace with one's own data, for the form window:
// 文件 › 新建工作区… (a folder picked or made, the workspace written there,
// then an examinee list brought in and rooms made for it), a folder that is
// no workspace made into one, lists dropped on the window or lying in the
// data folder made into data workbooks, photos dropped on the window copied
// into the photo folder, the recent workspaces, and after a new 编排考号 the
// tables generated from the old numbers named and generated again. Every
// question goes through the window's dialogs, so a script answers them in
// tests: a folder or file to choose is then an input box.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <set>
#include <string>

class QAction;
class QMenu;
class QMenuBar;

namespace kelv::form {

class MainWindow;

class WorkspaceDoor : public QObject {
 public:
  explicit WorkspaceDoor(MainWindow& window);

  // Puts 新建工作区… and 最近的工作区 into `file` before `before`, the 考务
  // menu (编排考号, 生成表格 with their shortcuts) before `before_menu`, and
  // the shortcuts of 打印预览 and 导出 PDF on the window's actions.
  void install(QMenu* file, QAction* before, QMenuBar* bar, QMenu* before_menu);

  // 文件 › 新建工作区…: asks for a folder, writes the workspace there, opens
  // it and offers to bring a list in. False when nothing was made.
  bool new_workspace();
  // Writes a new workspace into `folder` and opens it; then offers the lists
  // lying at the folder's top, or else a file dialog for one. True once the
  // workspace is open, whether a list came in or not; false (with the
  // reason shown) when it could not be written or opened.
  bool create_in(const QString& folder);
  // Asks for an examinee list and brings it in. False when none came in.
  bool bring_list_in();
  // Makes the data workbook of the list at `path` in the data folder
  // (asking first when `ask` or when it would replace one), opens it, shows what the import warns
  // of and offers to fill its empty 考场表. False when none was made.
  bool import_list(const QString& path, bool ask);
  // Opening `location` failed because it is no workspace (`why` says so):
  // offers to make one there. True when a workspace is now open.
  bool offer_workspace_at(const QString& location, const QString& why);
  // After a workspace opened: remembered among the recent ones, and a list
  // lying in its data folder with no data workbook made from it offered.
  void opened();
  // The data folder changed: a list that arrived in it is offered once.
  void data_folder_changed();
  // Files dropped on the window: lists offered for import, photos copied
  // into the photo folder (asking before replacing one).
  void take_files(const QStringList& paths);
  // After 编排考号 finished: names the tables generated from the old
  // numbers and offers to generate them again.
  void after_arrangement();

  // The folder a folder dialog starts in: the last workspace's parent, else
  // the documents folder, else the home folder; always one that exists.
  static QString proposed_folder();
  // The recent workspaces that still exist, newest first.
  static QStringList recent_workspaces();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString choose_folder(const QString& title);
  QString choose_list(const QString& folder);
  void offer_rooms();
  void fill_recent_menu();
  void regenerate(const QStringList& tables);
  void status(const QString& text);

  MainWindow& window_;
  QMenu* recent_ = nullptr;
  // Lists of the data folder already offered in the workspace at
  // offered_root_.
  std::set<std::string> offered_;
  std::string offered_root_;
};

}  // namespace kelv::form
