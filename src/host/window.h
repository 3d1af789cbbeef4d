// The window of a workbook (Application.ActiveWindow). Scroll position and
// panes belong to the workbook's active sheet and are saved with the file.
#pragma once

#include <cstdint>

namespace kelv::host {

class Window {
 public:
  virtual ~Window() = default;
  // The top-left cell shown (of the lower-right pane when split) and the
  // panes: split_row rows and split_column columns above and left of the
  // split, frozen or not. Setters take 1..kMaxRows/kMaxColumns for the scroll
  // position and 0 (no split) up to one less for the split, else kRefused
  // with the view unchanged. None of them marks the workbook modified.
  virtual int32_t scroll_row() const = 0;
  virtual void set_scroll_row(int32_t row) = 0;
  virtual int32_t scroll_column() const = 0;
  virtual void set_scroll_column(int32_t column) = 0;
  virtual int32_t split_row() const = 0;
  virtual void set_split_row(int32_t rows) = 0;
  virtual int32_t split_column() const = 0;
  virtual void set_split_column(int32_t columns) = 0;
  virtual bool freeze_panes() const = 0;
  virtual void set_freeze_panes(bool frozen) = 0;
  virtual double tab_ratio() const = 0;
  // Share of the window's width the sheet tabs take; kRefused outside 0..1.
  virtual void set_tab_ratio(double ratio) = 0;
};

}  // namespace kelv::host
