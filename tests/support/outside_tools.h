// Outside programs the tests check files with. A missing one is a failure
// that names the Debian package to install (scripts/setup.sh installs them
// all), never a skipped check or a bare count mismatch.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelv::test {

// What a shell command prints on standard output (its standard error
// dropped); "" when it cannot start. The Windows build's tests run under
// Wine, which cannot start the Linux programs (poppler's among them): there
// it is always "", and the Linux build makes the same checks.
std::string command_output(const std::string& command);

// /usr/bin/python3 with openpyxl and Pillow (without Pillow openpyxl reads
// no pictures).
::testing::AssertionResult openpyxl_available();

// Runs /usr/bin/python3 SCRIPT ARGS...; success when it exits 0, otherwise
// a failure carrying what it printed.
::testing::AssertionResult python_script_passes(const std::string& script,
                                                const std::vector<std::string>& args);

// Opens `file` with openpyxl as `wb` and runs `code` (Python statements,
// one per line) that sets `ok` to True when the file reads as expected; it
// may set `why` to say what differed.
::testing::AssertionResult openpyxl_accepts(const std::string& file, const std::string& code);

}  // namespace kelv::test
