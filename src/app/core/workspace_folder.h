// A workspace as files on the disk, before anything is opened: where its
// host workbook, data folder, photo folder, help document and backup folder
// are, which files the data list shows, and where a backup goes back to.
// Every front end finds these things here and nowhere else; nothing here
// reads a workbook.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/core/workbook_files.h"
#include "host/file_system.h"
#include "sheets/workspace_names.h"

namespace kelv::app {

using sheets::kBackupFolderName;
using sheets::kDataFolderName;
using sheets::kHelpDocumentName;
using sheets::kHostWorkbookName;
using sheets::kPhotoFolderName;

// Why a workspace or one of its files could not be found, opened or
// written: the one error type at the workspace's door. The message is a
// sentence for the person, naming the file or folder.
class WorkspaceError : public std::runtime_error {
 public:
  enum class Kind {
    Missing,        // no such folder or file
    NotAWorkspace,  // a folder without a host workbook, or a workbook that is none
    Ambiguous,      // several workbooks at the top and none named
    Unreadable,     // the host workbook cannot be read
    Failed,         // an operation on the workspace's files failed
    Scenario,       // a scenario that cannot be played as written
  };
  WorkspaceError(Kind kind, const std::string& message)
      : std::runtime_error(message), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

// An .xlsx or .xlsm file that the data list shows: no lock or hidden file
// of another program.
bool is_workbook_file(const std::string& path);

class WorkspaceFolder {
 public:
  // The workspace a location names: a workbook file (its folder is the
  // workspace), or a folder holding 考务.xlsx, or `host_name` when given, or
  // else a single .xlsx/.xlsm at its top. Throws WorkspaceError: Missing,
  // NotAWorkspace (no workbook at the top), Ambiguous (several and none
  // named).
  static WorkspaceFolder locate(const std::string& location,
                                const std::optional<std::string>& host_name = std::nullopt);
  // The workspace whose data folder holds `path`, if any.
  static std::optional<WorkspaceFolder> of_data_file(const std::string& path);
  // A workspace whose host workbook is (or will be) `host_path`.
  static WorkspaceFolder at_host_workbook(const std::string& host_path);

  // Absolute paths.
  const std::string& root() const { return root_; }
  const std::string& host_path() const { return host_path_; }
  std::string host_name() const;
  std::string data_folder() const;
  std::string photo_folder() const;
  std::string backup_folder() const;
  std::string help_document() const;
  // A file of the data folder by name.
  std::string data_file(const std::string& name) const;

  // The names the data list shows, as start-up lists them (every listed
  // file of the data folder), in ascending order.
  std::vector<std::string> data_files() const;
  // The data files that are .xlsx/.xlsm workbooks.
  std::vector<std::string> data_workbook_files() const;
  // True when `path` is a file of the data folder.
  bool in_data_folder(const std::string& path) const;

  // The copies saves kept, newest first.
  std::vector<Backup> backups() const;
  // Where a copy goes back to: the host workbook beside the backup folder,
  // any other workbook into the data folder.
  std::string restore_target(const Backup& backup) const;
  // Puts the copy back over its workbook, the file it replaces backed up
  // first. Throws WorkspaceError naming the file; the workbook is then as
  // it was.
  void restore(const Backup& backup, host::FileSystem& fs = host::FileSystem::system()) const;

  // Lock files other spreadsheet programs left beside `workbook_path`, each
  // as a warning naming both.
  static std::vector<std::string> lock_warnings(const std::string& workbook_path);

 private:
  std::string root_, host_path_;
};

}  // namespace kelv::app
