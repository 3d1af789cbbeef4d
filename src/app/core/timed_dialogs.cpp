#include "app/core/timed_dialogs.h"

#include <chrono>

namespace kelv::app {
namespace {

using Clock = std::chrono::steady_clock;

// Adds the time from its making to its end to a total.
class Waiting {
 public:
  explicit Waiting(int64_t& total) : total_(total), start_(Clock::now()) {}
  ~Waiting() {
    total_ += std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
  }
  Waiting(const Waiting&) = delete;
  Waiting& operator=(const Waiting&) = delete;

 private:
  int64_t& total_;
  Clock::time_point start_;
};

}  // namespace

host::MessageResult TimedDialogs::message_box(std::string_view text, host::MessageButtons buttons,
                                              host::MessageIcon icon, std::string_view title) {
  if (holding_ && icon == host::MessageIcon::Critical) {
    ++held_;
    return host::MessageResult::Ok;
  }
  const Waiting waiting(waited_ms_);
  return inner_.message_box(text, buttons, icon, title);
}

std::string TimedDialogs::input_box(std::string_view prompt, std::string_view title,
                                    std::string_view default_text) {
  const Waiting waiting(waited_ms_);
  return inner_.input_box(prompt, title, default_text);
}

}  // namespace kelv::app
