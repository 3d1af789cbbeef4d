#include "app/core/data_import.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/core/data_warnings.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "readers/format.h"
#include "sheets/examinee_sheet.h"
#include "sheets/room_sheet.h"
#include "spreadsheet/cells.h"
#include "xlsx/xlsx_format.h"

namespace kelv::app {

std::unique_ptr<spreadsheet::Workbook> make_data_workbook(
    std::unique_ptr<spreadsheet::Workbook> source, const std::string& target) {
  auto book = std::make_unique<spreadsheet::Workbook>();
  book->styles = source->styles;
  book->file_path = host::absolute_path_text(target);
  book->repairs = source->repairs;
  std::unique_ptr<spreadsheet::Sheet> examinees;
  if (!source->sheets.empty()) {
    examinees = std::move(source->sheets.front());
  } else {
    examinees = std::make_unique<spreadsheet::Sheet>();
  }
  examinees->name = sheets::kExamineeSheet;
  examinees->visibility = spreadsheet::Visibility::Visible;
  examinees->view.tab_selected = true;
  // What the source's file carried stays behind with it, its column
  // breaks and page order too.
  examinees->passthrough = {};
  examinees->column_breaks.clear();
  examinees->page_setup.page_order = spreadsheet::PageOrder::DownThenOver;
  examinees->page_setup.given.page_order = false;
  examinees->pictures.clear();  // the images stay with the source book
  auto rooms = std::make_unique<spreadsheet::Sheet>();
  rooms->name = sheets::kRoomSheet;
  spreadsheet::Row& heading = spreadsheet::cells::row_at(*rooms, sheets::kRoomHeadingRow);
  for (int32_t c = 0; c < sheets::kRoomColumnCount; ++c) {
    spreadsheet::Cell cell;
    cell.col = c + 1;
    cell.value = sheets::kRoomHeadings[c];
    heading.cells.push_back(std::move(cell));
  }
  book->sheets.push_back(std::move(examinees));
  book->sheets.push_back(std::move(rooms));
  book->active_sheet = 0;
  return book;
}

std::string import_target(const std::string& input, const std::string& output) {
  if (!output.empty()) return host::absolute_path_text(output);
  std::filesystem::path p = host::file_path(input);
  p.replace_extension(".xlsx");
  return host::absolute_path_text(host::path_text(p));
}

ImportResult import_data_file(const std::string& input, const std::string& output, bool force,
                              host::FileSystem& files) {
  std::unique_ptr<spreadsheet::Workbook> source = readers::read_any(input);
  std::string target = output.empty() ? spreadsheet::xlsx_path_for(*source) : output;
  if (target.empty()) {
    std::filesystem::path p = host::file_path(input);
    p.replace_extension(".xlsx");
    target = host::path_text(p);
  }
  target = host::absolute_path_text(target);
  spreadsheet::refuse_overwriting_source(*source, target);
  if (host::absolute_path_text(input) == target)
    throw host::HostError::host(host::kRefused, "输出文件不能是输入文件本身：“" + target + "”");
  std::error_code ec;
  if (!force && std::filesystem::exists(host::file_path(target), ec))
    throw host::HostError::host(host::kRefused, "“" + target + "”已存在；要替换它，请加 --force");
  auto book = make_data_workbook(std::move(source), target);
  ImportResult result;
  result.output = target;
  result.rows = static_cast<int32_t>(book->sheets.front()->rows.size());
  result.repairs = book->repairs;
  book->repairs.clear();
  const spreadsheet::Sheet& examinees = *book->sheets.front();
  int32_t columns = 0;
  for (const spreadsheet::Row& row : examinees.rows)
    if (!row.cells.empty()) columns = std::max(columns, row.cells.back().col);
  for (const LostDigits& l : lost_digit_columns(result.rows, columns, [&](int32_t r, int32_t c) {
         const spreadsheet::Cell* cell = spreadsheet::cells::find(examinees, r, c);
         return cell != nullptr ? cell->value.variant() : host::Variant();
       }))
    result.warnings.push_back("考生表" + lost_digits_message(l));
  xlsx::write_workbook(*book, target, files);
  return result;
}

}  // namespace kelv::app
