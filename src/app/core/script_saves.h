// Saves that scripts make through kelv.Application (Workbook.Save, SaveAs,
// Close with SaveChanges). A script cannot be asked anything, so the rules a
// person answers in the form are decided here: a file another program
// changed after kelv read it is never written (the save fails, naming the
// file, and the other program's change stays); every file a save replaces
// is first copied into the backup folder of its workspace, or into 备份/
// beside it outside any workspace; a workbook read from another kind of file
// (.xls, .csv, HTML) is saved as NAME.xlsx beside the original, which is
// never written.
#pragma once

#include <string>

#include "app/core/workbook_files.h"
#include "host/file_system.h"
#include "host/workbook.h"

namespace kelv::app {

class ScriptSaves {
 public:
  explicit ScriptSaves(host::FileSystem& files = host::FileSystem::system()) : files_(&files) {}

  // Notes a file as it is when kelv has read it (the engine's open
  // listener), so that a later save can tell whether someone else wrote it.
  void opened(const std::string& path) { known_.remember(path); }

  // Workbook.Save. Throws host::HostError naming the file when it changed
  // elsewhere, when the .xlsx a converted workbook would become is already
  // there and not kelv's, or when the backup or the save fails; the file on
  // disk is then as it was.
  void save(host::Workbook& book);
  // Workbook.SaveAs: the same rules for the file at `path`, which the
  // workbook is written to (a file there is backed up first).
  void save_as(host::Workbook& book, const std::string& path);

 private:
  void refuse_if_changed(const std::string& path) const;
  void replace(host::Workbook& book, const std::string& target, bool same_file);

  host::FileSystem* files_;
  OpenedFiles known_;
};

// Where the copy of `file` goes before a save replaces it: the backup folder
// of the workspace whose host workbook or data folder holds it, else 备份/
// in the file's own folder.
std::string backup_folder_for(const std::string& file);

}  // namespace kelv::app
