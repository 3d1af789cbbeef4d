#include "host/system_environment.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <chrono>
#include <filesystem>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "host/file_path.h"

namespace kelv::host {
namespace {

// A file name as the file system compares it: Windows ignores case.
std::string name_key(const std::filesystem::path& name) {
#ifdef _WIN32
  std::wstring w = name.wstring();
  if (!w.empty()) CharLowerBuffW(w.data(), static_cast<DWORD>(w.size()));
  return path_text(std::filesystem::path(w));
#else
  return path_text(name);
#endif
}

}  // namespace

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
    if (!is_listed_file_name(name)) continue;
    names.push_back(std::move(name));
  }
  return names;
}

bool SystemEnvironment::file_exists(std::string_view path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(file_path(path), ec);
}

std::vector<bool> SystemEnvironment::files_exist(const std::vector<std::string>& paths) {
  namespace fs = std::filesystem;
  std::vector<bool> out(paths.size(), false);
  // Each folder is listed once; only names found in it are looked up.
  std::unordered_map<std::string, std::optional<std::unordered_set<std::string>>> folders;
  for (size_t i = 0; i < paths.size(); ++i) {
    const fs::path p = file_path(paths[i]);
    const fs::path folder = p.parent_path();
    auto [it, fresh] = folders.try_emplace(path_text(folder));
    if (fresh) {
      std::error_code ec;
      fs::directory_iterator d(folder.empty() ? fs::path(".") : folder, ec), end;
      if (!ec) {
        std::unordered_set<std::string> names;
        for (; d != end; d.increment(ec)) {
          if (ec) break;
          names.insert(name_key(d->path().filename()));
        }
        if (!ec) it->second = std::move(names);
      }
    }
    // A folder that can not be listed is asked path by path.
    if (it->second && !it->second->count(name_key(p.filename()))) continue;
    std::error_code ec;
    out[i] = fs::is_regular_file(p, ec);
  }
  return out;
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
