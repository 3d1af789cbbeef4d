// Dialogs at a text terminal: each box is printed and answered by typing a
// line, for `kelv play`. When input ends, every dialog takes its safe
// answer: OK, No, Cancel.
#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "app/core/platform.h"
#include "host/dialogs.h"

namespace kelv::app {

class TerminalDialogs : public host::Dialogs {
 public:
  // `bell`: the output is a terminal, so the tone rings it.
  TerminalDialogs(std::istream& in, std::ostream& out, bool bell = false)
      : in_(in), out_(out), bell_(bell) {}

  // Writes every line read back to the output, so a session fed from a
  // file or a pipe reads like one typed by hand.
  void set_echo(bool on) { echo_ = on; }
  // The program opening documents, started in the background with the path
  // as its only argument; empty opens nothing.
  void set_viewer(std::string program) { viewer_ = std::move(program); }

  // Prints the title, text and buttons. OK: Enter; Yes/No: y or n, 是 or
  // 否; asked again on anything else.
  host::MessageResult message_box(std::string_view text, host::MessageButtons buttons,
                                  host::MessageIcon icon, std::string_view title) override;
  // Prints the prompt and the default in brackets. Enter takes the default;
  // "." cancels (returns "").
  std::string input_box(std::string_view prompt, std::string_view title,
                        std::string_view default_text) override;
  // A bell when the output is a terminal, else nothing.
  void tone(int32_t hertz, int32_t milliseconds) override;
  // Prints the path and hands it to the viewer; its failure is ignored.
  // HostError 53 when the file does not exist.
  void open_document(std::string_view path) override;
  void make_form_resizable(std::string_view caption) override;

  // Reads one line, without its line end; nullopt at the end of input.
  std::optional<std::string> read_line();

 private:
  void heading(std::string_view title, host::MessageIcon icon);

  std::istream& in_;
  std::ostream& out_;
  bool bell_;
  bool echo_ = false;
  std::string viewer_ = kSystemViewer;
};

}  // namespace kelv::app
