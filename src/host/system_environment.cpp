#include "host/system_environment.h"

#include <chrono>
#include <filesystem>

#include "host/file_path.h"

namespace kelv::host {

std::vector<std::string> SystemEnvironment::list_files(std::string_view folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(file_path(folder), ec), end;
  if (ec) return names;
  for (; it != end; it.increment(ec)) {
    if (ec) break;
    std::error_code ec2;
    if (!it->is_regular_file(ec2)) continue;
    std::string name = path_text(it->path().filename());
    if (name.empty() || name[0] == '.' || name.rfind("~$", 0) == 0) continue;
    names.push_back(std::move(name));
  }
  return names;
}

bool SystemEnvironment::file_exists(std::string_view path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(file_path(path), ec);
}

void SystemEnvironment::randomize() {
  if (fixed_seed_) {
    generator_.seed(*fixed_seed_);
  } else {
    generator_.seed(static_cast<uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
  }
}

float SystemEnvironment::next_random() {
  // 24 random bits: every float in [0, 1) on a 2^-24 grid, never 1.
  return static_cast<float>(generator_() >> 40) * (1.0f / 16777216.0f);
}

}  // namespace kelv::host
