// A new workspace for a school's own examinees: the sample's host workbook
// with its templates and settings but without the sample's exam, an empty
// data folder and photo folder, and the help document. The examinee list
// comes in afterwards through the import.
#pragma once

#include <string>
#include <vector>

#include "spreadsheet/file_format.h"

namespace kelv::sample {

// Writes the new workspace into `dir` (made when missing): 考务.xlsx, 数据/,
// 照片/, 帮助.doc. Whatever else the folder holds stays as it is. Keeping
// elective combinations together is off (a list brought in has no
// electives until the school adds them). Throws app::WorkspaceError
// (Failed) for a folder that already holds 考务.xlsx or cannot be written;
// returns the files written, relative to `dir`.
std::vector<std::string> write_new_workspace(const std::string& dir,
                                             spreadsheet::FileFormat& format);

}  // namespace kelv::sample
