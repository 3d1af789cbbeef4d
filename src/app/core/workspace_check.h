// The check before the work: reads the data workbook (and the host
// workbook's templates and settings) the way assignment and generation will
// read them, and names every problem that would stop the run or give a wrong
// result (错误), or that the person should know of (提醒), with sheet, row,
// column heading and value. Nothing is changed by the check; the few mends
// it offers are applied only when a front end asks for them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/form.h"
#include "host/workbook.h"

namespace kelv::app {

enum class Severity : uint8_t {
  Error,   // 错误: the run would stop or give a wrong result
  Notice,  // 提醒
};

// What a front end may do about a finding when the person asks for it.
enum class Mend : uint8_t {
  None,
  RenameSheet,  // give the sheet the expected name (`mended`)
  UnhideSheet,  // make the sheet visible
  SetHeading,   // write the expected heading (`mended`) over the near miss
  SetPlaces,    // write the number the text plainly means (`mended`) as a number
};

struct Finding {
  Severity severity = Severity::Error;
  std::string book;     // workbook file name
  std::string sheet;    // "" when the finding is about no sheet
  int32_t row = 0;      // 0: no particular row
  int32_t column = 0;   // 0: no particular column
  std::string heading;  // the column's heading as it reads
  std::string value;    // the value, invisible characters written out ("姓名[不换行空格]")
  std::string message;  // what is wrong and what happens, in Chinese
  Mend mend = Mend::None;
  std::string original;  // the exact text a mend expects to find (sheet name or cell text)
  std::string mended;    // what a mend writes
};

// A finding of another part's check (场次编排, 监考安排), where it says.
Finding located_finding(Severity severity, const std::string& book, const std::string& sheet,
                        int32_t row, const std::string& heading, const std::string& value,
                        const std::string& message);

// What the run about to start is.
enum class CheckPurpose : uint8_t { Assign, Generate, Both };

// The form's settings the runs read: exam settings and the template.
struct CheckSettings {
  std::string start_number = "0001";  // TxtSKHao
  std::string cycle = "30";           // TxtXHShu
  bool random_order = false;          // OptSJKaoHao
  // The selected template and its data source (ChbSJYuan: 考生表). Without
  // a selected template, Generate reports that; Both checks every template
  // of the catalogue with its own data source.
  std::optional<std::string> template_name;
  bool examinee_source = true;
};

// The settings as the form shows them.
CheckSettings settings_from_form(host::Form& UF);
// The settings stored in the host workbook's settings sheet (what start-up
// restores), the template being the one marked selected in the catalogue.
CheckSettings settings_from_host(host::Workbook& host_book);

// The findings, errors first, each group in sheet and row order. The photo
// folder is 照片 beside the host workbook.
std::vector<Finding> check_workspace(host::Workbook& host_book, host::Workbook& data_book,
                                     const CheckSettings& settings, CheckPurpose purpose);

bool has_errors(const std::vector<Finding>& findings);
// One finding as a line of text: "[错误] 考试.xlsx › 考场表 第 3 行 “场人”列 值“三十”：…".
std::string finding_line(const Finding& f);
const char* severity_text(Severity s);  // "错误" / "提醒"

// Applies one finding's mend to the data workbook. Returns false, changing
// nothing, when the finding has no mend or the workbook no longer shows what
// the check saw (the sheet or cell has changed since). Host failures (a name
// another sheet already has) propagate as host::HostError.
bool apply_mend(host::Workbook& data_book, const Finding& finding);
// Applies every mend of the list; the number applied.
int32_t apply_mends(host::Workbook& data_book, const std::vector<Finding>& findings);
// What the mend does, for a button or a line of output ("改为“考号”").
std::string mend_text(const Finding& finding);

// Helpers the check is built on, for tests and the front ends.

// The text with the characters the eye does not see written out in brackets:
// non-breaking, full-width and other spaces, tabs, line breaks, zero-width
// characters; plain spaces only at either end.
std::string visible_text(const std::string& text);
// The text a near miss folds to: white space and zero-width characters of
// every kind removed, full-width letters, digits and signs made half-width.
std::string folded_text(const std::string& text);
// The number a place count typed as text plainly means ("30人", "３０",
// "三十", "30 个"), or nullopt.
std::optional<int64_t> plain_number(const std::string& text);

}  // namespace kelv::app
