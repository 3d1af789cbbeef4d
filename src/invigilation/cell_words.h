// How the invigilation reads what people type into cells: texts without
// the white space around them, lists separated by 、 , ， ; or spaces,
// whole numbers with full-width digits or a unit, subjects in their short
// and long names, and times of day.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/variant.h"

namespace kelv::invigilation {

// The cell's text without spaces of any kind (ideographic and
// non-breaking ones too), tabs or line breaks at either end.
std::string CellText(const host::Variant& v);
std::string Trimmed(std::string_view text);
// Full-width digits (０ … ９) as ASCII ones.
std::string AsciiDigits(std::string_view text);

// The items of a list cell: separated by 、 , ， ; ； / or white space,
// empty items dropped.
std::vector<std::string> SplitList(std::string_view text);

// A whole number ≥ 0 as typed: 3, "3", "３", "3场", "3 人"; nullopt for
// anything else (2.5, "三", "-1").
std::optional<int32_t> WholeNumber(const host::Variant& v);

// The subject a name stands for, so that a teacher's 学科 meets a paper's
// 科目 however either is spelled: 英语, 外语 and 英 are one subject,
// 政治, 思想政治 and 道德与法治 another, 数学组 is 数学. Unknown names
// stand for themselves.
std::string SubjectKey(std::string_view name);

// The hour of the day (fractions included) a start time stands for: a
// time cell (a fraction of a day, a date and time too), "8:00", "14：30",
// "8点"; nullopt when it says none.
std::optional<double> HourOfDay(const host::Variant& v);

// A date cell as "6月7日"; text as written.
std::string DateText(const host::Variant& v);

}  // namespace kelv::invigilation
