// The front end's dialogs as the component sees them. Every box is passed
// on unchanged; the time the person took to answer is counted, so that the
// time long work reports is the work's own and not the seconds a result box
// waited for 确定. Once the person has stopped long work, the component's
// error box for that stop is kept back: the front end says plainly that the
// work was cancelled and what that left, instead of a box with a code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/dialogs.h"

namespace kelv::app {

class TimedDialogs : public host::Dialogs {
 public:
  explicit TimedDialogs(host::Dialogs& inner) : inner_(inner) {}

  // Milliseconds spent in message and input boxes since this was made.
  int64_t waited_ms() const { return waited_ms_; }
  // While on, error boxes (the critical icon) are not shown; they are
  // counted in held_boxes().
  void hold_error_boxes(bool on) { holding_ = on; }
  int32_t held_boxes() const { return held_; }

  host::MessageResult message_box(std::string_view text, host::MessageButtons buttons,
                                  host::MessageIcon icon, std::string_view title) override;
  std::string input_box(std::string_view prompt, std::string_view title,
                        std::string_view default_text) override;
  void tone(int32_t hertz, int32_t milliseconds) override { inner_.tone(hertz, milliseconds); }
  void open_document(std::string_view path) override { inner_.open_document(path); }
  void make_form_resizable(std::string_view caption) override {
    inner_.make_form_resizable(caption);
  }

 private:
  host::Dialogs& inner_;
  int64_t waited_ms_ = 0;
  bool holding_ = false;
  int32_t held_ = 0;
};

}  // namespace kelv::app
