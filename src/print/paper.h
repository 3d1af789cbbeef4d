// Paper sizes by the code a workbook's page setup stores (9 = A4, 8 = A3,
// 1 = Letter, ...), in points, portrait.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kelv::print {

struct Paper {
  double width = 0, height = 0;  // points, portrait
  std::string name;              // "A4", "Letter", "B5 (JIS)", ...
};

// The paper of a code; nullopt for a code this table does not know.
std::optional<Paper> paper_for_code(int32_t code);

// A4, the paper of an unknown code.
Paper a4_paper();

}  // namespace kelv::print
