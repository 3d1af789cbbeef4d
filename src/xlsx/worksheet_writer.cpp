#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "host/constants.h"
#include "spreadsheet/a1.h"
#include "spreadsheet/text_hash.h"
#include "xlsx/deflate.h"
#include "xlsx/worksheet_part.h"
#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

using spreadsheet::Cell;
using spreadsheet::Sheet;

bool needs_preserve(std::string_view s) {
  if (s.empty()) return false;
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  return space(s.front()) || space(s.back()) || s.find('\n') != std::string_view::npos;
}

void append_int(std::string& out, int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, static_cast<size_t>(r.ptr - buf));
}

// Room for a cell's element up to its value's end: the tag with its
// reference and format, the type, and a number or a text's index.
constexpr size_t kCellBuffer = 96;
constexpr size_t kRowsAhead = 4;
// Sheets of this many rows or more have their texts' table made ready early.
constexpr size_t kProbedRows = size_t{1} << 16;

char* put(char* p, std::string_view s) {
  std::memcpy(p, s.data(), s.size());
  return p + s.size();
}

// Appends buf up to end: by length, which the library copies at once (the
// pair of pointers goes through its general replace, a cost per cell).
void emit(std::string& o, const char* buf, const char* end) {
  o.append(buf, static_cast<size_t>(end - buf));
}

void write_color_attrs(XmlOut& out, const spreadsheet::Color& c) {
  using K = spreadsheet::Color::Kind;
  switch (c.kind) {
    case K::Auto:
      out.attr("auto", "1");
      break;
    case K::Rgb: {
      char buf[12];
      std::snprintf(buf, sizeof buf, "%08X", c.value);
      out.attr("rgb", buf);
      break;
    }
    case K::Indexed:
      out.attr("indexed", int64_t{c.value});
      break;
    case K::Theme:
      out.attr("theme", int64_t{c.value});
      break;
    case K::None:
      break;
  }
  if (c.tint != 0) out.attr("tint", c.tint);
}

// Attributes kept as written (` a="1" r:id="rId2"`), one piece each.
std::vector<std::string_view> attribute_list(std::string_view attributes) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < attributes.size()) {
    const size_t eq = attributes.find("=\"", i);
    if (eq == std::string_view::npos) break;
    const size_t end = attributes.find('"', eq + 2);
    if (end == std::string_view::npos) break;
    out.push_back(attributes.substr(i, end + 1 - i));
    i = end + 1;
  }
  if (i < attributes.size()) out.push_back(attributes.substr(i));
  return out;
}

// Whether kept XML is a `local` element of any prefix.
bool is_element(std::string_view xml, std::string_view local) {
  const size_t end = xml.find_first_of(" >/");
  if (xml.empty() || xml[0] != '<' || end == std::string_view::npos) return false;
  const std::string_view name = xml.substr(1, end - 1);
  const size_t colon = name.find(':');
  return (colon == std::string_view::npos ? name : name.substr(colon + 1)) == local;
}

host::Rect used_rect(const Sheet& sheet) {
  int32_t r1 = 0, r2 = 0, c1 = host::kMaxColumns, c2 = 0;
  for (size_t i = 0; i < sheet.rows.size(); ++i) {
    const auto& cells = sheet.rows[i].cells;
    if (cells.empty()) continue;
    const int32_t r = static_cast<int32_t>(i + 1);
    if (!r1) r1 = r;
    r2 = r;
    c1 = std::min(c1, cells.front().col);
    c2 = std::max(c2, cells.back().col);
  }
  if (!r1) return host::Rect::cell(1, 1);
  return {r1, c1, r2, c2};
}

const spreadsheet::CellValue kNumError(host::CellError::Num);

