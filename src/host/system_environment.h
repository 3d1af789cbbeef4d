// The real operating system: std::filesystem listings and look-ups (wide
// file names on Windows), and a
// uniform generator seeded from the clock, or from a fixed seed for tests.
#pragma once

#include <cstdint>
#include <optional>
#include <random>

#include "host/environment.h"

namespace kelv::host {

class SystemEnvironment : public Environment {
 public:
  SystemEnvironment() = default;
  // With a seed, randomize() restarts this fixed sequence instead of reading
  // the clock, so runs repeat.
  explicit SystemEnvironment(uint64_t seed) : fixed_seed_(seed) {}

  std::vector<std::string> list_files(std::string_view folder) override;
  bool file_exists(std::string_view path) override;
  std::vector<bool> files_exist(const std::vector<std::string>& paths) override;
  void randomize() override;
  float next_random() override;

 private:
  std::optional<uint64_t> fixed_seed_;
  std::mt19937_64 generator_{0};
};

}  // namespace kelv::host
