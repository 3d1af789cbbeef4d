#include "sessions/problem.h"

namespace kelv::sessions {

namespace {
constexpr size_t kRowsNamed = 10;  // rows a message lists before "等 n 行"
}

bool HasErrors(const std::vector<Problem>& problems) {
  for (const Problem& p : problems)
    if (p.level == ProblemLevel::Error) return true;
  return false;
}

std::string RowList(const std::vector<int32_t>& rows) {
  std::string s = "第 ";
  for (size_t k = 0; k < rows.size() && k < kRowsNamed; ++k) {
    if (k > 0) s += "、";
    s += std::to_string(rows[k]);
  }
  s += " 行";
  if (rows.size() > kRowsNamed) s += "等 " + std::to_string(rows.size()) + " 行";
  return s;
}

}  // namespace kelv::sessions
