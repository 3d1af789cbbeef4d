// A print job: the sheets of a workbook to print, laid out, with their
// pages numbered through the whole job (a sheet with a first page number
// of its own starts again from it) and the values header and footer codes
// take on each page.
#pragma once

#include <cstdint>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "print/header_footer.h"
#include "print/page_layout.h"
#include "spreadsheet/model.h"

namespace kelv::print {

// The sheets to print: those named, in the order given, or else every
// visible sheet in tab order. Throws std::invalid_argument with a message
// for the user naming a sheet the workbook does not have.
std::vector<int32_t> sheets_to_print(const spreadsheet::Workbook& book,
                                     const std::vector<std::string>& names);

// How far a job has got: pages done of all, and the sheet being printed.
struct JobProgress {
  int32_t done = 0, total = 0;
  int32_t sheet = 0;        // index into PrintJob::sheets()
  bool sheet_done = false;  // the last page of that sheet was just finished
};

class PrintJob {
 public:
  // Lays out `sheets` (indices into book.sheets). `now` fills &D and &T.
  PrintJob(const spreadsheet::Workbook& book, const std::vector<int32_t>& sheets,
           std::time_t now = std::time(nullptr));

  const spreadsheet::Workbook& book() const { return book_; }
  const std::vector<SheetLayout>& sheets() const { return layouts_; }
  int32_t page_count() const { return static_cast<int32_t>(pages_.size()); }

  struct PageRef {
    int32_t sheet = 0;   // index into sheets()
    int32_t page = 0;    // index into that sheet's pages
    int32_t number = 1;  // the page number printed (&P)
  };
  const PageRef& page(int32_t index) const { return pages_.at(static_cast<size_t>(index)); }
  const SheetLayout& layout_of(int32_t index) const { return layouts_[page(index).sheet]; }
  const Page& page_of(int32_t index) const {
    return layout_of(index).pages[static_cast<size_t>(page(index).page)];
  }
  // The values of the field codes on page `index` (0-based in the job).
  PageFields fields(int32_t index) const;
  // The notes of every sheet's layout, each led by the sheet's name.
  std::vector<std::string> notes() const;

 private:
  const spreadsheet::Workbook& book_;
  std::vector<SheetLayout> layouts_;
  std::vector<PageRef> pages_;
  std::string date_, time_, file_, path_;
};

}  // namespace kelv::print
