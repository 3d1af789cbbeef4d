#include "app/core/work_report.h"

#include <cstdio>

#include "host/host_error.h"

namespace kelv::app {
namespace {

// Rows below the heading row whose cell in `column` holds something, down
// to the last used row of the sheet.
int32_t filled_rows(host::Worksheet& sheet, int32_t column) {
  const int32_t last = sheet.used_range().row() + sheet.used_range().rows_count() - 1;
  int32_t n = 0;
  for (int32_t r = 2; r <= last; ++r)
    if (!sheet.cells(r, column).value().to_text().empty()) ++n;
  return n;
}

int32_t heading_column(host::Worksheet& sheet, std::string_view heading) {
  const int32_t last = sheet.used_range().column() + sheet.used_range().columns_count() - 1;
  for (int32_t c = 1; c <= last; ++c)
    if (sheet.cells(1, c).value().to_text() == heading) return c;
  return 0;
}

}  // namespace

const char* long_work_name(std::string_view event) {
  if (event == "CmdDoKaoHaoClick") return "编排考号";
  if (event == "CmdDoYongBiaoClick") return "生成表格";
  return nullptr;
}

std::string stopped_text(std::string_view event) {
  const char* name = long_work_name(event);
  return std::string(name != nullptr ? name : "操作") +
         "没有完成：出错后停止了（见错误提示）。出错之前已写入的内容还在打开的工作簿中，"
         "尚未保存；不想要它们就关闭而不保存，已保存过的文件可以从“备份”文件夹恢复。";
}

std::string WorkReport::text() const {
  const char* name = long_work_name(event);
  if (name == nullptr) return "";
  if (stopped) return stopped_text(event);
  std::string text = std::string(name) + "完成";
  if (!summary.empty()) text += "：" + summary;
  return text + "，" + duration_text(milliseconds);
}

std::string WorkReport::failure_text() const {
  if (!failure) return "";
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "未知错误";
  }
}

std::string assignment_summary(host::Application& EA, const std::string& data_book) {
  try {
    host::Workbook& book = EA.workbooks().item(data_book);
    host::Worksheet& examinees = book.worksheets().item("考生表");
    host::Worksheet& rooms = book.worksheets().item("考场表");
    const int32_t number = heading_column(examinees, "考号");
    if (number == 0) return "";
    return std::to_string(filled_rows(examinees, number)) + " 名考生排入 " +
           std::to_string(filled_rows(rooms, 6)) + " 个考场";
  } catch (const host::HostError&) {
    return "";
  }
}

std::string duration_text(int64_t milliseconds) {
  if (milliseconds < 1000) return "用时 " + std::to_string(milliseconds) + " 毫秒";
  char buf[32];
  std::snprintf(buf, sizeof buf, "用时 %.1f 秒", static_cast<double>(milliseconds) / 1000.0);
  return buf;
}

}  // namespace kelv::app
