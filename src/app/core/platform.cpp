#include "app/core/platform.h"

#ifdef _WIN32
// clang-format off
#include <windows.h>  // first: shellapi.h needs it
#include <shellapi.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <streambuf>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "host/file_path.h"

namespace kelv::app {

#ifdef _WIN32

namespace {

std::string utf8_of(const wchar_t* text, int length) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring wide_of(const char* text, int length) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text, length, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text, length, out.data(), n);
  return out;
}

bool is_console(HANDLE h) {
  DWORD mode = 0;
  return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode) != 0;
}

// UTF-8 written to a console, turned into WriteConsoleW calls. A character
// split between two writes waits for its last bytes.
class ConsoleOutput : public std::streambuf {
 public:
  explicit ConsoleOutput(HANDLE h) : h_(h) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    pending_ += traits_type::to_char_type(c);
    if (c == '\n') sync();
    return c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<size_t>(n));
    if (std::memchr(s, '\n', static_cast<size_t>(n)) || pending_.size() > 4096) sync();
    return n;
  }
  int sync() override {
    // The end of the last complete character.
    size_t end = pending_.size();
    size_t lead = end;
    while (lead > 0 && lead + 4 > end &&
           (static_cast<unsigned char>(pending_[lead - 1]) & 0xC0) == 0x80)
      --lead;
    if (lead > 0) {
      const auto c = static_cast<unsigned char>(pending_[lead - 1]);
      const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      if (lead - 1 + need > end) end = lead - 1;
    }
    if (end == 0) return 0;
    const std::wstring text = wide_of(pending_.data(), static_cast<int>(end));
    DWORD written = 0;
    WriteConsoleW(h_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    pending_.erase(0, end);
    return 0;
  }

 private:
  HANDLE h_;
  std::string pending_;
};

// Lines typed at a console, read with ReadConsoleW and handed on as UTF-8
// with "\n" line ends. Ctrl+Z at the start of a line ends the input.
class ConsoleInput : public std::streambuf {
 public:
  explicit ConsoleInput(HANDLE h) : h_(h) {}

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (ended_) return traits_type::eof();
    wchar_t wide[1024];
    DWORD read = 0;
    if (!ReadConsoleW(h_, wide, 1024, &read, nullptr) || read == 0 || wide[0] == 0x1A) {
      ended_ = true;
      return traits_type::eof();
    }
    buffer_.clear();
    for (char ch : utf8_of(wide, static_cast<int>(read)))
      if (ch != '\r') buffer_ += ch;
    setg(buffer_.data(), buffer_.data(), buffer_.data() + buffer_.size());
    return buffer_.empty() ? underflow() : traits_type::to_int_type(*gptr());
  }

 private:
  HANDLE h_;
  std::string buffer_;
  bool ended_ = false;
};

}  // namespace

const char* const kSystemViewer = "start";

std::vector<std::string> utf8_arguments(int argc, char** argv) {
  int n = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> args;
  for (int i = 0; i < n; ++i) args.push_back(utf8_of(wide[i], -1).c_str());
  LocalFree(wide);
  return args;
}

void prepare_console() {
  // What is not redirected below (printf from a library) still comes out as
  // UTF-8 on a console that can show it.
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
  static ConsoleOutput out(GetStdHandle(STD_OUTPUT_HANDLE));
  static ConsoleOutput err(GetStdHandle(STD_ERROR_HANDLE));
  static ConsoleInput in(GetStdHandle(STD_INPUT_HANDLE));
  // Redirected output is the same bytes as on Linux: "\n" line ends, not
  // the C runtime's "\r\n".
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (is_console(GetStdHandle(STD_OUTPUT_HANDLE))) std::cout.rdbuf(&out);
  if (is_console(GetStdHandle(STD_ERROR_HANDLE))) std::cerr.rdbuf(&err);
  if (is_console(GetStdHandle(STD_INPUT_HANDLE))) std::cin.rdbuf(&in);
}

bool is_terminal(bool output) {
  return is_console(GetStdHandle(output ? STD_OUTPUT_HANDLE : STD_INPUT_HANDLE));
}

void start_viewer(const std::string& program, const std::string& path) {
  const std::wstring file = host::file_path(path).wstring();
  if (program == kSystemViewer) {
    ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return;
  }
  const std::wstring exe = wide_of(program.data(), static_cast<int>(program.size()));
  const std::wstring quoted = L"\"" + file + L"\"";
  ShellExecuteW(nullptr, L"open", exe.c_str(), quoted.c_str(), nullptr, SW_SHOWNORMAL);
}

#else

const char* const kSystemViewer = "xdg-open";

std::vector<std::string> utf8_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void prepare_console() {}

bool is_terminal(bool output) {
  return isatty(output ? STDOUT_FILENO : STDIN_FILENO) != 0;
}

void start_viewer(const std::string& program, const std::string& path) {
  const char* file = program.c_str();
  const char* arg = path.c_str();
  const pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    // A grandchild in its own session does the work; the middle process
    // exits at once so nothing is left to wait for.
    if (fork() == 0) {
      setsid();
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
      }
      execlp(file, file, arg, static_cast<char*>(nullptr));
      _exit(127);
    }
    _exit(0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

#endif

}  // namespace kelv::app
