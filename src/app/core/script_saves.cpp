#include "app/core/script_saves.h"

#include "app/core/workspace_folder.h"
#include "host/file_path.h"
#include "host/host_error.h"

namespace kelv::app {
namespace {

std::string file_name(const std::string& path) {
  return host::path_text(host::file_path(path).filename());
}

[[noreturn]] void refuse(const std::string& text) {
  throw host::HostError::host(host::kRefused, text);
}

}  // namespace

std::string backup_folder_for(const std::string& file) {
  if (const auto ws = WorkspaceFolder::of_data_file(file)) return ws->backup_folder();
  const auto folder = host::file_path(host::absolute_path_text(file)).parent_path();
  return host::path_text(folder / host::file_path(kBackupFolderName));
}

void ScriptSaves::refuse_if_changed(const std::string& path) const {
  if (!known_.changed_elsewhere(path)) return;
  std::string text = "“";
  text += file_name(path);
  text +=
      "”在 kelv 读入之后被别的程序改过。kelv 没有保存，以免覆盖那边的修改：请重新打开它再改，"
      "或用 SaveAs 另存为别的文件。";
  refuse(text);
}

void ScriptSaves::replace(host::Workbook& book, const std::string& target, bool same_file) {
  keep_backup(target, backup_folder_for(target), std::chrono::system_clock::now(), kBackupsKept,
              *files_);
  if (same_file)
    book.save();
  else
    book.save_as(target);
  known_.remember(target);
}

void ScriptSaves::save(host::Workbook& book) {
  const std::string path = file_of(book);
  if (const std::string target = other_kind_target(book); !target.empty()) {
    // The original is never written. An .xlsx already beside it is
    // replaced only when kelv itself read or wrote it in this run and
    // nobody has changed it since.
    const FileIdentity there = identify_file(target);
    if (there.exists && !known_.knows(target)) {
      std::string text = "“";
      text += file_name(path);
      text += "”不是 .xlsx 工作簿，kelv 不改写它，本该另存为“";
      text += file_name(target);
      text += "”，可那里已经有一个同名文件。kelv 没有保存：请用 SaveAs 指定另一个文件名。";
      refuse(text);
    }
    refuse_if_changed(target);
    replace(book, target, false);
    return;
  }
  refuse_if_changed(path);
  replace(book, path, true);
}

void ScriptSaves::save_as(host::Workbook& book, const std::string& path) {
  const std::string target = host::absolute_path_text(path);
  const bool converted = !other_kind_target(book).empty();
  if (converted && target == file_of(book)) {
    std::string text = "“";
    text += file_name(target);
    text += "”不是 .xlsx 工作簿，kelv 不改写它。kelv 没有保存：请另存为 .xlsx 文件。";
    refuse(text);
  }
  refuse_if_changed(target);
  replace(book, target, !converted && target == file_of(book));
}

}  // namespace kelv::app