class Writer {
 public:
  Writer(const Sheet& sheet, size_t style_count, const std::string& drawing_rel,
         SharedStrings& strings, const std::function<void(std::string&)>& flush)
      : sheet_(sheet),
        style_count_(style_count),
        drawing_rel_(drawing_rel),
        strings_(strings),
        flush_(flush) {
    raw_.reserve(sheet.passthrough.elements.size());
    for (const auto& e : sheet.passthrough.elements) raw_.push_back(&e);
    std::stable_sort(raw_.begin(), raw_.end(),
                     [](const auto* a, const auto* b) { return a->order < b->order; });
  }

  std::string run() {
    auto& o = out_.str();
    o.reserve(flush_ ? kDeflatePiece + size_t{64} * 1024 : 256 + sheet_.rows.size() * 64);
    out_.raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"");
    out_.raw(kMainNs).raw("\" xmlns:r=\"").raw(kRelNs).raw("\"");
    out_.raw(sheet_.passthrough.root_namespaces).raw(">");
    sheet_pr();
    kept_through(WorksheetElement::SheetPr);
    out_.raw("<dimension").attr("ref", spreadsheet::area_address(used_rect(sheet_))).raw("/>");
    kept_through(WorksheetElement::Dimension);
    sheet_views();
    kept_through(WorksheetElement::SheetViews);
    sheet_format();
    kept_through(WorksheetElement::SheetFormatPr);
    cols();
    kept_through(WorksheetElement::Cols);
    sheet_data();
    kept_before(WorksheetElement::MergeCells);
    merges();
    kept_before(WorksheetElement::PrintOptions);
    page_setup();  // printOptions .. headerFooter
    kept_through(WorksheetElement::HeaderFooter);
    row_breaks();
    kept_through(WorksheetElement::RowBreaks);
    column_breaks();
    kept_before(WorksheetElement::Drawing);
    if (!drawing_rel_.empty()) out_.raw("<drawing").attr("r:id", drawing_rel_).raw("/>");
    kept_rest();
    out_.raw("</worksheet>");
    return std::move(out_.str());
  }

 private:
  // Kept elements are written where they stand in the worksheet's order:
  // those up to and including `e`, or those before it.
  void kept_through(WorksheetElement e) { kept_upto(static_cast<int32_t>(e)); }
  void kept_before(WorksheetElement e) { kept_upto(static_cast<int32_t>(e) - 1); }
  void kept_rest() { kept_upto(INT32_MAX); }
  void kept_upto(int32_t order) {
    while (next_raw_ < raw_.size() && raw_[next_raw_]->order <= order) {
      const spreadsheet::RawElement& e = *raw_[next_raw_];
      // The file's column breaks are written from the model once changed.
      if (!(column_breaks_changed() && e.order == kColBreaks && is_element(e.xml, "colBreaks")))
        out_.raw(e.xml);
      ++next_raw_;
    }
  }

  static constexpr int32_t kColBreaks = static_cast<int32_t>(WorksheetElement::ColBreaks);

  bool column_breaks_changed() const {
    return sheet_.column_breaks != sheet_.passthrough.column_breaks_read;
  }

  void sheet_pr() {
    const auto& p = sheet_.passthrough;
    const bool tab = sheet_.tab_color.kind != spreadsheet::Color::Kind::None;
    const bool setup = sheet_.page_setup.fit_to_page || !p.page_setup_pr_attributes.empty();
    if (!tab && !setup && p.sheet_pr_attributes.empty() && p.sheet_pr_extra.empty()) return;
    out_.raw("<sheetPr").raw(p.sheet_pr_attributes).raw(">");
    if (tab) {
      out_.raw("<tabColor");
      write_color_attrs(out_, sheet_.tab_color);
      out_.raw("/>");
    }
    out_.raw(p.sheet_pr_extra);
    if (setup) {
      out_.raw("<pageSetUpPr").raw(p.page_setup_pr_attributes);
      if (sheet_.page_setup.fit_to_page) out_.attr("fitToPage", "1");
      out_.raw("/>");
    }
    out_.raw("</sheetPr>");
  }

  void sheet_views() {
    const auto& v = sheet_.view;
    out_.raw("<sheetViews><sheetView");
    if (v.tab_selected) out_.attr("tabSelected", "1");
    if (!v.show_grid_lines) out_.attr("showGridLines", "0");
    if (v.zoom != 100) out_.attr("zoomScale", int64_t{v.zoom});
    if (v.top_row != 1 || v.left_col != 1)
      out_.attr("topLeftCell", spreadsheet::cell_address(v.top_row, v.left_col));
    out_.raw(sheet_.passthrough.sheet_view_attributes);
    out_.attr("workbookViewId", "0").raw(">");
    std::string pane;
    const auto& pass = sheet_.passthrough;
    if (v.frozen && (v.split_rows > 0 || v.split_cols > 0)) {
      pane = v.split_rows && v.split_cols ? "bottomRight"
             : v.split_rows               ? "bottomLeft"
                                          : "topRight";
      out_.raw("<pane");
      if (v.split_cols) out_.attr("xSplit", int64_t{v.split_cols});
      if (v.split_rows) out_.attr("ySplit", int64_t{v.split_rows});
      // The window's origin is the frozen area's corner; the scrolling pane
      // starts past the split, where it was scrolled to.
      const int32_t first_row = std::min(v.top_row + v.split_rows, host::kMaxRows);
      const int32_t first_col = std::min(v.left_col + v.split_cols, host::kMaxColumns);
      out_.attr(
          "topLeftCell",
          spreadsheet::cell_address(
              v.pane_top_row >= first_row && v.pane_top_row <= host::kMaxRows ? v.pane_top_row
                                                                              : first_row,
              v.pane_left_col >= first_col && v.pane_left_col <= host::kMaxColumns ? v.pane_left_col
                                                                                   : first_col));
      out_.attr("activePane", pane).attr("state", "frozen").raw("/>");
    } else if (!v.frozen && v.split_rows == 0 && v.split_cols == 0 &&
               !pass.split_pane_attributes.empty()) {
      out_.raw("<pane").raw(pass.split_pane_attributes).raw("/>");
      pane = pass.split_active_pane;
    }
    out_.raw("<selection");
    if (!pane.empty()) out_.attr("pane", pane);
    out_.attr("activeCell", spreadsheet::cell_address(v.active_row, v.active_col));
    out_.attr("sqref", v.selection.empty() ? spreadsheet::cell_address(v.active_row, v.active_col)
                                           : spreadsheet::area_list_address(v.selection));
    out_.raw("/></sheetView></sheetViews>");
  }

  void sheet_format() {
    const Sheet defaults;
    if (sheet_.passthrough.sheet_format_absent &&
        sheet_.default_column_width == defaults.default_column_width &&
        sheet_.default_row_height == defaults.default_row_height &&
        sheet_.custom_default_height == defaults.custom_default_height &&
        sheet_.passthrough.sheet_format_attributes.empty())
      return;
    out_.raw("<sheetFormatPr");
    if (sheet_.default_column_width != defaults.default_column_width)
      out_.attr("defaultColWidth", sheet_.default_column_width);
    out_.attr("defaultRowHeight", sheet_.default_row_height);
    if (sheet_.custom_default_height) out_.attr("customHeight", "1");
    out_.raw(sheet_.passthrough.sheet_format_attributes).raw("/>");
  }

  void column_entry(int32_t lo, int32_t hi, const spreadsheet::ColumnInfo& c) {
    out_.raw("<col").attr("min", int64_t{lo}).attr("max", int64_t{hi});
    out_.attr("width", c.width >= 0 ? c.width : sheet_.default_column_width);
    if (c.style && *c.style < style_count_) out_.attr("style", int64_t{*c.style});
    if (c.hidden) out_.attr("hidden", "1");
    if (c.custom_width) out_.attr("customWidth", "1");
    if (c.outline_level) out_.attr("outlineLevel", int64_t{c.outline_level});
    out_.raw("/>");
  }

  void cols() {
    if (sheet_.columns.empty()) return;
    bool any = false;
    auto it = sheet_.columns.begin();
    while (it != sheet_.columns.end()) {
      if (it->first < 1 || it->first > host::kMaxColumns ||
          it->second == spreadsheet::ColumnInfo{}) {
        ++it;
        continue;
      }
      const int32_t lo = it->first;
      int32_t hi = lo;
      auto next = std::next(it);
      while (next != sheet_.columns.end() && next->first == hi + 1 && next->second == it->second) {
        hi = next->first;
        ++next;
      }
      if (!any) out_.raw("<cols>");
      any = true;
      column_entry(lo, hi, it->second);
      it = next;
    }
    if (any) out_.raw("</cols>");
  }

  // A cell's element. The usual cells (a number, a text) are made whole in
  // a buffer and appended at once: a long sheet writes sixteen million of
  // them, and piece by piece the appends were most of the work.
  void cell(std::string& o, std::string_view row_digits, const Cell& c) {
    char buf[kCellBuffer];
    char* p = put(buf, "<c r=\"");
    p = spreadsheet::put_column_letters(p, c.col);
    p = put(p, row_digits);
    *p++ = '"';
    if (c.style && c.style < style_count_) {
      p = put(p, " s=\"");
      p = std::to_chars(p, buf + sizeof buf, c.style).ptr;
      *p++ = '"';
    }
    // A number XML can not spell (infinite, not a number) is written as the
    // error a spreadsheet shows for it.
    const spreadsheet::CellValue& v =
        c.value.is_number() && !std::isfinite(c.value.as_number()) ? kNumError : c.value;
    if (!c.formula && v.is_number()) {
      char number[32];
      p = put(p, "><v>");
      p = put(p, shortest_number(v.as_number(), number));
      emit(o, buf, put(p, "</v></c>"));
      return;
    }
    if (!c.formula && v.is_text()) {
      p = put(p, " t=\"s\"><v>");
      p = std::to_chars(p, buf + sizeof buf, string_index(c.col, v.as_text())).ptr;
      emit(o, buf, put(p, "</v></c>"));
      return;
    }
    emit(o, buf, p);
    if (c.formula) {
      switch (v.kind()) {
        case host::Variant::Kind::Text:
          o.append(" t=\"str\"");
          break;
        case host::Variant::Kind::Boolean:
          o.append(" t=\"b\"");
          break;
        case host::Variant::Kind::Error:
          o.append(" t=\"e\"");
          break;
        default:
          break;
      }
      o.append("><f");
      if (!c.formula->array_ref.empty()) out_.attr("t", "array").attr("ref", c.formula->array_ref);
      o.push_back('>');
      out_.text(c.formula->text);
      o.append("</f>");
      switch (v.kind()) {
        case host::Variant::Kind::Text:
          o.append("<v>");
          out_.text(v.as_text());
          o.append("</v>");
          break;
        case host::Variant::Kind::Boolean:
          o.append(v.as_bool() ? "<v>1</v>" : "<v>0</v>");
          break;
        case host::Variant::Kind::Error:
          o.append("<v>");
          out_.text(host::cell_error_text(v.as_error()));
          o.append("</v>");
          break;
        case host::Variant::Kind::Number:
          o.append("<v>");
          out_.number(v.as_number());
          o.append("</v>");
          break;
        default:
          break;
      }
      o.append("</c>");
      return;
    }
    switch (v.kind()) {
      case host::Variant::Kind::Boolean:
        o.append(v.as_bool() ? " t=\"b\"><v>1</v></c>" : " t=\"b\"><v>0</v></c>");
        return;
      case host::Variant::Kind::Error:
        o.append(" t=\"e\"><v>");
        out_.text(host::cell_error_text(v.as_error()));
        o.append("</v></c>");
        return;
      default:
        o.append("/>");
    }
  }

  // A column of a long table often repeats the text of the row above (a
  // room, a session, a subject): that text's index is known without a
  // look-up in the table of every text.
  uint32_t string_index(int32_t col, std::string_view text) {
    const auto k = static_cast<size_t>(col);
    if (k >= above_.size()) above_.resize(std::max(k + 1, above_.size() * 2));
    Above& a = above_[k];
    if (a.known && a.text == text) return strings_.index_again(a.index);
    a = {text, strings_.index(text), true};
    return a.index;
  }

  // Once an eighth of a long sheet is written (`done` of its `rows`), the
  // table of texts is made ready for the rest at the rate so far, and an
  // eighth more: a list of examinees brings its names, ID and exam numbers
  // at the same rate all the way down. A sheet whose texts repeat asks for
  // little.
  void ready_strings(size_t done, size_t rows, size_t texts_before, size_t bytes_before) {
    const auto at_rate = [&](size_t so_far) {
      const size_t all = so_far / done * rows + so_far % done * rows / done;
      return all + all / 8;
    };
    strings_.expect(texts_before + at_rate(strings_.size() - texts_before),
                    bytes_before + at_rate(strings_.bytes() - bytes_before));
  }

  void sheet_data() {
    std::string& o = out_.str();
    o.append("<sheetData>");
    const size_t n = std::min(sheet_.rows.size(), static_cast<size_t>(host::kMaxRows));
    const size_t probe = n >= kProbedRows ? n / 8 : 0;
    const size_t texts_before = strings_.size(), bytes_before = strings_.bytes();
    for (size_t i = 0; i < n; ++i) {
      if (i == probe && probe > 0) ready_strings(i, n, texts_before, bytes_before);
      // A long table's rows lie apart in memory once sorted, and so do their
      // long texts and those texts' slots in the table of every text: each
      // is asked for a few rows before it is needed, the cells first, then
      // the texts they point to, then the slots those texts hash to, each
      // stage four rows after the one it reads.
      if (i + 3 * kRowsAhead < n && !sheet_.rows[i + 3 * kRowsAhead].cells.empty())
        __builtin_prefetch(sheet_.rows[i + 3 * kRowsAhead].cells.data());
      if (i + 2 * kRowsAhead < n) {
        for (const Cell& c : sheet_.rows[i + 2 * kRowsAhead].cells)
          if (c.value.is_text()) __builtin_prefetch(c.value.as_text().data());
      }
      if (i + kRowsAhead < n) {
        for (const Cell& c : sheet_.rows[i + kRowsAhead].cells)
          if (c.value.is_text()) strings_.prefetch(c.value.as_text());
      }
      const spreadsheet::Row& row = sheet_.rows[i];
      const bool attrs = row.height >= 0 || row.hidden || row.style || row.outline_level;
      if (row.cells.empty() && !attrs) continue;
      const auto r = static_cast<int32_t>(i + 1);
      o.append("<row r=\"");
      append_int(o, r);
      o.push_back('"');
      if (row.style && *row.style < style_count_) {
        o.append(" s=\"");
        append_int(o, *row.style);
        o.append("\" customFormat=\"1\"");
      }
      if (row.height >= 0) {
        o.append(" ht=\"");
        out_.number(row.height);
        o.push_back('"');
        if (row.custom_height) o.append(" customHeight=\"1\"");
      }
      if (row.hidden) o.append(" hidden=\"1\"");
      if (row.outline_level) {
        o.append(" outlineLevel=\"");
        append_int(o, row.outline_level);
        o.push_back('"');
      }
      if (row.cells.empty()) {
        o.append("/>");
        continue;
      }
      o.push_back('>');
      char digits[16];
      const std::string_view row_digits(
          digits,
          static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, r).ptr - digits));
      for (const Cell& c : row.cells) {
        if (c.col >= 1 && c.col <= host::kMaxColumns) cell(o, row_digits, c);
      }
      o.append("</row>");
      if (flush_ && o.size() >= kDeflatePiece) {
        flush_(o);
        o.clear();
        o.reserve(kDeflatePiece + size_t{64} * 1024);
      }
    }
    o.append("</sheetData>");
  }

  void merges() {
    if (sheet_.merges.empty()) return;
    out_.raw("<mergeCells").attr("count", static_cast<int64_t>(sheet_.merges.size())).raw(">");
    for (const host::Rect& m : sheet_.merges)
      out_.raw("<mergeCell").attr("ref", spreadsheet::area_address(m)).raw("/>");
    out_.raw("</mergeCells>");
  }

  // Page elements only where the sheet has them (read or set) or a value
  // differs from the defaults: a load and save adds no page setup.
  void page_setup() {
    const auto& ps = sheet_.page_setup;
    const auto& given = ps.given;
    const spreadsheet::PageSetupModel defaults;
    if (given.print_options || ps.horizontal_centered || ps.vertical_centered ||
        ps.print_grid_lines || ps.print_headings) {
      out_.raw("<printOptions");
      if (ps.horizontal_centered) out_.attr("horizontalCentered", "1");
      if (ps.vertical_centered) out_.attr("verticalCentered", "1");
      if (ps.print_headings) out_.attr("headings", "1");
      if (ps.print_grid_lines) out_.attr("gridLines", "1");
      out_.raw("/>");
    }
    kept_through(WorksheetElement::PrintOptions);
    if (given.margins || ps.left_margin != defaults.left_margin ||
        ps.right_margin != defaults.right_margin || ps.top_margin != defaults.top_margin ||
        ps.bottom_margin != defaults.bottom_margin || ps.header_margin != defaults.header_margin ||
        ps.footer_margin != defaults.footer_margin) {
      out_.raw("<pageMargins").attr("left", ps.left_margin).attr("right", ps.right_margin);
      out_.attr("top", ps.top_margin).attr("bottom", ps.bottom_margin);
      out_.attr("header", ps.header_margin).attr("footer", ps.footer_margin).raw("/>");
    }
    kept_through(WorksheetElement::PageMargins);
    page_setup_element(ps, defaults);
    kept_through(WorksheetElement::PageSetup);
    header_footer(ps.header_footer, given.header_footer);
  }

  void page_setup_element(const spreadsheet::PageSetupModel& ps,
                          const spreadsheet::PageSetupModel& defaults) {
    const auto& given = ps.given;
    const bool paper = given.paper_size || ps.paper_size != defaults.paper_size;
    const bool scale = given.scale || ps.scale != defaults.scale;
    const bool first = given.first_page_number || ps.first_page_number > 0;
    const bool wide = given.fit_to_width || ps.fit_to_width != defaults.fit_to_width;
    const bool tall = given.fit_to_height || ps.fit_to_height != defaults.fit_to_height;
    const bool orientation = given.orientation || ps.orientation != defaults.orientation;
    const bool hdpi = given.horizontal_dpi || ps.horizontal_dpi != defaults.horizontal_dpi;
    const bool vdpi = given.vertical_dpi || ps.vertical_dpi != defaults.vertical_dpi;
    const bool order = given.page_order || ps.page_order != defaults.page_order;
    const std::string rest = carried_page_setup_attributes(ps, order);
    if (!paper && !scale && !first && !wide && !tall && !orientation && !hdpi && !vdpi &&
        rest.empty())
      return;
    out_.raw("<pageSetup");
    // Without paperSize the element means Letter (1), so any other paper is
    // written whenever the element is, given or not.
    if (ps.paper_size != 1 || given.paper_size) out_.attr("paperSize", int64_t{ps.paper_size});
    if (scale) out_.attr("scale", int64_t{ps.scale});
    if (first && ps.first_page_number > 0)
      out_.attr("firstPageNumber", int64_t{ps.first_page_number});
    if (wide) out_.attr("fitToWidth", int64_t{ps.fit_to_width});
    if (tall) out_.attr("fitToHeight", int64_t{ps.fit_to_height});
    if (orientation) {
      out_.attr("orientation", ps.orientation == 1   ? "portrait"
                               : ps.orientation == 2 ? "landscape"
                                                     : "default");
    }
    if (first && ps.first_page_number > 0) out_.attr("useFirstPageNumber", "1");
    if (hdpi) out_.attr("horizontalDpi", int64_t{ps.horizontal_dpi});
    if (vdpi) out_.attr("verticalDpi", int64_t{ps.vertical_dpi});
    out_.raw(rest).raw("/>");
  }

  // The attributes of <pageSetup> the model does not hold, as read, with
  // the page order (when written) and the references to other parts back
  // in their places among them.
  std::string carried_page_setup_attributes(const spreadsheet::PageSetupModel& ps,
                                            bool order) const {
    const auto& pass = sheet_.passthrough;
    std::vector<std::string_view> pieces = attribute_list(pass.page_setup_attributes);
    const std::string_view order_xml = ps.page_order == spreadsheet::PageOrder::OverThenDown
                                           ? " pageOrder=\"overThenDown\""
                                           : " pageOrder=\"downThenOver\"";
    // Each at its place in the attributes as read, the earlier first; one
    // without a place (not read from a file) last.
    std::vector<std::pair<int32_t, std::string_view>> placed;
    if (order) placed.emplace_back(pass.page_order_slot, order_xml);
    if (pass.page_setup_references_slot >= 0 || !pass.page_setup_references.empty())
      placed.emplace_back(pass.page_setup_references_slot, pass.page_setup_references);
    for (auto& p : placed)
      if (p.first < 0) p.first = INT32_MAX;
    std::stable_sort(placed.begin(), placed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [slot, xml] : placed)
      pieces.insert(pieces.begin() + std::min<size_t>(static_cast<size_t>(slot), pieces.size()),
                    xml);
    std::string out;
    for (std::string_view piece : pieces) out.append(piece);
    return out;
  }

  void header_footer(const spreadsheet::HeaderFooter& hf, bool given) {
    const bool texts = !hf.odd_header.empty() || !hf.odd_footer.empty() ||
                       !hf.even_header.empty() || !hf.even_footer.empty() ||
                       !hf.first_header.empty() || !hf.first_footer.empty();
    const bool flags =
        hf.different_odd_even || hf.different_first || !hf.scale_with_doc || !hf.align_with_margins;
    if (!given && !texts && !flags) return;
    out_.raw("<headerFooter");
    if (hf.different_odd_even) out_.attr("differentOddEven", "1");
    if (hf.different_first) out_.attr("differentFirst", "1");
    if (!hf.scale_with_doc) out_.attr("scaleWithDoc", "0");
    if (!hf.align_with_margins) out_.attr("alignWithMargins", "0");
    if (!texts) {
      out_.raw("/>");
      return;
    }
    out_.raw(">");
    auto item = [&](const char* tag, const std::string& text) {
      if (text.empty()) return;
      out_.raw("<").raw(tag).raw(">").text(text).raw("</").raw(tag).raw(">");
    };
    item("oddHeader", hf.odd_header);
    item("oddFooter", hf.odd_footer);
    item("evenHeader", hf.even_header);
    item("evenFooter", hf.even_footer);
    item("firstHeader", hf.first_header);
    item("firstFooter", hf.first_footer);
    out_.raw("</headerFooter>");
  }

  void row_breaks() { breaks("rowBreaks", sheet_.row_breaks, host::kMaxRows, host::kMaxColumns); }

  // Written from the model only when it no longer holds the breaks the
  // file gave: those are written back as the file spelt them.
  void column_breaks() {
    if (!column_breaks_changed()) return;
    breaks("colBreaks", sheet_.column_breaks, host::kMaxColumns, host::kMaxRows);
  }

  // Manual page breaks before the rows (or columns) `at`, 2..`last`; each
  // runs across the sheet's `across` columns (or rows).
  void breaks(const char* element, const std::set<int32_t>& at, int32_t last, int32_t across) {
    std::vector<int32_t> kept;
    for (int32_t k : at) {
      if (k >= 2 && k <= last) kept.push_back(k);
    }
    if (kept.empty()) return;
    const auto n = static_cast<int64_t>(kept.size());
    out_.raw("<").raw(element).attr("count", n).attr("manualBreakCount", n).raw(">");
    for (int32_t k : kept) {
      out_.raw("<brk").attr("id", int64_t{k - 1}).attr("max", int64_t{across - 1});
      out_.attr("man", "1").raw("/>");
    }
    out_.raw("</").raw(element).raw(">");
  }

  const Sheet& sheet_;
  size_t style_count_;
  const std::string& drawing_rel_;
  SharedStrings& strings_;
  const std::function<void(std::string&)>& flush_;
  XmlOut out_;
  // By column, the text of the last cell written there and its index. The
  // texts are the sheet's own, which stays as it is while it is written.
  struct Above {
    std::string_view text;
    uint32_t index = 0;
    bool known = false;
  };
  std::vector<Above> above_;
  std::vector<const spreadsheet::RawElement*> raw_;
  size_t next_raw_ = 0;
};

}  // namespace

