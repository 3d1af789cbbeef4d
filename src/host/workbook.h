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
    iterator& operator++() {
      ++i_;
      return *this;
    }
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

  // The application the workbook is open in, its file name and its folder;
  // none of them fails.
  virtual Application& application() = 0;
  virtual std::string name() const = 0;  // the file name
  virtual std::string path() const = 0;  // its folder, no trailing separator
  // Makes this the application's active workbook; its sheets are unchanged.
  virtual void activate() = 0;
  // The sheet shown on top; a workbook always has one.
  virtual Worksheet& active_sheet() = 0;
  virtual Window& window() = 0;

  // Sheets in tab order, hidden ones included.
  virtual int32_t sheet_count() const = 0;
  // 0-based; kSubscriptOutOfRange outside 0..sheet_count() - 1.
  virtual Worksheet& sheet_at(int32_t index) = 0;
  // The sheet of exactly this name (case-sensitive); kSubscriptOutOfRange
  // when there is none.
  virtual Worksheet& sheet(std::string_view name) = 0;
  // Adds an empty sheet "SheetN" (the lowest free N) right after `after`,
  // makes it active and this workbook active. kRefused when `after` is not a
  // sheet of this workbook.
  virtual Worksheet& add_sheet_after(Worksheet& after) = 0;

  // Saving is the front end's business; the component never saves.
  // Writes beside the file and renames over it only when complete, so a
  // failure (kRefused, kPermissionDenied, naming the file) leaves the old
  // file as it was, and the workbook keeps its name, path and modified flag.
  // A workbook read from a file of another kind (.xls, .csv, ...) is never
  // written over that file: kRefused, naming the .xlsx to save as instead.
  virtual void save() = 0;
  // As save, to another .xlsx/.xlsm path, which becomes the workbook's own;
  // kRefused for any other extension and for the file the workbook was
  // read from when that was of another kind.
  virtual void save_as(std::string_view path) = 0;
  // True once anything but the view (selection, scrolling, active sheet)
  // has changed since the workbook was opened or saved.
  virtual bool modified() const = 0;
};

}  // namespace kelv::host
