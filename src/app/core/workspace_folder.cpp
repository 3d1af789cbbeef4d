#include "app/core/workspace_folder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "host/file_path.h"
#include "host/host_error.h"
#include "host/system_environment.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;

std::string joined(const std::string& folder, const std::string& name) {
  return host::path_text(host::file_path(folder) / host::file_path(name));
}

std::string lower_extension(const fs::path& p) {
  std::string ext = host::path_text(p.extension());
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return ext;
}

// The .xlsx/.xlsm files at the top of a folder.
std::vector<fs::path> workbooks_in(const fs::path& folder) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    if (it->is_regular_file(ec2) && is_workbook_file(host::path_text(it->path())))
      found.push_back(it->path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

bool is_workbook_file(const std::string& path) {
  const fs::path p = host::file_path(path);
  const std::string ext = lower_extension(p);
  return (ext == ".xlsx" || ext == ".xlsm") && host::is_listed_file_name(host::path_text(p.filename()));
}

WorkspaceFolder WorkspaceFolder::at_host_workbook(const std::string& host_path) {
  WorkspaceFolder w;
  w.host_path_ = host::absolute_path_text(host_path);
  w.root_ = host::path_text(host::file_path(w.host_path_).parent_path());
  return w;
}

WorkspaceFolder WorkspaceFolder::locate(const std::string& location,
                                        const std::optional<std::string>& host_name) {
  using Kind = WorkspaceError::Kind;
  std::error_code ec;
  const std::string absolute = host::absolute_path_text(location);
  const fs::path p = host::file_path(absolute);
  if (fs::is_regular_file(p, ec)) return at_host_workbook(absolute);
  if (!fs::is_directory(p, ec)) throw WorkspaceError(Kind::Missing, "找不到工作区：" + location);
  const fs::path canonical = fs::weakly_canonical(p, ec);
  const fs::path root = ec ? p : canonical;
  if (host_name) {
    const fs::path named = root / host::file_path(*host_name);
    if (!fs::is_regular_file(named, ec))
      throw WorkspaceError(Kind::Missing, "工作区中没有宿主工作簿 " + *host_name);
    return at_host_workbook(host::path_text(named));
  }
  const fs::path usual = root / host::file_path(kHostWorkbookName);
  if (fs::is_regular_file(usual, ec)) return at_host_workbook(host::path_text(usual));
  const std::vector<fs::path> found = workbooks_in(root);
  if (found.empty())
    throw WorkspaceError(Kind::NotAWorkspace,
                         "“" + host::path_text(root) + "”不是 kelv 工作区：里面没有宿主工作簿" +
                             kHostWorkbookName + "。可以在这里新建工作区，再把考生名单导入进来。");
  if (found.size() > 1) {
    std::string names;
    for (const fs::path& f : found)
      names += (names.empty() ? "" : "、") + host::path_text(f.filename());
    throw WorkspaceError(Kind::Ambiguous, "工作区顶层有多个工作簿（" + names +
                                              "），不知道哪个是宿主工作簿：请指明它，或把它命名为" +
                                              kHostWorkbookName);
  }
  return at_host_workbook(host::path_text(found.front()));
}

std::optional<WorkspaceFolder> WorkspaceFolder::of_data_file(const std::string& path) {
  const fs::path folder = host::file_path(host::absolute_path_text(path)).parent_path();
  if (host::path_text(folder.filename()) != kDataFolderName) return std::nullopt;
  try {
    return locate(host::path_text(folder.parent_path()));
  } catch (const WorkspaceError&) {
    return std::nullopt;
  }
}

std::string WorkspaceFolder::host_name() const {
  return host::path_text(host::file_path(host_path_).filename());
}

std::string WorkspaceFolder::data_folder() const {
  return joined(root_, kDataFolderName);
}

std::string WorkspaceFolder::photo_folder() const {
  return joined(root_, kPhotoFolderName);
}

std::string WorkspaceFolder::backup_folder() const {
  return joined(root_, kBackupFolderName);
}

std::string WorkspaceFolder::help_document() const {
  return joined(root_, kHelpDocumentName);
}

std::string WorkspaceFolder::data_file(const std::string& name) const {
  return joined(data_folder(), name);
}

std::vector<std::string> WorkspaceFolder::data_files() const {
  host::SystemEnvironment env;
  std::vector<std::string> names = env.list_files(data_folder());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> WorkspaceFolder::data_workbook_files() const {
  std::vector<std::string> out;
  for (const std::string& name : data_files())
    if (is_workbook_file(name)) out.push_back(name);
  return out;
}

bool WorkspaceFolder::in_data_folder(const std::string& path) const {
  const fs::path p = host::file_path(host::absolute_path_text(path));
  return host::path_text(p.parent_path()) == data_folder();
}

std::vector<Backup> WorkspaceFolder::backups() const {
  return list_backups(backup_folder());
}

std::string WorkspaceFolder::restore_target(const Backup& backup) const {
  return backup.workbook == host_name() ? host_path_ : data_file(backup.workbook);
}

void WorkspaceFolder::restore(const Backup& backup, host::FileSystem& fs) const {
  try {
    restore_backup(backup, restore_target(backup), backup_folder(), fs);
  } catch (const host::HostError& e) {
    throw WorkspaceError(WorkspaceError::Kind::Failed, "恢复失败：" + e.description());
  }
}

std::vector<std::string> WorkspaceFolder::lock_warnings(const std::string& workbook_path) {
  std::vector<std::string> warnings;
  for (const std::string& lock : lock_files_of(workbook_path))
    warnings.push_back(lock_warning(workbook_path, lock));
  return warnings;
}

}  // namespace kelv::app
