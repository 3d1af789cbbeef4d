// The dialog layer of a torb inside a desktop spreadsheet application:
// Windows message boxes, the host's own input box, the system's tone, help
// documents through the word processor's automation server or the system's
// viewer, and the form's window style.
#pragma once

#include "automation/com.h"
#include "host/dialogs.h"

namespace kelv::automation {

class WindowsDialogs : public host::Dialogs {
 public:
  // The host application the input box is asked of, for the current call.
  void set_host(IDispatch* app) { host_ = app; }

  host::MessageResult message_box(std::string_view text, host::MessageButtons buttons,
                                  host::MessageIcon icon, std::string_view title) override;
  std::string input_box(std::string_view prompt, std::string_view title,
                        std::string_view default_text) override;
  void tone(int32_t hertz, int32_t milliseconds) override;
  void open_document(std::string_view path) override;
  void make_form_resizable(std::string_view caption) override;

 private:
  IDispatch* host_ = nullptr;
};

// Opens a document: a new visible instance of the automation server
// `progid` (Word.Application) with Documents.Open, or, where that server is
// missing or refuses, the system's viewer for the file (ShellExecute).
// kFileNotFound for a missing file; what the viewer refuses is 1004.
// Returns true when the automation server opened it.
bool open_with_program(std::string_view path, const wchar_t* progid = L"Word.Application");

}  // namespace kelv::automation
