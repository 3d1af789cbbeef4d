// kelv demo: the whole course of work on a fresh sample workspace, played
// through torb with a recording dialog layer, then saved.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace kelv::sample {

struct DemoOptions {
  std::optional<std::string> dir;  // a new temporary folder when not given
  int32_t examinees = 300;
  // Fixes the random exam-number order, so two runs write the same cells.
  std::optional<uint64_t> seed;
};

// Builds the sample, starts the form, opens the data workbook, assigns exam
// numbers in random order, selects and generates every template, saves both
// workbooks and prints a summary to `out`. Returns the number of error boxes
// shown (0 on a clean run).
int32_t run_demo(const DemoOptions& options, std::ostream& out);

}  // namespace kelv::sample
