// The operating system as the component sees it: folder listings, file
// look-ups and the random generator. A real and a test implementation exist,
// so handlers never depend on the machine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelv::host {

class Environment {
 public:
  virtual ~Environment() = default;
  // Names of the normal files of a folder, in no particular order: no
  // sub-folders, no hidden files (".name"), no lock files ("~$name"). A
  // missing folder lists nothing. Paths use "\" or "/" as separator.
  virtual std::vector<std::string> list_files(std::string_view folder) = 0;
  // True for a normal file; False for a folder or anything unreadable.
  virtual bool file_exists(std::string_view path) = 0;
  // file_exists for each path, in order; a host may answer a long list
  // faster than path by path (one listing per folder).
  virtual std::vector<bool> files_exist(const std::vector<std::string>& paths);
  // For each path, the file it names as Windows finds it, where names
  // ignore letter case: the path itself when it is a normal file, else the
  // file of its folder whose name differs from it only in case (photo.JPG
  // for photo.jpg), else "". Each folder is listed once.
  virtual std::vector<std::string> find_files(const std::vector<std::string>& paths);
  // Seeds the uniform generator (from the clock in real runs).
  virtual void randomize() = 0;
  // The next uniform single-precision value in [0, 1).
  virtual float next_random() = 0;
};

// Turns a path written with "\" separators into the platform's form.
std::string native_path(std::string_view path);

}  // namespace kelv::host
