// The host application (the EA object every handler receives).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "host/font.h"
#include "host/progress.h"
#include "host/range.h"
#include "host/window.h"
#include "host/workbook.h"

namespace kelv::host {

class Application;

// Application.Workbooks: open workbooks in the order they were opened.
class Workbooks {
 public:
  explicit Workbooks(Application& app) : app_(&app) {}
  int32_t count() const;
  Workbook& item(std::string_view name) const;  // 9 when no workbook has that name
  Workbook& item(int32_t index) const;          // 0-based
  // Opens a workbook file ("\" in the path is the separator): .xlsx/.xlsm,
  // or any other kind the host reads (an old .xls, a .csv, ...). A file it
  // cannot read fails with 1004 naming the file; a second workbook of the
  // same name fails with 1004.
  Workbook& open(std::string_view path) const;

  class iterator {
   public:
    iterator(Application* a, int32_t i) : app_(a), i_(i) {}
    Workbook& operator*() const;
    iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator!=(const iterator& o) const { return i_ != o.i_; }

   private:
    Application* app_;
    int32_t i_;
  };
  iterator begin() const { return iterator(app_, 0); }
  iterator end() const { return iterator(app_, count()); }

 private:
  Application* app_;
};

class Application {
 public:
  virtual ~Application() = default;

  Workbooks workbooks() { return Workbooks(*this); }
  Worksheet& active_sheet() { return active_workbook().active_sheet(); }
  Window& active_window() { return active_workbook().window(); }
  // Application.Union: every area of every range, which must share a sheet.
  Range union_of(std::initializer_list<Range> ranges);
  Range union_of(const Range& a, const Range& b) { return union_of({a, b}); }

  // Flags the component switches around its work; they change nothing else.
  virtual bool screen_updating() const = 0;
  virtual void set_screen_updating(bool on) = 0;
  virtual bool display_alerts() const = 0;
  virtual void set_display_alerts(bool on) = 0;
  virtual int32_t calculation() const = 0;
  // xlCalculationAutomatic recalculates every open workbook at once;
  // kRefused for a mode that is not an xlCalculation constant.
  virtual void set_calculation(int32_t mode) = 0;
  // The format that replace(..., replace_format = true) gives matched cells.
  virtual ReplaceFormat& replace_format() = 0;

  // The host workbook; kSubscriptOutOfRange when none is open.
  virtual Workbook& this_workbook() = 0;
  // kSubscriptOutOfRange when no workbook is open.
  virtual Workbook& active_workbook() = 0;
  virtual int32_t workbook_count() const = 0;
  // 0-based in the order of opening; kSubscriptOutOfRange outside the range.
  virtual Workbook& workbook_at(int32_t index) = 0;
  // By file name, ignoring case; kSubscriptOutOfRange when none has it.
  virtual Workbook& workbook(std::string_view name) = 0;
  // Opens the file and makes it the active workbook. kFileNotFound for a
  // missing file; kRefused naming the file for one it cannot read (the
  // embedded host reads .xlsx/.xlsm and the older and text kinds by their
  // first bytes, whatever the name), and for a second workbook of the same
  // name. Nothing is opened when it fails.
  virtual Workbook& open_workbook(std::string_view path) = 0;
  // A new workbook with one empty sheet "Sheet1", to be saved as the file
  // at `path` ("\" is the separator), which it does not read or write: its
  // Name is the file name of the path and it becomes the active workbook.
  // Saving it is the front end's business, like every other. kRefused when
  // a workbook of that name is open, or by a host that cannot add one.
  virtual Workbook& add_workbook(std::string_view path);

  // Where long work reports how far it has come (see host/progress.h).
  // Applications without a front end report nowhere.
  virtual Progress& progress() { return no_progress(); }
};

}  // namespace kelv::host
