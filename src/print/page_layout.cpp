#include "print/page_layout.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string_view>

#include "print/paper.h"
#include "spreadsheet/a1.h"
#include "spreadsheet/cells.h"
#include "spreadsheet/geometry.h"

namespace kelv::print {

double text_width(std::string_view text, const spreadsheet::Style& style) {
  double ems = 0;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? lead : lead & (0x7F >> n);
    for (size_t k = 1; k < n && i + k < text.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                      (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                      (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                      (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
    ems += wide ? 1.0 : 0.55;
    i += n;
  }
  const double size = style.font.size > 0 ? style.font.size : 11;
  return ems * size + 3 + style.alignment.indent * 6.75;
}

namespace {

using spreadsheet::Sheet;
using spreadsheet::Workbook;

// Sizes are compared with this much slack, so that rows that exactly fill
// the page are not pushed off it by rounding.
constexpr double kSlack = 0.01;

// Row and column headings, when printed: a column of row numbers a
// centimetre wide and a row of column letters 12.8 points high, scaled
// with the page, as LibreOffice prints them.
constexpr double kHeadingWidth = 72 / 2.54;
constexpr double kHeadingHeight = 12.8;

struct Span {
  int32_t first = 0, last = 0;
};

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The value of the sheet's local defined name, or null.
const std::string* local_name(const Workbook& book, int32_t sheet_index, std::string_view name) {
  for (const auto& d : book.defined_names)
    if (d.local_sheet == sheet_index && equal_ignoring_case(d.name, name)) return &d.value;
  return nullptr;
}

bool visible_format(const spreadsheet::Style& s) {
  auto drawn = [](const spreadsheet::BorderSide& b) {
    return !b.style.empty() && b.style != "none";
  };
  const auto& b = s.border;
  const bool fill = !s.fill.pattern.empty() && s.fill.pattern != "none";
  return fill || drawn(b.left) || drawn(b.right) || drawn(b.top) || drawn(b.bottom) ||
         ((b.diagonal_up || b.diagonal_down) && drawn(b.diagonal));
}

// Which cells lie in merged blocks: the blocks sorted by first row, with
// the tallest one's height bounding a search.
class MergeIndex {
 public:
  explicit MergeIndex(const Sheet& sheet) : merges_(sheet.merges) {
    std::sort(merges_.begin(), merges_.end(),
              [](const host::Rect& a, const host::Rect& b) { return a.row1 < b.row1; });
    for (const auto& m : merges_) tallest_ = std::max(tallest_, m.rows());
  }
  bool contains(int32_t row, int32_t col) const {
    auto it = std::lower_bound(merges_.begin(), merges_.end(), row - tallest_,
                               [](const host::Rect& m, int32_t r) { return m.row1 < r; });
    for (; it != merges_.end() && it->row1 <= row; ++it)
      if (it->contains(row, col)) return true;
    return false;
  }

 private:
  std::vector<host::Rect> merges_;
  int32_t tallest_ = 0;
};

// The text of `cell` runs on to the right: a text value, aligned left or by
// default, neither wrapped nor shrunk, not in a merged block.
bool runs_on(const Workbook& book, const MergeIndex& merges, int32_t row,
             const spreadsheet::Cell& cell) {
  if (!cell.value.is_text()) return false;
  const spreadsheet::Style& style =
      book.styles.get(cell.style < book.styles.size() ? cell.style : 0);
  const std::string& h = style.alignment.horizontal;
  if (style.alignment.wrap_text || style.alignment.shrink_to_fit ||
      !(h.empty() || h == "general" || h == "left"))
    return false;
  return !merges.contains(row, cell.col);
}

// Where the text of `cell` ends, points from the sheet's left edge.
double text_reach(const Workbook& book, const Track& cols, const spreadsheet::Cell& cell) {
  const spreadsheet::Style& style =
      book.styles.get(cell.style < book.styles.size() ? cell.style : 0);
  return cols.offset(cell.col) + text_width(cell.value.as_text(), style);
}

// Whether a block of cells has anything to print: a value, a border or a
// fill, a picture, or text running on into it from the left.
bool has_content(const Workbook& book, const Sheet& sheet, const MergeIndex& merges,
                 const Track& rows, const Track& cols, const host::Rect& r) {
  const int32_t last = std::min(r.row2, static_cast<int32_t>(sheet.rows.size()));
  for (int32_t row = r.row1; row <= last; ++row) {
    const auto& stored = sheet.rows[static_cast<size_t>(row - 1)];
    if (stored.hidden) continue;
    auto it = spreadsheet::cells::lower(stored, r.col1);
    for (auto c = it; c != stored.cells.end() && c->col <= r.col2; ++c) {
      if (spreadsheet::cells::has_value(*c)) return true;
      if (visible_format(book.styles.get(c->style < book.styles.size() ? c->style : 0)))
        return true;
    }
    // The nearest value to the left, if its text reaches this far.
    for (auto c = std::make_reverse_iterator(it); c != stored.cells.rend(); ++c) {
      if (!spreadsheet::cells::has_value(*c)) continue;
      if (runs_on(book, merges, row, *c) &&
          text_reach(book, cols, *c) > cols.offset(r.col1) + kSlack)
        return true;
      break;
    }
  }
  const double top = rows.offset(r.row1), bottom = rows.offset(r.row2 + 1);
  const double left = cols.offset(r.col1), right = cols.offset(r.col2 + 1);
  return std::any_of(sheet.pictures.begin(), sheet.pictures.end(), [&](const auto& pic) {
    return pic.left < right && pic.left + pic.width > left && pic.top < bottom &&
           pic.top + pic.height > top;
  });
}

// Cuts lines [span.first, span.last] into pages holding at most `room`
// points each (`title_room` less on pages that repeat titles, which are
// those starting after `titles_end`). A manual break starts a new page; a
// line larger than a page gets a page of its own. Pages of hidden lines
// only are left out.
std::vector<Span> cut(const Track& track, Span span, double room, double title_room,
                      int32_t titles_end, const std::set<int32_t>* breaks) {
  std::vector<Span> pages;
  int32_t start = span.first;
  double used = 0;
  auto room_of = [&](int32_t first) { return first > titles_end ? room - title_room : room; };
  auto close = [&](int32_t last) {
    if (used > 0) pages.push_back({start, last});
    start = last + 1;
    used = 0;
  };
  for (int32_t line = span.first; line <= span.last; ++line) {
    if (line > start && breaks != nullptr && breaks->count(line) != 0) close(line - 1);
    const double size = track.size(line);
    if (used > 0 && used + size > room_of(start) + kSlack) close(line - 1);
    used += size;
  }
  close(span.last);
  return pages;
}

struct Axis {
  Span area;
  std::optional<Span> titles;
  double room = 0;  // printable size, points on paper
  const std::set<int32_t>* breaks = nullptr;
  double heading = 0;  // row or column headings printed before the cells, points unscaled
};

std::vector<Span> cut_axis(const Track& track, const Axis& axis, double scale, bool manual) {
  double title_size = 0;
  int32_t titles_end = INT32_MAX;
  if (axis.titles) {
    title_size = track.span(axis.titles->first, axis.titles->last);
    titles_end = axis.titles->last;
  }
  return cut(track, axis.area, axis.room / scale - axis.heading, title_size, titles_end,
             manual ? axis.breaks : nullptr);
}

int32_t clamp_percent(int32_t p, int32_t lo, int32_t hi) {
  return std::max(lo, std::min(hi, p));
}

}  // namespace

std::optional<host::Rect> used_range(const Workbook& book, const Sheet& sheet) {
  std::vector<char> visible(book.styles.size());
  for (size_t i = 0; i < visible.size(); ++i)
    visible[i] = visible_format(book.styles.get(static_cast<uint32_t>(i))) ? 1 : 0;
  int32_t last_row = 0, last_col = 0;
  // The last value of each row, whose text may run on to the right.
  std::vector<std::pair<int32_t, const spreadsheet::Cell*>> row_ends;
  for (int32_t r = 1; r <= static_cast<int32_t>(sheet.rows.size()); ++r) {
    const auto& cells = sheet.rows[static_cast<size_t>(r - 1)].cells;
    bool found = false;
    for (auto it = cells.rbegin(); it != cells.rend(); ++it) {
      const bool value = spreadsheet::cells::has_value(*it);
      if (!found && (value || (it->style < visible.size() && visible[it->style]))) {
        last_row = r;
        last_col = std::max(last_col, it->col);
        found = true;
      }
      if (value) {
        if (it->value.is_text()) row_ends.emplace_back(r, &*it);
        break;
      }
    }
  }
  const int32_t stored_cols = sheet.columns.empty() ? 1 : sheet.columns.rbegin()->first;
  const Track cols =
      spreadsheet::column_track(sheet, std::max(stored_cols, last_col), book.max_digit_width);
  const MergeIndex merges(sheet);
  for (const auto& [r, cell] : row_ends) {
    const double reach = text_reach(book, cols, *cell);
    if (reach > cols.offset(cell->col + 1) && runs_on(book, merges, r, *cell))
      last_col = std::max(last_col, cols.line_at(reach - kSlack));
  }
  // A merged block prints whole when its first cell is used: a tall block
  // of turned text would otherwise be cut at its first row.
  for (const host::Rect& m : sheet.merges) {
    const spreadsheet::Cell* first = spreadsheet::cells::find(sheet, m.row1, m.col1);
    if (first == nullptr) continue;
    if (!spreadsheet::cells::has_value(*first) &&
        !(first->style < visible.size() && visible[first->style]))
      continue;
    last_row = std::max(last_row, m.row2);
    last_col = std::max(last_col, m.col2);
  }
  if (!sheet.pictures.empty()) {
    double bottom = 0, right = 0;
    for (const auto& pic : sheet.pictures) {
      bottom = std::max(bottom, pic.top + pic.height);
      right = std::max(right, pic.left + pic.width);
    }
    const Track rows = spreadsheet::row_track(sheet, static_cast<int32_t>(sheet.rows.size()));
    // The cell holding the picture's far corner; a corner exactly on a
    // line belongs to the cell before it.
    last_row = std::max(last_row, rows.line_at(std::max(0.0, bottom - kSlack)));
    last_col = std::max(last_col, cols.line_at(std::max(0.0, right - kSlack)));
  }
  if (last_row == 0 || last_col == 0) return std::nullopt;
  return host::Rect{1, 1, std::min(last_row, host::kMaxRows),
                    std::min(last_col, host::kMaxColumns)};
}

std::vector<host::Rect> print_areas(const Workbook& book, int32_t sheet_index) {
  const std::string* value = local_name(book, sheet_index, "_xlnm.Print_Area");
  if (value == nullptr) return {};
  std::vector<host::Rect> areas;
  for (std::string_view ref : spreadsheet::split_references(*value)) {
    spreadsheet::SheetRange r;
    if (!spreadsheet::parse_sheet_range(ref, &r)) return {};
    areas.push_back(r.rect);
  }
  return areas;
}

PrintTitles print_titles(const Workbook& book, int32_t sheet_index) {
  PrintTitles titles;
  const std::string* value = local_name(book, sheet_index, "_xlnm.Print_Titles");
  if (value == nullptr) return titles;
  for (std::string_view ref : spreadsheet::split_references(*value)) {
    spreadsheet::SheetRange sr;
    if (!spreadsheet::parse_sheet_range(ref, &sr)) continue;
    const host::Rect& r = sr.rect;
    if (r.is_whole_rows())
      titles.rows = std::make_pair(r.row1, r.row2);
    else if (r.is_whole_columns())
      titles.columns = std::make_pair(r.col1, r.col2);
  }
  return titles;
}

namespace {

// The paper, its orientation, the margins (an inch of paper left each way
// at least) and the page order of a sheet's page setup.
void set_paper(const spreadsheet::PageSetupModel& ps, SheetLayout& out) {
  std::optional<Paper> paper = paper_for_code(ps.paper_size);
  if (!paper) {
    out.notes.push_back("纸张代码 " + std::to_string(ps.paper_size) + " 未知，按 A4 纸打印");
    paper = a4_paper();
  }
  out.paper_name = paper->name;
  out.landscape = ps.orientation == 2;
  out.paper_width = out.landscape ? paper->height : paper->width;
  out.paper_height = out.landscape ? paper->width : paper->height;

  auto points = [](double inches) {
    return std::isfinite(inches) && inches > 0 ? inches * 72 : 0.0;
  };
  out.margins = {points(ps.left_margin),   points(ps.right_margin),  points(ps.top_margin),
                 points(ps.bottom_margin), points(ps.header_margin), points(ps.footer_margin)};
  if (out.margins.left + out.margins.right > out.paper_width - 72 ||
      out.margins.top + out.margins.bottom > out.paper_height - 72) {
    out.notes.push_back("页边距超出纸张，按默认页边距打印");
    out.margins = {0.7 * 72, 0.7 * 72, 0.75 * 72, 0.75 * 72, 0.3 * 72, 0.3 * 72};
  }
  out.order = ps.page_order;
}

// What is printed: the print areas, or else the used range; whole-row and
// whole-column areas stop at what is used.
std::vector<host::Rect> printed_areas(const Workbook& book, const Sheet& sheet,
                                      int32_t sheet_index) {
  const std::optional<host::Rect> used = used_range(book, sheet);
  std::vector<host::Rect> areas = print_areas(book, sheet_index);
  if (areas.empty() && used) areas.push_back(*used);
  for (auto& a : areas) {
    if (a.row2 == host::kMaxRows) a.row2 = std::max(a.row1, used ? used->row2 : a.row1);
    if (a.col2 == host::kMaxColumns) a.col2 = std::max(a.col1, used ? used->col2 : a.col1);
  }
  return areas;
}

// A page showing `rows` by `cols` at the layout's scale, placed within the
// margins (centred when the sheet asks), with the title rows above it and
// the title columns left of it when the page does not hold them itself.
Page place_page(const SheetLayout& out, const spreadsheet::PageSetupModel& ps, const Span& rows,
                const Span& cols, const std::optional<Span>& title_rows,
                const std::optional<Span>& title_cols) {
  const double s = out.scale;
  const double room_w = out.paper_width - out.margins.left - out.margins.right;
  const double room_h = out.paper_height - out.margins.top - out.margins.bottom;
  Page page;
  const bool repeat_rows = title_rows && rows.first > title_rows->last;
  const bool repeat_cols = title_cols && cols.first > title_cols->last;
  const double title_h = repeat_rows ? out.rows.span(title_rows->first, title_rows->last) * s : 0;
  const double title_w =
      repeat_cols ? out.columns.span(title_cols->first, title_cols->last) * s : 0;
  const double body_w = out.columns.span(cols.first, cols.last) * s;
  const double body_h = out.rows.span(rows.first, rows.last) * s;
  const double heading_w = out.heading_width * s, heading_h = out.heading_height * s;
  double x = out.margins.left, y = out.margins.top;
  if (ps.horizontal_centered) x += std::max(0.0, (room_w - heading_w - title_w - body_w) / 2);
  if (ps.vertical_centered) y += std::max(0.0, (room_h - heading_h - title_h - body_h) / 2);
  x += heading_w;
  y += heading_h;
  page.body = {
      {rows.first, cols.first, rows.last, cols.last}, x + title_w, y + title_h, body_w, body_h};
  if (repeat_rows)
    page.title_rows = Block{{title_rows->first, cols.first, title_rows->last, cols.last},
                            x + title_w,
                            y,
                            body_w,
                            title_h};
  if (repeat_cols)
    page.title_columns = Block{{rows.first, title_cols->first, rows.last, title_cols->last},
                               x,
                               y + title_h,
                               title_w,
                               body_h};
  if (repeat_rows && repeat_cols)
    page.title_corner =
        Block{{title_rows->first, title_cols->first, title_rows->last, title_cols->last},
              x,
              y,
              title_w,
              title_h};
  return page;
}

}  // namespace

SheetLayout layout_sheet(const Workbook& book, int32_t sheet_index) {
  const Sheet& sheet = *book.sheets.at(static_cast<size_t>(sheet_index));
  const spreadsheet::PageSetupModel& ps = sheet.page_setup;
  SheetLayout out;
  out.sheet_index = sheet_index;
  out.grid_lines = ps.print_grid_lines;
  if (ps.print_headings) {
    out.heading_width = kHeadingWidth;
    out.heading_height = kHeadingHeight;
  }
  set_paper(ps, out);

  const std::vector<host::Rect> areas = printed_areas(book, sheet, sheet_index);
  const PrintTitles titles = print_titles(book, sheet_index);

  int32_t max_row = 1, max_col = 1;
  for (const auto& a : areas) {
    max_row = std::max(max_row, a.row2);
    max_col = std::max(max_col, a.col2);
  }
  if (titles.rows) max_row = std::max(max_row, titles.rows->second);
  if (titles.columns) max_col = std::max(max_col, titles.columns->second);
  // Rows past the stored ones all have the default height.
  max_row = std::min(max_row, std::max<int32_t>(static_cast<int32_t>(sheet.rows.size()), 1));
  out.rows = spreadsheet::row_track(sheet, max_row);
  out.columns = spreadsheet::column_track(sheet, max_col, book.max_digit_width);

  const double room_w = out.paper_width - out.margins.left - out.margins.right;
  const double room_h = out.paper_height - out.margins.top - out.margins.bottom;
  std::optional<Span> title_rows, title_cols;
  if (titles.rows) title_rows = Span{titles.rows->first, titles.rows->second};
  if (titles.columns) title_cols = Span{titles.columns->first, titles.columns->second};

  auto row_axis = [&](const host::Rect& a) {
    return Axis{{a.row1, a.row2}, title_rows, room_h, &sheet.row_breaks, out.heading_height};
  };
  auto col_axis = [&](const host::Rect& a) {
    return Axis{{a.col1, a.col2}, title_cols, room_w, &sheet.column_breaks, out.heading_width};
  };

  // Fitting to pages picks the largest whole percentage (10 % at least)
  // at which the print takes no more pages across and down than asked;
  // manual breaks do not count then.
  const bool fit = ps.fit_to_page;
  if (fit) {
    const int32_t wide = std::max(0, ps.fit_to_width), tall = std::max(0, ps.fit_to_height);
    auto fits = [&](int32_t percent) {
      const double s = percent / 100.0;
      for (const auto& a : areas) {
        if (wide > 0 &&
            static_cast<int32_t>(cut_axis(out.columns, col_axis(a), s, false).size()) > wide)
          return false;
        if (tall > 0 &&
            static_cast<int32_t>(cut_axis(out.rows, row_axis(a), s, false).size()) > tall)
          return false;
      }
      return true;
    };
    int32_t percent = 100;
    while (percent > 10 && !fits(percent)) --percent;
    out.scale = percent / 100.0;
  } else {
    out.scale = clamp_percent(ps.scale > 0 ? ps.scale : 100, 10, 400) / 100.0;
  }

  const double s = out.scale;
  const MergeIndex merges(sheet);
  int32_t number = 0;
  for (const auto& area : areas) {
    const std::vector<Span> row_pages = cut_axis(out.rows, row_axis(area), s, !fit);
    const std::vector<Span> col_pages = cut_axis(out.columns, col_axis(area), s, !fit);
    auto make_page = [&](const Span& rows, const Span& cols) {
      // A page with nothing of its own to show is not printed.
      if (!has_content(book, sheet, merges, out.rows, out.columns,
                       {rows.first, cols.first, rows.last, cols.last}))
        return;
      Page page = place_page(out, ps, rows, cols, title_rows, title_cols);
      page.sheet_page = ++number;
      out.pages.push_back(page);
    };
    if (out.order == PageOrder::DownThenOver) {
      for (const Span& c : col_pages)
        for (const Span& r : row_pages) make_page(r, c);
    } else {
      for (const Span& r : row_pages)
        for (const Span& c : col_pages) make_page(r, c);
    }
  }
  return out;
}

}  // namespace kelv::print
