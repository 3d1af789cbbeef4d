// What an arrangement leaves behind in a data workbook: whether 考生表 has
// exam numbers yet, and which tables generation made (sheets named after a
// template of the host workbook's catalogue). After a new 编排考号 every
// such table still shows the old numbers; the front ends name them and
// offer to generate them again.
#pragma once

#include <string>
#include <vector>

#include "host/workbook.h"

namespace kelv::app {

// True when 考生表 has a 考号 column with at least one number in it.
bool is_arranged(host::Workbook& data);

// The sheets of `data` that generation made from a template of `host_book`'s
// catalogue, in the workbook's order.
std::vector<std::string> generated_tables(host::Workbook& host_book, host::Workbook& data);

// "“门贴”、“准考证”是按编排之前的考号生成的，已经过时。是否现在重新生成？"
std::string stale_tables_question(const std::vector<std::string>& names);
// The status line when the person leaves them: "“门贴”、“准考证”已经过时：请重新生成"
std::string stale_tables_text(const std::vector<std::string>& names);

}  // namespace kelv::app
