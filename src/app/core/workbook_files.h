// Keeping the user's workbooks safe around every save a front end makes:
// a workbook another program changed while kelv had it open is never
// overwritten unasked, and the file a save replaces is kept as a backup.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/dialogs.h"
#include "host/file_system.h"
#include "host/workbook.h"
#include "spreadsheet/engine.h"

namespace kelv::app {

// What a file on disk is at one moment: its size, modification time and a
// hash of its bytes. A missing file has exists == false.
struct FileIdentity {
  bool exists = false;
  uintmax_t size = 0;
  int64_t modified = 0;  // the file system's clock, in its own ticks
  uint64_t hash = 0;     // FNV-1a over the bytes

  bool same_file_as(const FileIdentity& other) const;
};

// Reads the whole file to hash it; a file that cannot be read counts as
// missing.
FileIdentity identify_file(const std::string& path);

// The workbook files a front end read or wrote, each as it was then.
class OpenedFiles {
 public:
  // Notes the file as it is now (after opening or saving it).
  void remember(const std::string& path);
  void forget(const std::string& path);
  bool knows(const std::string& path) const { return files_.count(path) > 0; }
  // True when the file is known and what is on disk now is another file
  // with other bytes. Touching a file without changing it is no change, and
  // neither is a file that is gone (nobody's work is there to lose).
  bool changed_elsewhere(const std::string& path) const;

 private:
  std::map<std::string, FileIdentity> files_;
};

// Lock files other spreadsheet programs leave beside a workbook they have
// open: "~$NAME" (Excel, WPS) and ".~lock.NAME#" (LibreOffice). Empty when
// there is none.
std::vector<std::string> lock_files_of(const std::string& workbook_path);
// The warning for such a workbook, naming it and the lock file.
std::string lock_warning(const std::string& workbook_path, const std::string& lock_file);

// Backups: before a front end replaces a workbook, the old file is copied to
// the backup folder beside the host workbook as "STEM.YYYYMMDD-HHMMSS.EXT"
// (local time), and only the newest kBackupsKept copies of each workbook stay.
inline constexpr int kBackupsKept = 20;

struct Backup {
  std::string path;          // the copy
  std::string workbook;      // the file name it is a copy of
  std::string stamp;         // "YYYYMMDD-HHMMSS", with "-N" for a second copy in one second
  std::string when() const;  // "2026-12-08 18:31:02"
};

// Copies `file` into `folder` (made when missing) and prunes that workbook's
// older copies. Returns the copy's path, or "" when `file` does not exist.
// The copy is written through `files` like a save, so it is whole or not
// there. Throws host::HostError naming the file when the copy fails; the
// caller then does not replace the workbook.
std::string keep_backup(
    const std::string& file, const std::string& folder,
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now(),
    int keep = kBackupsKept, host::FileSystem& files = host::FileSystem::system());
// The copies in `folder`, newest first; of one workbook when `workbook` (a
// file name) is given.
std::vector<Backup> list_backups(const std::string& folder, const std::string& workbook = "");
// Puts a copy back over `target`, byte for byte. The file it replaces is
// backed up first, so a restore can be undone too; the copy is written
// beside the target and renamed over it. Throws host::HostError naming the
// file.
void restore_backup(const Backup& backup, const std::string& target, const std::string& folder,
                    host::FileSystem& files = host::FileSystem::system());

// Copies `from` over `to`, byte for byte, through `files` (host::copy_file),
// so `to` is always either the old file or the whole copy. Throws
// host::HostError naming the file.
void copy_file_over(const std::string& from, const std::string& to,
                    host::FileSystem& files = host::FileSystem::system());

// What to do with a workbook that changed on disk while kelv had it open.
enum class ChangedChoice { Reload, SaveAs, Cancel };

// A name beside `path` that no file has: "NAME（kelv 副本）.xlsx", then
// "NAME（kelv 副本 2）.xlsx" and so on.
std::string copy_name_beside(const std::string& path);

// Asks through message boxes, for front ends without a window of their own
// (kelv run, kelv play): "reload?" then "save under another name?"; an
// unanswered box says No, so the default is to cancel and write nothing.
// `shown` is how the file is named to the user (relative to the workspace).
ChangedChoice ask_changed_by_message_boxes(host::Dialogs& dialogs, const std::string& path,
                                           const std::string& shown);

// The text of the question, for every front end.
std::string changed_elsewhere_text(const std::string& shown_name);

// One save of a front end: for each workbook, in order, a file changed
// elsewhere is handed to `ask`; otherwise (or on SaveAs, under the new
// name) the old file is backed up and the workbook saved.
struct SaveReport {
  std::vector<std::string> saved;      // paths written
  std::vector<std::string> reload;     // paths the user chose to read again
  std::vector<std::string> cancelled;  // paths left alone
  // Workbooks read from another kind of file (.xls, .csv, ...), each with
  // the .xlsx file it was saved as.
  std::vector<std::pair<std::string, std::string>> converted;
};

// The .xlsx file a workbook read from another kind of file (.xls, .csv,
// HTML, XML) is saved as the first time (NAME.xlsx beside it); "" for a
// workbook that saves to its own file.
std::string other_kind_target(host::Workbook& book);

// Asks before a workbook read from another kind of file is first saved:
// may it be written as `target` (and, when that file exists, replace it)?
// Returns `target`, or "" when the answer is No or unanswered.
std::string ask_convert_by_message_boxes(host::Dialogs& dialogs, const std::string& target,
                                         const std::string& shown_source,
                                         const std::string& shown_target);

class GuardedSaver {
 public:
  // `backup_folder`: where copies of replaced files go; "" keeps none. The
  // copies are written through `files`, which must outlive the saver (the
  // workbooks themselves are written by their engine's file format).
  explicit GuardedSaver(std::string backup_folder,
                        host::FileSystem& files = host::FileSystem::system())
      : backup_folder_(std::move(backup_folder)), files_system_(&files) {}

  OpenedFiles& files() { return files_; }
  const OpenedFiles& files() const { return files_; }
  const std::string& backup_folder() const { return backup_folder_; }

  // `ask` decides for a file changed elsewhere; `new_name` gives the path
  // for SaveAs ("" cancels); `convert` gives the .xlsx path for a workbook
  // read from another kind of file (source, suggested target; "" cancels;
  // without it such a workbook is not saved). The file it was read from is
  // never written. Fills `report` as it goes, so after a failure it tells
  // what was already written. Throws host::HostError from a save or a
  // backup that fails; that workbook's file is then as it was.
  void save(const std::vector<host::Workbook*>& books,
            const std::function<ChangedChoice(const std::string& path)>& ask,
            const std::function<std::string(const std::string& path)>& new_name, SaveReport& report,
            const std::function<std::string(const std::string& source, const std::string& target)>&
                convert = nullptr);

 private:
  void keep_backup_of(const std::string& file);

  std::string backup_folder_;
  host::FileSystem* files_system_;
  OpenedFiles files_;
};

// The full path of a host workbook.
std::string file_of(host::Workbook& book);

// Reads a workbook file of `engine` again from the disk, dropping what was
// changed in memory; the host workbook stays the host workbook. Throws
// host::HostError when the file cannot be read (the old copy is closed).
void reload_workbook(spreadsheet::Engine& engine, const std::string& path);

}  // namespace kelv::app
