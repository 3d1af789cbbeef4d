#include "app/core/work_report.h"

#include <algorithm>
#include <cstdio>

#include "host/file_path.h"
#include "host/host_error.h"
#include "sheets/sheet_lookup.h"

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
  // kelv's own exam work is named by its name.
  for (const char* work : {"场次编排", "拟场次表", "安排监考"})
    if (event == work) return work;
  return nullptr;
}

std::string stopped_text(std::string_view event) {
  const char* name = long_work_name(event);
  return std::string(name != nullptr ? name : "操作") +
         "没有完成：出错后停止了（见错误提示）。出错之前已写入的内容还在打开的工作簿中，"
         "尚未保存；不想要它们就关闭而不保存，已保存过的文件可以从“备份”文件夹恢复。";
}

std::string ListOffer::question() const {
  const std::string name = host::path_text(host::file_path(source).filename());
  const std::string made = host::path_text(host::file_path(target).filename());
  std::string text = "“" + name +
                     "”不是数据工作簿（没有考场表和考生表）。是否用它做一个数据工作簿“" + made +
                     "”：考生表就是这份名单，再加一张空的考场表？原文件不会改动。";
  if (target_exists) text += "“" + made + "”已经存在，会被替换（原来的文件先备份）。";
  return text;
}

std::string WorkReport::gate_text() const {
  switch (gate) {
    case Gate::Sent:
      return "";
    case Gate::Disabled:
      return "按钮不可用，事件 " + event + " 未发送";
    case Gate::ChangedElsewhere:
      return "数据工作簿已在别处修改，未打开";
    case Gate::CheckDeclined:
      return "已取消：检查数据时发现问题，没有开始";
  }
  return "";
}

std::string WorkReport::text() const {
  const char* name = long_work_name(event);
  if (name == nullptr || !sent()) return "";
  if (cancelled)
    return std::string("已取消") + name +
           "：所有工作簿都已恢复到开始之前的样子，没有任何改动，也没有保存任何文件。";
  if (stopped) return stopped_text(event);
  if (made_nothing) {
    std::string text = name;
    text += event == "CmdDoYongBiaoClick" ? "没有生成任何内容" : "没有进行";
    if (!summary.empty()) text += "：" + summary;
    if (!advice.empty()) text += "：" + advice;
    return text;
  }
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

std::string generation_summary(host::Application& EA, const std::string& data_book,
                               const std::string& template_name, bool examinee_source) {
  try {
    host::Workbook& book = EA.workbooks().item(data_book);
    if (!sheets::SheetExists(book.worksheets(), template_name)) return "";
    const char* source = examinee_source ? "考生表" : "考场表";
    int32_t records = 0;
    if (sheets::SheetExists(book.worksheets(), source))
      records = book.worksheets().item(source).current_region(1, 1).rows() - 1;
    return "“" + template_name + "”表，" + std::to_string(std::max(records, 0)) + " 条记录";
  } catch (const host::HostError&) {
    return "";
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
