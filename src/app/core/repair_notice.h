// What a damaged file's repairs look like to the person at the front end,
// in the manner of a desktop spreadsheet program's repair report.
#pragma once

#include <string>

#include "spreadsheet/engine.h"

namespace kelv::app {

// "文件“PATH”有损坏，已修复后打开：" and a line per repair.
std::string repair_notice(const spreadsheet::RepairReport& report);

}  // namespace kelv::app
