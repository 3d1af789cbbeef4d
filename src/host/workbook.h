// A workbook of the host and its Worksheets collection.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/window.h"
#include "host/worksheet.h"

namespace kelv::host {

class Application;
class Workbook;

// Workbook.Worksheets: item by name (9 when missing) or 0-based index,
// count, iteration in tab order, Add(After).
class Worksheets {
 public:
  explicit Worksheets(Workbook& book) : book_(&book) {}
  int32_t count() const;
  Worksheet& item(std::string_view name) const;
  Worksheet& item(int32_t index) const;
  // Adds an empty sheet named "Sheet" plus the lowest free number right
  // after `after`; the new sheet becomes active.
  Worksheet& add_after(Worksheet& after) const;

  class iterator {
   public:
    iterator(Workbook* b, int32_t i) : book_(b), i_(i) {}
    Worksheet& operator*() const;
    iterator& operator++() { ++i_; return *this; }
    bool operator!=(const iterator& o) const { return i_ != o.i_; }
   private:
    Workbook* book_;
    int32_t i_;
  };
  iterator begin() const { return iterator(book_, 0); }
  iterator end() const { return iterator(book_, count()); }

 private:
  Workbook* book_;
};

class Workbook {
 public:
  virtual ~Workbook() = default;

  Worksheets worksheets() { return Worksheets(*this); }

  virtual Application& application() = 0;
  virtual std::string name() const = 0;  // the file name
  virtual std::string path() const = 0;  // its folder, no trailing separator
  virtual void activate() = 0;
  virtual Worksheet& active_sheet() = 0;
  virtual Window& window() = 0;

  virtual int32_t sheet_count() const = 0;
  virtual Worksheet& sheet_at(int32_t index) = 0;          // 0-based, 9 out of range
  virtual Worksheet& sheet(std::string_view name) = 0;     // exact name, 9 when missing
  virtual Worksheet& add_sheet_after(Worksheet& after) = 0;

  // Saving is the front end's business; the component never saves.
  // Writes beside the file and renames over it only when complete.
  virtual void save() = 0;
  virtual void save_as(std::string_view path) = 0;
  virtual bool modified() const = 0;
};

}  // namespace kelv::host
