// What a front end says when long work ends: that it finished, with what it
// did, or that it stopped and what that leaves behind.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

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

// How an event went.
struct WorkReport {
  std::string event;
  bool long_work = false;  // assignment or generation
  bool stopped = false;    // the error box ended it: not done
  int64_t milliseconds = 0;
  std::string summary;         // after a finished assignment: how many went where
  std::exception_ptr failure;  // what escaped the component, which shows its own
  // For long work: that it stopped and what that leaves, or that it is done
  // with the summary and the time taken; "" for any other event.
  std::string text() const;
  // What `failure` says.
  std::string failure_text() const;
};

// "300 名考生排入 10 个考场" after an assignment in the data workbook
// `data_book` of `EA`: examinee rows that received an exam number and rooms
// that received a first exam number. "" when the sheets are not there.
std::string assignment_summary(host::Application& EA, const std::string& data_book);

// "用时 850 毫秒" or "用时 2.4 秒".
std::string duration_text(int64_t milliseconds);

}  // namespace kelv::app
