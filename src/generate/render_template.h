// RenderTemplate: the table-generation engine. Reads a template's layout
// settings and its sheet, binds the fields to the scratch copy of the data
// table, validates, then fills the output sheet: record blocks and page
// breaks, page headers, column widths, photos.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "component/component.h"
#include "host/application.h"
#include "host/environment.h"
#include "host/worksheet.h"
#include "sheets/workspace_names.h"

namespace kelv::generate {

// The photo folder beside the host workbook, and the heading of the data
// column naming a record's sub-folder in it.
using sheets::kPhotoFolder;
inline constexpr const char* kPhotoFolderHeading = "照片夹";

// A template's layout settings, from its row of the settings sheet.
struct LayoutSettings {
  int32_t rowsPerPage = 0;  // F, TxtHang
  int32_t colsAcross = 0;   // G, TxtLie
  float rowSpacing = 0;     // H × 3 / 4, points
  float colSpacing = 0;     // I, converted to column-width units
  std::string sortName;     // J, CmbPaiXv
  std::string pageName;     // K, CmbHuanYe
};

LayoutSettings ReadLayoutSettings(host::Worksheet& settings, int32_t row);

// The column-spacing conversion: x > 13 gives (x - 5) / 8, else x × 0.08.
float ColumnSpacingWidth(float x);

// Heading search on row 1 of the scratch copy, from `work_column` to the
// right: the column of the first heading equal to `wanted`, 0 when an empty
// heading comes first. An empty `wanted` is never found.
int32_t FindScratchHeading(host::Worksheet& data, int32_t work_column, const std::string& wanted);

// A photo's file name below the photo root for a record: the sub-folder
// (when given) and the field value, with ".jpg" appended.
std::string PhotoFileName(const std::string& folder_value, const std::string& field_value);

// Whether a photo file name stays inside the photo folder: no ".." part, no
// leading separator, no drive or stream colon. Names built from data that
// would leave it never reach the file system.
bool StaysInPhotoFolder(const std::string& name);

// The file of each photo name below `root` ("照片\\" of the host workbook),
// found as Windows finds it: the name in any letter case, and when no
// ".jpg" is there, the same name with ".jpeg" and then ".png". "" for a
// photo not found; the environment is asked once for all of them.
std::vector<std::string> FindPhotoFiles(host::Environment& env, const std::string& root,
                                        const std::vector<std::string>& names);

// The engine. The caller has made the scratch copy of the data sheet's
// table at (1, WorkColumn) and an empty active output sheet named like the
// template in the data workbook. Returns false after showing a validation
// message (the output sheet is still empty then).
bool RenderTemplate(component::Component& self, host::Application& EA,
                    const std::string& data_sheet_name, const std::string& template_name,
                    int32_t settings_row, bool across_first);

}  // namespace kelv::generate
