// Every input the reader's fuzz target ever failed on (a crash, a hang, an
// allocation without bound) is kept in tests/data/xlsx/fuzz_regressions and
// read here the way the target reads it, with the project's own compiler
// and without the fuzzer, so the fault stays mended everywhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/fuzz_input.h"
#include "xlsx_test_util.h"

namespace kelv::xlsx {
namespace {

TEST(FuzzRegressions, EveryInputThatOnceFailedReadsOrIsRefused) {
  test::TempFolder dir("xlsx");
  const std::filesystem::path folder = test::data_file("fuzz_regressions");
  int inputs = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    if (!e.is_regular_file() || e.path().filename() == "README.md") continue;
    std::ifstream in(e.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    SCOPED_TRACE(e.path().filename().string());
    EXPECT_NO_FATAL_FAILURE(fuzz::read_input(reinterpret_cast<const uint8_t*>(bytes.data()),
                                             bytes.size(), dir.path().string()));
    ++inputs;
  }
  RecordProperty("inputs", inputs);
}

}  // namespace
}  // namespace kelv::xlsx
