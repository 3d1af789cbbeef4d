// Worksheet parts. Reading streams the XML (a sheet of a million cells never
// becomes a tree); elements the model does not hold are kept as raw XML with
// their schema position. Writing puts everything back in schema order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "spreadsheet/model.h"

namespace kelv::xlsx {

class PackageReader;

// Position of a worksheet child element in the schema sequence; -1 when the
// element is not part of a worksheet.
int32_t worksheet_element_order(std::string_view local);

struct WorksheetRead {
  std::string drawing_rel;  // r:id of <drawing>, "" when none
};

// Local defects (a shared-string index past the end, a row numbered 0) are
// read as well as they can be and described in `repairs`.
WorksheetRead read_worksheet(PackageReader& package, const std::string& part,
                             const std::vector<std::string>& shared_strings, size_t style_count,
                             spreadsheet::Sheet& sheet, std::vector<std::string>& repairs);

// Shared strings gathered while writing sheets.
class SharedStrings {
 public:
  uint32_t index(const std::string& s);
  size_t size() const { return list_.size(); }
  size_t references() const { return references_; }
  std::string xml() const;

 private:
  std::unordered_map<std::string, uint32_t> index_;
  std::vector<const std::string*> list_;
  size_t references_ = 0;
};

// Writes the worksheet part. drawing_rel is the r:id of its drawing ("" for
// none).
std::string write_worksheet(const spreadsheet::Sheet& sheet, size_t style_count,
                            const std::string& drawing_rel, SharedStrings& strings);

}  // namespace kelv::xlsx
