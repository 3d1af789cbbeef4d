#include "app/core/terminal_progress.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

namespace kelv::app {
namespace {

constexpr auto kQuiet = std::chrono::seconds(1);
constexpr auto kRedraw = std::chrono::milliseconds(100);

}  // namespace

TerminalProgress::TerminalProgress(std::ostream& out, bool terminal,
                                   std::function<Clock::time_point()> now)
    : out_(out), terminal_(terminal), now_(std::move(now)) {}

TerminalProgress::~TerminalProgress() {
  finish();
}

void TerminalProgress::report(std::string_view what, int64_t done, int64_t total) {
  if (!terminal_) return;
  if (total > 0 && done >= total) {
    finish();
    return;
  }
  const Clock::time_point t = now_();
  if (!working_) {
    working_ = true;
    started_ = t;
  }
  if (t - started_ < kQuiet || (shown_ && t - drawn_ < kRedraw)) return;
  // Over the line before, blanks past its end: a terminal without escape
  // sequences (the Windows console) shows the same.
  const std::string text = host::progress_text(what, done, total);
  out_ << '\r' << text;
  if (text.size() < width_) out_ << std::string(width_ - text.size(), ' ');
  out_ << std::flush;
  width_ = std::max(width_, text.size());
  shown_ = true;
  drawn_ = t;
}

void TerminalProgress::finish() {
  if (shown_) out_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
  shown_ = false;
  width_ = 0;
  working_ = false;
}

bool standard_error_is_terminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace kelv::app
