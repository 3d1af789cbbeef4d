#include "app/core/terminal_dialogs.h"

#include <cctype>
#include <filesystem>

#include "app/core/platform.h"
#include "host/environment.h"
#include "host/file_path.h"
#include "host/host_error.h"

namespace kelv::app {
namespace {

// Message texts come with Windows line ends; a terminal wants "\n".
std::string terminal_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string trimmed(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return "";
  const size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

std::optional<host::MessageResult> yes_or_no(const std::string& typed) {
  std::string t = trimmed(typed);
  for (char& ch : t) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (t == "y" || t == "yes" || t == "是") return host::MessageResult::Yes;
  if (t == "n" || t == "no" || t == "否") return host::MessageResult::No;
  return std::nullopt;
}

// A typed command must not vanish into an OK box, so only an empty line
// (or "ok", "确定") answers it.
bool is_ok(const std::string& typed) {
  std::string t = trimmed(typed);
  for (char& ch : t) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return t.empty() || t == "ok" || t == "确定";
}

}  // namespace

std::optional<std::string> TerminalDialogs::read_line() {
  std::string line;
  if (!std::getline(in_, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (echo_) out_ << line << '\n';
  return line;
}

void TerminalDialogs::heading(std::string_view title, host::MessageIcon icon) {
  out_ << "\n【" << title << "】";
  if (icon == host::MessageIcon::Critical) out_ << "（错误）";
  out_ << '\n';
}

host::MessageResult TerminalDialogs::message_box(std::string_view text,
                                                 host::MessageButtons buttons,
                                                 host::MessageIcon icon, std::string_view title) {
  heading(title, icon);
  out_ << terminal_text(text) << '\n';
  if (buttons == host::MessageButtons::Ok) {
    for (;;) {
      out_ << "[确定：按 Enter] " << std::flush;
      const std::optional<std::string> typed = read_line();
      if (!typed) {
        out_ << "（输入已结束：确定）\n";
        return host::MessageResult::Ok;
      }
      if (is_ok(*typed)) return host::MessageResult::Ok;
      out_ << "请按 Enter 确定。\n";
    }
  }
  for (;;) {
    out_ << "[是(y) / 否(n)] " << std::flush;
    const std::optional<std::string> typed = read_line();
    if (!typed) {
      out_ << "（输入已结束：否）\n";
      return host::MessageResult::No;
    }
    if (const auto answer = yes_or_no(*typed)) return *answer;
    out_ << "请输入 y（是）或 n（否）。\n";
  }
}

std::string TerminalDialogs::input_box(std::string_view prompt, std::string_view title,
                                       std::string_view default_text) {
  heading(title, host::MessageIcon::None);
  out_ << terminal_text(prompt) << '\n';
  out_ << "（Enter 取方括号中的默认值，输入 . 取消）\n";
  out_ << "[" << default_text << "] " << std::flush;
  const std::optional<std::string> typed = read_line();
  if (!typed) {
    out_ << "（输入已结束：取消）\n";
    return "";
  }
  if (*typed == ".") return "";
  if (typed->empty()) return std::string(default_text);
  return *typed;
}

void TerminalDialogs::tone(int32_t, int32_t) {
  if (bell_) out_ << '\a' << std::flush;
}

void TerminalDialogs::open_document(std::string_view path) {
  const std::string native = host::native_path(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(host::file_path(path), ec))
    throw host::HostError::host(host::kFileNotFound, "文件未找到：" + std::string(path));
  out_ << "打开文档：" << native << '\n' << std::flush;
  if (!viewer_.empty()) start_viewer(viewer_, native);
}

void TerminalDialogs::make_form_resizable(std::string_view) {}

}  // namespace kelv::app
