// What a front end says when long work ends: that it finished, with what it
// did, or that it stopped and what that leaves behind.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "host/application.h"

namespace kelv::app {

// The name of the long work an event starts ("编排考号", "生成表格"), or
// nullptr for any other event.
const char* long_work_name(std::string_view event);
inline bool is_long_work(std::string_view event) {
  return long_work_name(event) != nullptr;
}

// A long run that ended in the error box: it is not done, and what it wrote
// before stopping is still in the open workbooks, unsaved.
std::string stopped_text(std::string_view event);

// A list the data list shows that is no data workbook (a roster as .csv,
// .xls, an HTML or XML table, or a one-sheet .xlsx from another system),
// and the data workbook kelv can make of it beside it.
struct ListOffer {
  std::string source;  // the list's file
  std::string target;  // NAME.xlsx beside it (or NAME（名单）.xlsx for an .xlsx list)
  bool target_exists = false;
  // "“名单.csv”不是数据工作簿（没有考场表和考生表）。是否用它做一个数据工作簿…？"
  std::string question() const;
};

// How an event went.
struct WorkReport {
  std::string event;
  // Whether the event reached the component, and why not.
  enum class Gate {
    Sent,
    Disabled,          // the click of a disabled command button
    ChangedElsewhere,  // a data workbook changed elsewhere, and the person cancelled
    CheckDeclined,     // the check before the work found problems and the person stopped
  };
  Gate gate = Gate::Sent;
  bool long_work = false;     // assignment or generation
  bool stopped = false;       // the error box ended it: not done
  bool made_nothing = false;  // generation that left no record in its table
  // The person stopped it and the workbooks were put back as they were.
  bool cancelled = false;
  int64_t milliseconds = 0;
  std::string summary;  // after finished work: what it made
  // After work that made nothing: what to do first ("请先编排考号").
  std::string advice;
  std::exception_ptr failure;  // what escaped the component, which shows its own
  // Lock files of other programs found beside the workbooks the event
  // opened.
  std::vector<std::string> warnings;
  // After a generation: the texts of the new table that will print cut off,
  // a line each.
  std::vector<std::string> notes;
  bool sent() const { return gate == Gate::Sent; }
  // Why the event was not sent ("" when it was).
  std::string gate_text() const;
  // For long work: that it stopped and what that leaves, or that it is done
  // with the summary and the time taken; "" for any other event.
  std::string text() const;
  // What `failure` says.
  std::string failure_text() const;
};

// "“门贴”表，300 条记录" after a generation of the template
// `template_name` into the data workbook `data_book` from its examinee sheet
// (or its room sheet); "" when no table of that name is there, so the
// generation made nothing (the template's fields did not match, or it
// stopped before).
std::string generation_summary(host::Application& EA, const std::string& data_book,
                               const std::string& template_name, bool examinee_source);

// "300 名考生排入 10 个考场" after an assignment in the data workbook
// `data_book` of `EA`: examinee rows that received an exam number and rooms
// that received a first exam number. "" when the sheets are not there.
std::string assignment_summary(host::Application& EA, const std::string& data_book);

// "用时 850 毫秒" or "用时 2.4 秒".
std::string duration_text(int64_t milliseconds);

}  // namespace kelv::app
