#include "app/core/repair_notice.h"

namespace kelv::app {

std::string repair_notice(const spreadsheet::RepairReport& report) {
  std::string text = "文件“" + report.file + "”有损坏，已修复以下内容后打开：";
  for (const std::string& r : report.repairs) text += "\n  · " + r;
  text += "\n保存后，修复的结果将写入文件。";
  return text;
}

}  // namespace kelv::app
