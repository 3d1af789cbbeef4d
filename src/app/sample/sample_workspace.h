// The sample workspace: a host workbook with templates, a data workbook of
// synthetic examinees, their photos and the help document, all written with
// the project's own spreadsheet model and file format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sheets/workspace_names.h"
#include "spreadsheet/file_format.h"

namespace kelv::sample {

using sheets::kHostWorkbookName;
inline constexpr const char* kDataWorkbookName = "期末考试.xlsx";

struct SampleOptions {
  int32_t examinees = 300;
  uint32_t seed = 20240601;
  // Every this many examinees one has no photo, so absent photos show too.
  int32_t missing_photo_every = 23;
};

// The classroom of the sample's room `index` (from 0): 教学楼A101 to
// 教学楼A405 for the first twenty, then building B, ..., Z, AA, ...
std::string classroom_name(int32_t index);

// The template names of the sample host workbook, in catalogue order.
std::vector<std::string> sample_template_names();

// The sample's host workbook before the sample's own exam is added: 开始,
// the settings sheet DTB with the template catalogue and the sample's
// settings, and every template but 场次准考证.
void build_host_workbook(spreadsheet::Workbook& host);

// Writes the workspace into `dir` (created when missing): 考务.xlsx, 数据/,
// 照片/ with one sub-folder per school, 帮助.doc. Returns the files written,
// relative to `dir`, photos counted but not listed one by one.
struct SampleResult {
  std::vector<std::string> files;
  int32_t photos = 0;
  int32_t rooms = 0;
};
SampleResult write_sample_workspace(const std::string& dir, const SampleOptions& options,
                                    spreadsheet::FileFormat& format);

// A synthetic head-and-shoulders portrait, JPEG, `variant` picks colours.
// Returns false when the file cannot be written.
bool write_portrait_jpeg(const std::string& path, uint32_t variant, int32_t width = 90,
                         int32_t height = 120);

// The help document: RTF text with the user guide in Chinese.
std::string help_document_rtf();

}  // namespace kelv::sample
