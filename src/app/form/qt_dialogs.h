// The desktop form's dialogs: real modal message and input boxes, the
// system beep, documents handed to the system's viewer, and a resizable
// form window. A script (RecordingDialogs) can stand in for the person at
// the screen: every dialog then takes its answer from the script's queue
// and is recorded there, and nothing modal is shown.
#pragma once

#include <QPointer>
#include <QWidget>

#include "host/dialogs.h"
#include "host/recording_dialogs.h"

namespace kelv::form {

class QtDialogs : public host::Dialogs {
 public:
  QtDialogs() = default;

  // The window dialogs belong to and make_form_resizable acts on.
  void set_window(QWidget* window) { window_ = window; }
  // With a script, dialogs are answered and recorded by it (tests, demos).
  void set_script(host::RecordingDialogs* script) { script_ = script; }
  host::RecordingDialogs* script() const { return script_; }

  host::MessageResult message_box(std::string_view text, host::MessageButtons buttons,
                                  host::MessageIcon icon, std::string_view title) override;
  std::string input_box(std::string_view prompt, std::string_view title,
                        std::string_view default_text) override;
  void tone(int32_t hertz, int32_t milliseconds) override;
  void open_document(std::string_view path) override;
  void make_form_resizable(std::string_view caption) override;

  // The window's fixed size before start-up makes it resizable.
  static void make_fixed(QWidget* window);

 private:
  QPointer<QWidget> window_;
  host::RecordingDialogs* script_ = nullptr;
};

}  // namespace kelv::form
