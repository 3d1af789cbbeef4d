// What a person brings into a workspace from outside: an examinee list of
// another program (.csv, .xls, an HTML "xls", a one-sheet .xlsx) that
// becomes a data workbook through the import, the rooms such a list lacks,
// and photos that go into the photo folder. The front ends ask; the rules
// are here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/core/work_report.h"
#include "app/core/workspace_folder.h"
#include "host/workbook.h"

namespace kelv::app {

// A file kelv reads as a list: .csv, .txt, .xls, .xlsx, .xlsm, .htm,
// .html, .xml, and no lock file of another program.
bool is_roster_file(const std::string& path);
// A photo the photo fields insert: .jpg, .jpeg, .png.
bool is_photo_file(const std::string& path);

// The data workbook the list at `source` (anywhere) becomes in `folder`'s
// data folder: NAME.xlsx, or NAME（数据）.xlsx when the list is itself an
// .xlsx/.xlsm file of the data folder.
ListOffer roster_offer(const WorkspaceFolder& folder, const std::string& source);

// The lists of another kind than .xlsx in the data folder from which no
// data workbook has been made yet (no NAME.xlsx beside them), by name.
std::vector<std::string> rosters_waiting(const WorkspaceFolder& folder);
// The lists at the top of `folder` (absolute paths, ascending), the host
// workbook left out.
std::vector<std::string> rosters_in(const std::string& folder);

// A data workbook made from a list has an empty 考场表: without rooms there
// is nothing to arrange.
bool has_rooms(host::Workbook& data);
// The examinees of 考生表: its rows below the heading with anything in them.
int32_t examinee_count(host::Workbook& data);
// Fills an empty 考场表 with rooms 01, 02, … of `places` places each
// (the last takes the rest) for every examinee of 考生表. Returns the rooms
// written; 0 when 考场表 already has rooms or there is nobody to seat.
int32_t fill_rooms(host::Workbook& data, int32_t places);

// Copies photos into the photo folder (made when missing) under their own
// names. A file of the same name already there is replaced only when
// `replace(name)` says so; a photo already in the folder is left alone.
struct PhotoCopyReport {
  std::vector<std::string> copied, kept, failed;  // file names
  // "已把 3 张照片复制到“照片”文件夹；保留了原有的“a.jpg”"
  std::string text() const;
};
PhotoCopyReport copy_photos(const std::vector<std::string>& files, const std::string& photo_folder,
                            const std::function<bool(const std::string& name)>& replace);

}  // namespace kelv::app
