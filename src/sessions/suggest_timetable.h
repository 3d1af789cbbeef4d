// A draft timetable when a school has none: from who sits which subject,
// the fewest 场次 such that nobody has two papers at once and every 场次's
// papers fit the rooms (one paper per room); papers everybody sits come
// first, each on its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/dialogs.h"
#include "host/workbook.h"
#include "sessions/problem.h"

namespace kelv::sessions {

struct DraftPaper {
  std::string subject;
  int64_t examinees = 0;
  bool everybody = false;
};

struct DraftTimetable {
  std::vector<std::vector<DraftPaper>> sessions;
  // Errors mean there is no draft: spellings that cannot be read, no
  // subjects at all, a paper larger than all the rooms together.
  std::vector<Problem> problems;
};

// The subjects come from the 选考科目 column (any common spelling) and from
// 考生表 columns headed with a subject's full name (a mark sits it); 语文,
// 数学 and 外语, which every scheme has everybody sit, are added when
// neither names them. Up to 14 papers besides those everybody sits get the
// fewest 场次 there are; more get a good few, found greedily.
DraftTimetable SuggestTimetable(host::Workbook& data_book);

// The question asked before an existing 场次表 is replaced.
std::string ReplaceTimetableQuestion(const std::string& data_book_name);

// Writes the draft as 场次表 (headings 场次, 科目, 日期, 开始, 结束, 考场,
// 备注; dates and times left for the school). An existing 场次表 is replaced
// only when the person answers Yes to ReplaceTimetableQuestion; false when
// it was kept.
bool WriteTimetable(host::Workbook& data_book, const DraftTimetable& draft, host::Dialogs& dialogs);

}  // namespace kelv::sessions
