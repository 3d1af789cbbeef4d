// The one way tests make files: a fresh folder under the system's temporary
// folder, removed with everything in it when the object goes, whether the
// test passed, failed an assertion or threw. A whole test run leaves the
// temporary folder as it found it. KELV_KEEP_TEMP=1 in the environment keeps
// the folders, to look at what a failing test wrote.
//
// Header only, so test programs that link nothing of the file layers can
// use it too.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/file_path.h"

namespace kelv::test {

class TempFolder {
 public:
  // The folder's name starts with "kelv-LABEL-", so a leftover names its test.
  explicit TempFolder(std::string_view label = "test") {
    namespace fs = std::filesystem;
    static std::atomic<uint64_t> counter{0};
    std::random_device rd;
    const uint64_t seed =
        (uint64_t{rd()} << 32) ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
      const uint64_t n = seed + counter.fetch_add(1) * 0x9E3779B97F4A7C15ull;
      fs::path p = fs::temp_directory_path() /
                   ("kelv-" + std::string(label) + "-" + std::to_string(n % 1000000007ull));
      std::error_code ec;
      if (fs::create_directory(p, ec)) {
        path_ = std::move(p);
        return;
      }
    }
    throw std::runtime_error("cannot make a temporary folder for " + std::string(label));
  }
  ~TempFolder() {
    const char* keep = std::getenv("KELV_KEEP_TEMP");
    if (keep && std::string_view(keep) == "1") return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // A path inside the folder, as UTF-8 text in the platform's form.
  std::string file(std::string_view name) const {
    return host::path_text(path_ / host::file_path(name));
  }

 private:
  std::filesystem::path path_;
};

// The bytes of the file at `path` (UTF-8 text, as the code under test names
// files), or "" when it cannot be read.
inline std::string read_bytes(std::string_view path) {
  std::ifstream in(host::file_path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Writes `bytes` as the whole file at `path` (UTF-8 text).
inline void write_bytes(std::string_view path, std::string_view bytes) {
  std::ofstream out(host::file_path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + std::string(path));
}

}  // namespace kelv::test
