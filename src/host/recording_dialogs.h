// Dialogs answered from a queue and written down: the scenario runner's and
// the tests' dialog layer. Every message box, input box, tone, opened
// document and window-style request becomes a record.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "host/dialogs.h"

namespace kelv::host {

struct DialogRecord {
  std::string kind;  // "message", "input", "tone", "document", "resizable"
  std::string title;
  std::string text;                   // message text, input prompt, document path, caption
  std::string buttons;                // "OK" or "YesNo" for messages
  std::string icon;                   // "none" or "critical" for messages
  std::string default_text;           // input boxes
  std::optional<std::string> answer;  // "OK"/"Yes"/"No", the typed text; nullopt: Cancel
  bool defaulted = false;             // no answer was queued
  int hertz = 0, milliseconds = 0;
};

class RecordingDialogs : public Dialogs {
 public:
  // Queues an answer for the next dialog: "OK", "Yes", "No" for a message
  // box, the text for an input box, nullopt for Cancel.
  void queue_answer(std::optional<std::string> answer) { answers_.push_back(std::move(answer)); }
  // Every dialog so far, in order. open_document records an existing file
  // and fails with kFileNotFound for a missing one, as a real viewer would.
  const std::vector<DialogRecord>& records() const { return records_; }
  std::vector<DialogRecord> messages() const;  // only the message boxes
  void clear() { records_.clear(); }
  // When set, make_form_resizable fails, as it does where the form has no window.
  void set_resizable_fails(bool fails) { resizable_fails_ = fails; }

  MessageResult message_box(std::string_view text, MessageButtons buttons, MessageIcon icon,
                            std::string_view title) override;
  std::string input_box(std::string_view prompt, std::string_view title,
                        std::string_view default_text) override;
  void tone(int32_t hertz, int32_t milliseconds) override;
  void open_document(std::string_view path) override;
  void make_form_resizable(std::string_view caption) override;

 private:
  std::deque<std::optional<std::string>> answers_;
  std::vector<DialogRecord> records_;
  bool resizable_fails_ = false;
};

}  // namespace kelv::host
