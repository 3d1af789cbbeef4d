// Cell storage helpers over the model: finding, creating and erasing stored
// cells. Rows are a dense vector, cells of a row sorted by column, so every
// look-up is a binary search in one row.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

#include "host/constants.h"
#include "spreadsheet/dcheck.h"
#include "spreadsheet/model.h"

namespace kelv::spreadsheet::cells {

using CellIter = std::vector<Cell>::iterator;

// Every look-up below relies on this: a row's cells strictly ascending by
// column, each within the sheet.
inline bool sorted(const Row& row) {
  return std::adjacent_find(row.cells.begin(), row.cells.end(),
                            [](const Cell& a, const Cell& b) { return a.col >= b.col; }) ==
             row.cells.end() &&
         (row.cells.empty() ||
          (row.cells.front().col >= 1 && row.cells.back().col <= host::kMaxColumns));
}

inline Row* row_ptr(Sheet& s, int32_t r) {
  return r >= 1 && r <= static_cast<int32_t>(s.rows.size()) ? &s.rows[r - 1] : nullptr;
}
inline const Row* row_ptr(const Sheet& s, int32_t r) {
  return r >= 1 && r <= static_cast<int32_t>(s.rows.size()) ? &s.rows[r - 1] : nullptr;
}
inline Row& row_at(Sheet& s, int32_t r) {
  if (static_cast<int32_t>(s.rows.size()) < r) s.rows.resize(static_cast<size_t>(r));
  return s.rows[r - 1];
}
inline int32_t last_row(const Sheet& s) {
  return static_cast<int32_t>(s.rows.size());
}

// Rows of a long table are walked in order, but each row's cells lie apart
// in memory: a walk asks for the cells of the row kAhead rows on early.
inline constexpr int32_t kAhead = 16;
inline void prefetch(const Sheet& s, int32_t r, bool last_cell = false) {
  if (r < 1 || r > last_row(s)) return;
  const std::vector<Cell>& cells = s.rows[r - 1].cells;
  if (!cells.empty()) __builtin_prefetch(last_cell ? &cells.back() : &cells.front());
}

inline CellIter lower(Row& row, int32_t c) {
  return std::lower_bound(row.cells.begin(), row.cells.end(), c,
                          [](const Cell& x, int32_t col) { return x.col < col; });
}
inline std::vector<Cell>::const_iterator lower(const Row& row, int32_t c) {
  return std::lower_bound(row.cells.begin(), row.cells.end(), c,
                          [](const Cell& x, int32_t col) { return x.col < col; });
}
// The stored cells of a row within columns [c1, c2]. Both ends are found by
// search: a walk from one to the other would touch every cell between.
inline std::pair<CellIter, CellIter> span(Row& row, int32_t c1, int32_t c2) {
  // A column right of the row's last cell (one being added to a table) is
  // answered from that cell alone.
  if (row.cells.empty() || row.cells.back().col < c1) return {row.cells.end(), row.cells.end()};
  auto b = lower(row, c1);
  if (b == row.cells.end() || row.cells.back().col <= c2) return {b, row.cells.end()};
  auto e = std::upper_bound(b, row.cells.end(), c2,
                            [](int32_t col, const Cell& x) { return col < x.col; });
  return {b, e};
}

inline Cell* find(Sheet& s, int32_t r, int32_t c) {
  Row* row = row_ptr(s, r);
  if (!row) return nullptr;
  auto it = lower(*row, c);
  return it != row->cells.end() && it->col == c ? &*it : nullptr;
}
inline const Cell* find(const Sheet& s, int32_t r, int32_t c) {
  const Row* row = row_ptr(s, r);
  if (!row) return nullptr;
  auto it = lower(*row, c);
  return it != row->cells.end() && it->col == c ? &*it : nullptr;
}

// The format a cell without storage of its own shows: the row's, else the
// column's, else the default.
inline uint32_t inherited_style(const Sheet& s, const Row* row, int32_t c) {
  if (row && row->style) return *row->style;
  auto it = s.columns.find(c);
  if (it != s.columns.end() && it->second.style) return *it->second.style;
  return 0;
}

inline uint32_t style_of(const Sheet& s, int32_t r, int32_t c) {
  const Row* row = row_ptr(s, r);
  if (row) {
    auto it = lower(*row, c);
    if (it != row->cells.end() && it->col == c) return it->style;
  }
  return inherited_style(s, row, c);
}

// Room for `more` cells in a row: a full row grows to the next power of two,
// as a row grown cell by cell from nothing would be, even when it was read
// at its exact size.
inline void room_for(Row& row, size_t more) {
  const size_t need = row.cells.size() + more;
  if (need > row.cells.capacity()) row.cells.reserve(std::bit_ceil(need));
}

// The stored cell at (r, c), created with the inherited format if missing.
inline Cell& get(Sheet& s, int32_t r, int32_t c) {
  Row& row = row_at(s, r);
  auto it = lower(row, c);
  if (it != row.cells.end() && it->col == c) return *it;
  if (row.cells.size() == row.cells.capacity()) {
    const auto at = it - row.cells.begin();
    room_for(row, 1);
    it = row.cells.begin() + at;
  }
  Cell cell;
  cell.col = c;
  cell.style = inherited_style(s, &row, c);
  return *row.cells.insert(it, std::move(cell));
}

// Makes sure every column c1..c2 of row r is stored; returns the span.
inline std::pair<CellIter, CellIter> ensure_span(Sheet& s, int32_t r, int32_t c1, int32_t c2) {
  Row& row = row_at(s, r);
  const auto width = static_cast<ptrdiff_t>(c2) - c1 + 1;
  if (row.cells.empty() || row.cells.back().col < c1) {
    // Past the row's last cell, the usual case for a column added to a
    // table: appended without a search.
    room_for(row, static_cast<size_t>(width));
    for (int32_t c = c1; c <= c2; ++c) {
      Cell& cell = row.cells.emplace_back();
      cell.col = c;
      cell.style = inherited_style(s, &row, c);
    }
    return {row.cells.end() - width, row.cells.end()};
  }
  auto [b, e] = span(row, c1, c2);
  if (e - b != width) {
    const auto at = b - row.cells.begin();
    const auto have = e - b;
    // Open a gap for the missing cells after the stored ones, then move the
    // stored ones back to their columns from the right, filling the
    // columns between with new cells.
    room_for(row, static_cast<size_t>(width - have));
    row.cells.insert(row.cells.begin() + at + have, static_cast<size_t>(width - have), Cell{});
    auto src = at + have - 1;
    auto dst = at + width - 1;
    for (int32_t c = c2; dst > src; --c, --dst) {
      Cell& to = row.cells[static_cast<size_t>(dst)];
      if (src >= at && row.cells[static_cast<size_t>(src)].col == c) {
        to = std::move(row.cells[static_cast<size_t>(src--)]);
      } else {
        to = Cell{};
        to.col = c;
        to.style = inherited_style(s, &row, c);
      }
    }
    b = row.cells.begin() + at;
    e = b + width;
    KELV_DCHECK(sorted(row));
  }
  return {b, e};
}

// Stores `cell` in the row at its column, in place of a cell already there,
// so the row stays sorted. A cell past the row's last one, the usual case
// when rows are read in order, is appended without a search.
inline void put(Row& row, Cell&& cell) {
  if (row.cells.empty() || row.cells.back().col < cell.col) {
    row.cells.push_back(std::move(cell));
    return;
  }
  auto it = lower(row, cell.col);
  if (it != row.cells.end() && it->col == cell.col) {
    *it = std::move(cell);
  } else {
    it = row.cells.insert(it, std::move(cell));
  }
  KELV_DCHECK(it == row.cells.begin() || std::prev(it)->col < it->col);
  KELV_DCHECK(std::next(it) == row.cells.end() || it->col < std::next(it)->col);
}

inline bool has_value(const Cell& c) {
  return !(c.value.is_empty() || (c.value.is_text() && c.value.as_text().empty())) || c.formula;
}

}  // namespace kelv::spreadsheet::cells
