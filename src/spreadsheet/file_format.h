// How the engine reads and writes workbook files. The .xlsx layer supplies
// the implementation; the engine only holds the interface, so it does not
// depend on any file format.
#pragma once

#include <memory>
#include <string>

#include "spreadsheet/model.h"

namespace kelv::spreadsheet {

class FileFormat {
 public:
  virtual ~FileFormat() = default;
  // Reads a workbook. Throws host::HostError 1004 naming the file (and the
  // part) for anything it cannot read, 53 for a missing file.
  virtual std::unique_ptr<Workbook> load(const std::string& path) = 0;
  // Writes beside the target and renames over it only when complete; on
  // failure the old file is untouched and host::HostError names the file.
  virtual void save(const Workbook& book, const std::string& path) = 0;
};

}  // namespace kelv::spreadsheet
