// Writing a finished rota, all through the host: the rooms' 监考甲, 监考乙,
// … (考场表 and the copies 考生表 keeps of them for one sitting; 场次考场
// and each per-session workbook's 考场表 and 考生表 with sessions), the
// sheets 监考安排 (one row per duty) and 监考统计 (one row per teacher),
// and the workbook the duty slips are printed from.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/environment.h"
#include "host/workbook.h"
#include "invigilation/rota_input.h"
#include "invigilation/rota_model.h"

namespace kelv::invigilation {

// A new, empty workbook to be saved at `path` ("\" separators), made by
// the front end's spreadsheet; nullptr where the host cannot make one.
using NewWorkbook = std::function<host::Workbook*(const std::string& path)>;

// What writing touched, for the summary: "考场表（监考甲、监考乙）",
// "数据\\初一（第1场）.xlsx" …; and what it left alone, and why.
struct Written {
  std::vector<std::string> places;
  std::vector<std::string> notices;
};

// The rooms' columns. Names beyond a room's need are cleared.
void WriteRoomColumns(host::Workbook& data_book, const RotaInput& in, const Rota& rota,
                      Written& out);

// Each sitting's own data workbook in the data folder, when it exists and
// is one a session arrangement wrote (marked by its very hidden sheet).
void WriteSessionBooks(host::Application& EA, host::Environment& env, host::Workbook& data_book,
                       const RotaInput& in, const Rota& rota, Written& out);

// 监考安排 and 监考统计 of the data workbook, replacing earlier ones.
void WriteDutySheets(host::Workbook& data_book, const RotaInput& in, const Rota& rota,
                     Written& out);

// The duty-slip workbook beside the data workbook: made when missing,
// replaced when a run wrote it, left alone (with a notice) otherwise.
void WriteDutySlips(host::Application& EA, host::Environment& env, host::Workbook& data_book,
                    const RotaInput& in, const Rota& rota, const NewWorkbook& new_workbook,
                    Written& out);

}  // namespace kelv::invigilation
