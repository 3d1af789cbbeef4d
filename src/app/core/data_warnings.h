// Warnings about what the data will become, found before the work: exam
// numbers that run past their width and start again from 0, ID numbers
// kept as numbers that have lost digits, template field cells in General
// format that turn "01" into 1, and photos found under another spelling of
// their name. None of them stops a run; each says what to do.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/core/workspace_check.h"
#include "host/variant.h"
#include "host/workbook.h"
#include "host/worksheet.h"

namespace kelv::app {

// Appends the warnings that apply to the run about to start to `out`.
void add_data_warnings(host::Workbook& host_book, host::Workbook& data_book,
                       const CheckSettings& settings, CheckPurpose purpose,
                       std::vector<Finding>& out);

// Where exam numbers start again from 0: the start number, the number of
// places numbered (every place of every room gets a number), and the
// 0-based index of the first number past the width; none when they fit.
struct ExamNumberWrap {
  int64_t first_wrapped = 0;   // index of the first place numbered 0...0
  std::string wrapped_number;  // that place's exam number
  std::string last_before;     // the number before it (9999)
  int32_t width = 0;           // digits counted up
};
std::optional<ExamNumberWrap> exam_number_wrap(const std::string& start_number, int64_t places);

// Numeric cells of a table's columns that hold 16 digits or more (ID,
// student and bank numbers read as numbers): a number keeps 15 significant
// digits, so the last ones are already lost. One finding per column, with
// its rows.
struct LostDigits {
  int32_t column = 0;
  std::string heading;
  std::vector<int32_t> rows;
  std::string example;  // the first such number, as it shows
};
std::vector<LostDigits> lost_digit_columns(
    int32_t rows, int32_t columns, const std::function<host::Variant(int32_t, int32_t)>& value);
std::string lost_digits_message(const LostDigits& lost);
void add_lost_digit_findings(host::Worksheet& sheet, const std::string& book,
                             std::vector<Finding>& out);

// Photos that were found only under another spelling (IMG_0001.JPG for
// IMG_0001.jpg, or .jpeg / .png for .jpg), gathered by the photo check and
// reported once.
struct PhotoNames {
  std::string sheet;
  std::vector<std::pair<std::string, std::string>> found_as;  // wanted, found
};
void note_photo_found_as(PhotoNames& names, const std::string& sheet, const std::string& wanted,
                         const std::string& found);
void report_photos_found_as(const PhotoNames& names, const std::string& book,
                            std::vector<Finding>& out);

}  // namespace kelv::app
