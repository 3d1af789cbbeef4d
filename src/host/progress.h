// How long work tells the person how far it has come, and how the person
// stops it. Handlers and the exam-level work reach it through the
// application (Application::progress), so they never know which front end
// shows it: a progress line on a terminal, a progress dialog with 取消, or
// nothing at all in tests and under a foreign host.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelv::host {

class Progress {
 public:
  virtual ~Progress() = default;
  // `what` is being done, `done` of `total` steps (total 0: not known yet).
  // Cheap enough to call for every record; a front end decides how often
  // it redraws. When the person has asked to stop, throws
  // HostError(kUserInterrupt), which ends the work like any other failure;
  // the front end that asked puts the workbooks back as they were.
  virtual void report(std::string_view what, int64_t done, int64_t total) = 0;
};

// Reports nothing and never stops the work.
class NoProgress : public Progress {
 public:
  void report(std::string_view, int64_t, int64_t) override {}
};

// The one instance of NoProgress, for applications without a front end.
Progress& no_progress();

// "生成桌贴 42,000 / 100,000": the step, with thousands separated.
std::string progress_text(std::string_view what, int64_t done, int64_t total);

}  // namespace kelv::host
