// Long work on the command line: one progress line on standard error,
// "生成桌贴 42,000 / 100,000", for work that goes on for over a second,
// redrawn in place at most ten times a second and taken away when the work
// is done. Only on a terminal: a transcript or a pipe gets nothing. The
// command line has no 取消; Ctrl+C ends the program as it always did.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "host/progress.h"

namespace kelv::app {

class TerminalProgress : public host::Progress {
 public:
  using Clock = std::chrono::steady_clock;

  // `terminal`: whether `out` is a terminal (standard_error_is_terminal()
  // for std::cerr); `now` reads the clock (tests give their own).
  TerminalProgress(std::ostream& out, bool terminal,
                   std::function<Clock::time_point()> now = Clock::now);
  ~TerminalProgress() override;  // takes a line still shown away
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  // Work starts with the first report after the last line was taken away;
  // its line shows once it has gone on for a second. A report of done equal
  // to a known total ends it.
  void report(std::string_view what, int64_t done, int64_t total) override;
  // Ends the work at hand, taking its line away; the next report starts anew.
  void finish();

 private:
  std::ostream& out_;
  bool terminal_;
  std::function<Clock::time_point()> now_;
  bool working_ = false;  // a report since the last finish
  bool shown_ = false;    // a line is on the terminal
  size_t width_ = 0;      // bytes of the longest line drawn since then
  Clock::time_point started_, drawn_;
};

// Whether standard error is a terminal.
bool standard_error_is_terminal();

}  // namespace kelv::app