namespace {

using spreadsheet::kTextTagMask;
using spreadsheet::text_slot_home;

}  // namespace

uint32_t SharedStrings::index(std::string_view s) {
  ++references_;
  if (ends_.size() * 2 >= slots_.size()) grow();
  const uint64_t tag = spreadsheet::text_hash(s) & kTextTagMask;
  const size_t mask = slots_.size() - 1;
  for (size_t i = text_slot_home(tag, mask);; i = (i + 1) & mask) {
    const uint64_t slot = slots_[i];
    if (slot == 0) {
      const auto n = static_cast<uint32_t>(ends_.size());
      texts_.append(s);
      ends_.push_back(texts_.size());
      slots_[i] = tag | (uint64_t{n} + 1);
      return n;
    }
    if ((slot & kTextTagMask) == tag) {
      const auto n = static_cast<uint32_t>(slot) - 1;
      if (text(n) == s) return n;
    }
  }
}

void SharedStrings::grow() {
  spreadsheet::grow_text_slots(slots_, 1024);
}

void SharedStrings::expect(size_t total, size_t bytes) {
  if (total <= ends_.size()) return;
  ends_.reserve(total);
  texts_.reserve(bytes);
  // index() grows the slots once they are half full.
  size_t slots = std::max<size_t>(slots_.size(), 1024);
  while (total * 2 >= slots) slots *= 2;
  if (slots > slots_.size()) spreadsheet::grow_text_slots(slots_, slots);
}

std::string SharedStrings::xml() const {
  return xml({});
}

std::string SharedStrings::xml(const std::function<void(std::string&)>& flush) const {
  XmlOut out;
  out.str().reserve(flush ? kDeflatePiece + 4096 : 64 + texts_.size() + ends_.size() * 16);
  out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<sst xmlns=\"");
  out.raw(kMainNs).raw("\"");
  out.attr("count", static_cast<int64_t>(references_));
  out.attr("uniqueCount", static_cast<int64_t>(ends_.size())).raw(">");
  for (uint32_t i = 0; i < ends_.size(); ++i) {
    const std::string_view s = text(i);
    out.raw(needs_preserve(s) ? "<si><t xml:space=\"preserve\">" : "<si><t>");
    out.text(s);
    out.raw("</t></si>");
    if (flush && out.str().size() >= kDeflatePiece) flush(out.str());
  }
  out.raw("</sst>");
  return std::move(out.str());
}

std::string write_worksheet(const spreadsheet::Sheet& sheet, size_t style_count,
                            const std::string& drawing_rel, SharedStrings& strings,
                            const std::function<void(std::string&)>& flush) {
  return Writer(sheet, style_count, drawing_rel, strings, flush).run();
}

}  // namespace kelv::xlsx
