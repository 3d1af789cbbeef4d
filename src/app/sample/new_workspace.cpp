#include "app/sample/new_workspace.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/core/workspace_folder.h"
#include "app/sample/sample_sessions.h"
#include "app/sample/sample_workspace.h"
#include "host/file_path.h"
#include "sheets/settings_sheet.h"
#include "spreadsheet/cells.h"

namespace kelv::sample {
namespace {

namespace fs = std::filesystem;
using app::WorkspaceError;

[[noreturn]] void cannot_write(const fs::path& where) {
  throw WorkspaceError(WorkspaceError::Kind::Failed,
                       "无法在“" + host::path_text(where) +
                           "”里新建工作区：这个文件夹不能写入。请换一个文件夹，或检查它的权限。");
}

}  // namespace

std::vector<std::string> write_new_workspace(const std::string& dir,
                                             spreadsheet::FileFormat& format) {
  const fs::path root = host::file_path(host::absolute_path_text(dir));
  const fs::path host_file = root / host::file_path(sheets::kHostWorkbookName);
  std::error_code ec;
  if (fs::exists(host_file, ec))
    throw WorkspaceError(WorkspaceError::Kind::Failed,
                         "“" + host::path_text(root) + "”里已经有" + sheets::kHostWorkbookName +
                             "，它已经是工作区：请直接打开它，或换一个空文件夹新建。");
  for (const char* folder : {sheets::kDataFolderName, sheets::kPhotoFolderName}) {
    fs::create_directories(root / host::file_path(folder), ec);
    if (ec) cannot_write(root);
  }

  spreadsheet::Workbook host;
  build_host_workbook(host);
  add_session_card_template(host);
  for (auto& sheet : host.sheets) {
    if (sheet->name != sheets::kSettingsSheet) continue;
    spreadsheet::cells::get(*sheet, sheets::kCombinationRow, sheets::kKeepCombinationColumn).value =
        false;
  }
  host.file_path = host::path_text(host_file);
  try {
    format.save(host, host.file_path);
  } catch (const std::exception&) {
    cannot_write(root);
  }

  const fs::path help = root / host::file_path(sheets::kHelpDocumentName);
  {
    std::ofstream out(help, std::ios::binary | std::ios::trunc);
    out << help_document_rtf();
    if (!out) cannot_write(root);
  }
  return {sheets::kHostWorkbookName, std::string(sheets::kDataFolderName) + "/",
          std::string(sheets::kPhotoFolderName) + "/", sheets::kHelpDocumentName};
}

}  // namespace kelv::sample
