// What the session arrangement finds wrong in a data workbook, named by
// sheet, row and value so a person can find and mend it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelv::sessions {

enum class ProblemLevel : uint8_t {
  Error,   // the arrangement would stop or seat somebody wrongly
  Notice,  // the arrangement goes on; the person should know
};

struct Problem {
  ProblemLevel level = ProblemLevel::Error;
  std::string sheet;    // 场次表, 考生表, 考场表, or "" for the exam as a whole
  int32_t row = 0;      // 0: no one row (the first of several rows when the message lists them)
  std::string heading;  // the column, when the value stands in one
  std::string value;    // the value as written
  std::string message;  // what is wrong and what to do, in Chinese
};

bool HasErrors(const std::vector<Problem>& problems);

// "第 2、5、9 行", or "第 2、3、…、11 行等 25 行" for many rows.
std::string RowList(const std::vector<int32_t>& rows);

}  // namespace kelv::sessions
