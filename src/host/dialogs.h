// Everything that talks to the person at the form: message boxes, the input
// box, the end-of-work tone, opening a document and the window style. The
// desktop form, the scenario runner and tests each supply one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelv::host {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Critical };
enum class MessageResult { Ok, Yes, No };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Modal; holds the call until answered. Never fails.
  virtual MessageResult message_box(std::string_view text, MessageButtons buttons, MessageIcon icon,
                                    std::string_view title) = 0;
  // Returns the typed text, or "" on Cancel.
  virtual std::string input_box(std::string_view prompt, std::string_view title,
                                std::string_view default_text) = 0;
  // Plays the tone, or does nothing where there is no sound. Never fails.
  virtual void tone(int32_t hertz, int32_t milliseconds) = 0;
  // Shows a document in its own window; kFileNotFound when it does not exist.
  virtual void open_document(std::string_view path) = 0;
  // Gives the form's window a resizable frame and a minimise box. May throw;
  // callers ignore its failures.
  virtual void make_form_resizable(std::string_view caption) = 0;
};

}  // namespace kelv::host
