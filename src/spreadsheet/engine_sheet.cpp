#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string_view>
#include <unordered_map>

#include "host/constants.h"
#include "host/host_error.h"
#include "spreadsheet/cells.h"
#include "spreadsheet/engine_impl.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/geometry.h"
#include "spreadsheet/palette.h"
#include "spreadsheet/references.h"
#include "spreadsheet/rows_in_parallel.h"
#include "spreadsheet/sort_order.h"
#include "spreadsheet/text.h"

namespace kelv::spreadsheet {
namespace {

using host::HostError;
using host::kMaxColumns;
using host::kMaxRows;
using host::kRefused;

std::string in_quotes(std::string_view s) {
  return "“" + std::string(s) + "”";
}

bool is_blank(const Variant& v) {
  return v.is_empty() || v.is_null() || (v.is_text() && v.as_text().empty());
}

bool iequals_ascii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::shared_ptr<const Formula> formula_of(std::string text) {
  auto f = std::make_shared<Formula>();
  f->text = std::move(text);
  return f;
}

// A formula copied rows/columns away, its relative references moved along.
std::shared_ptr<const Formula> moved(const Formula& from, int32_t rows, int32_t columns) {
  auto f = std::make_shared<Formula>(from);
  f->text = move_references(from.text, rows, columns);
  if (!f->array_ref.empty()) f->array_ref = move_references(from.array_ref, rows, columns);
  return f;
}

// Significant digits of a decimal text's mantissa. A number keeps 15; an
// identity-card or account number of 18 digits written into a General cell
// stays text rather than silently losing its last digits.
int significant_digits(std::string_view t) {
  const size_t e = t.find_first_of("eE");
  std::string_view m = t.substr(0, e);
  std::string digits;
  for (char ch : m)
    if (ch >= '0' && ch <= '9') digits += ch;
  const size_t point = m.find('.');
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  size_t last = digits.size();
  if (point != std::string_view::npos)
    while (last > first + 1 && digits[last - 1] == '0') --last;
  return static_cast<int>(last - first);
}

bool whole(const Rect& a) {
  return a.is_whole_rows() || a.is_whole_columns();
}

void check_rect(const Rect& a) {
  if (a.row1 < 1 || a.col1 < 1 || a.row2 > kMaxRows || a.col2 > kMaxColumns || a.row1 > a.row2 ||
      a.col1 > a.col2)
    throw HostError::host(kRefused, "引用超出工作表范围");
}

}  // namespace

struct EngineSheet::ColumnCounts {
  std::unordered_map<double, int64_t> numbers;
  std::unordered_map<std::string, int64_t> texts;  // simple case folding
  int64_t trues = 0, falses = 0;
};

// --- Identity -------------------------------------------------------------------

host::Workbook& EngineSheet::parent() {
  return *book_;
}

void EngineSheet::invalidate_caches() {
  edges_.forget();
  regions_.clear();
  merge_indexed_ = static_cast<size_t>(-1);
  counts_.clear();
  pictures_counted_ = static_cast<size_t>(-1);
}

void EngineSheet::touch(int32_t col1, int32_t col2) {
  book_->mark_modified();
  regions_.clear();
  if (counts_.empty()) return;
  for (auto it = counts_.begin(); it != counts_.end();)
    it = it->first >= col1 && it->first <= col2 ? counts_.erase(it) : std::next(it);
}

void EngineSheet::set_name(std::string_view name) {
  if (name == sheet_->name) return;
  book_->check_sheet_name(name, this);
  for (DefinedName& d : book_->model().defined_names)
    d.value = rename_sheet_references(d.value, sheet_->name, name);
  book_->rewrite_formulas(
      [&](std::string_view f) { return rename_sheet_references(f, sheet_->name, name); });
  sheet_->name = std::string(name);
  book_->mark_modified();
}

host::SheetVisibility EngineSheet::visible() const {
  switch (sheet_->visibility) {
    case Visibility::Visible:
      return host::SheetVisibility::Visible;
    case Visibility::Hidden:
      return host::SheetVisibility::Hidden;
    case Visibility::VeryHidden:
      return host::SheetVisibility::VeryHidden;
  }
  return host::SheetVisibility::Visible;
}

void EngineSheet::set_visible(host::SheetVisibility v) {
  Visibility to;
  switch (static_cast<int32_t>(v)) {
    case -1:
      to = Visibility::Visible;
      break;
    case 0:
      to = Visibility::Hidden;
      break;
    case 2:
      to = Visibility::VeryHidden;
      break;
    default:
      throw HostError::host(kRefused, "无效的 Visible 值");
  }
  if (to == sheet_->visibility) return;
  if (sheet_->visibility == Visibility::Visible && book_->visible_count() == 1)
    throw HostError::host(kRefused, "不能隐藏工作簿中唯一的可见工作表" + in_quotes(sheet_->name));
  sheet_->visibility = to;
  const int32_t me = book_->index_of(*this);
  if (to != Visibility::Visible && book_->model().active_sheet == me) {
    for (int32_t i = 0; i < book_->sheet_count(); ++i) {
      const int32_t k = (me + 1 + i) % book_->sheet_count();
      if (book_->sheet_ref(k).model().visibility == Visibility::Visible) {
        book_->make_active(k);
        break;
      }
    }
  }
  book_->mark_modified();
}

void EngineSheet::activate() {
  const int32_t me = book_->index_of(*this);
  if (me < 0) throw HostError::host(kRefused, "工作表已被删除");
  if (sheet_->visibility != Visibility::Visible)
    throw HostError::host(kRefused, "不能激活隐藏的工作表" + in_quotes(sheet_->name));
  book_->make_active(me);
  book_->activate();
}

void EngineSheet::copy_after(host::Worksheet& after) {
  auto* a = dynamic_cast<EngineSheet*>(&after);
  const int32_t at = a ? a->book_->index_of(*a) : -1;
  if (at < 0) throw HostError::host(kRefused, "无法复制工作表" + in_quotes(sheet_->name));
  EngineWorkbook& dest = *a->book_;
  auto copy = std::make_unique<Sheet>(*sheet_);
  copy->view.tab_selected = false;
  if (&dest != book_) {
    // Another workbook: formats and images move into its own tables.
    const StyleTable& from = book_->model().styles;
    StyleTable& to = dest.model().styles;
    std::unordered_map<uint32_t, uint32_t> memo;
    auto map = [&](uint32_t id) {
      auto it = memo.find(id);
      if (it != memo.end()) return it->second;
      const uint32_t n = to.intern(from.get(id));
      memo.emplace(id, n);
      return n;
    };
    for (Row& row : copy->rows) {
      if (row.style) row.style = map(*row.style);
      for (Cell& c : row.cells) c.style = map(c.style);
    }
    for (auto& [c, info] : copy->columns)
      if (info.style) info.style = map(*info.style);
    for (PictureModel& p : copy->pictures)
      p.image = dest.store_image(book_->model().images[p.image]);
    // Carried parts (comments, tables, charts, printer settings) stay in
    // their own package, and differential formats in their own workbook:
    // what points at them can not come along.
    SheetPassthrough& pass = copy->passthrough;
    pass.relationships.clear();
    pass.drawing_anchors.clear();
    pass.drawing_relationships.clear();
    std::erase_if(pass.elements, [](const RawElement& e) { return e.refers_to_parts; });
    pass.page_setup_references.clear();
  }
  // "NAME (2)", or the next free number; a copy of "NAME (2)" is "NAME (3)".
  std::string base = sheet_->name;
  if (base.size() > 4 && base.back() == ')') {
    const size_t open = base.rfind(" (");
    if (open != std::string::npos &&
        std::all_of(base.begin() + static_cast<long>(open) + 2, base.end() - 1,
                    [](char ch) { return ch >= '0' && ch <= '9'; }) &&
        open + 3 < base.size())
      base = base.substr(0, open);
  }
  std::string name;
  for (int32_t n = 2;; ++n) {
    const std::string suffix = " (" + std::to_string(n) + ")";
    name = text::prefix(base, 31 - static_cast<int32_t>(suffix.size())) + suffix;
    if (!dest.name_taken(name, nullptr)) break;
  }
  copy->name = name;
  // The copy's references to its own sheet point at the copy.
  rewrite_sheet_formulas(
      *copy, [&](std::string_view f) { return rename_sheet_references(f, sheet_->name, name); });
  const bool visible = copy->visibility == Visibility::Visible;
  const int32_t was_active = dest.model().active_sheet;
  const int32_t me = book_->index_of(*this);
  std::vector<DefinedName> local;
  for (const DefinedName& d : book_->model().defined_names)
    if (d.local_sheet == me) local.push_back(d);
  dest.insert_sheet(std::move(copy), at + 1);
  // The copy takes its own print area, print titles and other sheet names.
  for (DefinedName& d : local) {
    d.local_sheet = at + 1;
    d.value = rename_sheet_references(d.value, sheet_->name, name);
    dest.model().defined_names.push_back(std::move(d));
  }
  if (visible) {
    dest.activate();
  } else {
    dest.make_active(was_active >= at + 1 ? was_active + 1 : was_active);
  }
}

void EngineSheet::delete_sheet() {
  if (book_->index_of(*this) < 0) throw HostError::host(kRefused, "工作表已被删除");
  if (sheet_->visibility == Visibility::Visible && book_->visible_count() == 1)
    throw HostError::host(kRefused, "不能删除工作簿中唯一的可见工作表" + in_quotes(sheet_->name));
  book_->remove_sheet(*this);
}

int32_t EngineSheet::tab_color_index() const {
  return color_index_of(sheet_->tab_color);
}

void EngineSheet::set_tab_color_index(int32_t index) {
  sheet_->tab_color = color_from_index(index, false);
  if (sheet_->tab_color.kind == Color::Kind::Auto) sheet_->tab_color = Color{};
  book_->mark_modified();
}

// --- Values and formulas -----------------------------------------------------------

bool EngineSheet::automatic() const {
  return book_->engine().calculation() == host::xlCalculationAutomatic;
}

const Style& EngineSheet::style_at(int32_t row, int32_t column) const {
  return book_->model().styles.get(cells::style_of(*sheet_, row, column));
}

Variant EngineSheet::cell_value(int32_t row, int32_t column) const {
  const Cell* c = cells::find(*sheet_, row, column);
  return c ? c->value.variant() : Variant();
}

void EngineSheet::write_value(Cell& cell, const Variant& v) {
  cell.formula.reset();
  if (is_blank(v)) {
    cell.value = Variant();
    return;
  }
  if (!v.is_text()) {
    cell.value = v;
    return;
  }
  const std::string& t = v.as_text();
  if (t.front() == '\'') {
    cell.value = t.size() > 1 ? Variant(t.substr(1)) : Variant();
    return;
  }
  if (book_->model().styles.get(cell.style).number_format == "@") {
    cell.value = v;
    return;
  }
  double d;
  if (host::parse_decimal(t, &d, false) && significant_digits(t) <= 15) {
    cell.value = d;
  } else if (iequals_ascii(t, "true")) {
    cell.value = true;
  } else if (iequals_ascii(t, "false")) {
    cell.value = false;
  } else {
    cell.value = v;
  }
}

void EngineSheet::set_value(const Rect& area, const Variant& v) {
  check_rect(area);
  // No cell holds an infinite number or a NaN; a file could not even spell one.
  if (v.is_number() && !std::isfinite(v.as_number())) throw HostError::host(host::kOverflow);
  Sheet& s = *sheet_;
  if (is_blank(v)) {
    const int32_t last = std::min(area.row2, cells::last_row(s));
    for (int32_t r = area.row1; r <= last; ++r) {
      cells::prefetch(s, r + cells::kAhead, true);
      auto [b, e] = cells::span(s.rows[r - 1], area.col1, area.col2);
      for (auto it = b; it != e; ++it) {
        it->value = Variant();
        it->formula.reset();
      }
    }
  } else {
    if (whole(area)) throw HostError::host(kRefused, "不能向整行或整列写入数值");
    if (area.row1 == area.row2 && area.col1 == area.col2) {
      write_value(cells::get(s, area.row1, area.col1), v);
    } else {
      for (int32_t r = area.row1; r <= area.row2; ++r) {
        cells::prefetch(s, r + cells::kAhead, true);
        auto [b, e] = cells::ensure_span(s, r, area.col1, area.col2);
        for (auto it = b; it != e; ++it) write_value(*it, v);
      }
    }
  }
  touch(area.col1, area.col2);
}

void EngineSheet::set_values(const Rect& area, const std::vector<Variant>& values) {
  check_rect(area);
  if (whole(area)) throw HostError::host(kRefused, "不能向整行或整列写入数值");
  if (static_cast<uint64_t>(area.rows()) * static_cast<uint64_t>(area.columns()) != values.size())
    throw HostError::host(kRefused, "数值的个数与区域不符");
  for (const Variant& v : values)
    if (v.is_number() && !std::isfinite(v.as_number())) throw HostError::host(host::kOverflow);
  Sheet& s = *sheet_;
  const auto columns = static_cast<size_t>(area.columns());
  // Values past a row's last cell are appended: room for all of them at
  // once rather than growing the row cell by cell. Past a gap of a few
  // columns, room for the gap too: those are a table's columns whose
  // headings are written and whose values come next (the random order's key
  // column stands right of the seven assignment columns, which are then
  // filled), and a row grown twice costs a million rows a second.
  const auto make_room = [&](Row& row, size_t k) {
    if (!row.cells.empty() && row.cells.back().col >= area.col1) return;
    size_t appended = 0;
    for (size_t i = k; i < k + columns; ++i) appended += !is_blank(values[i]);
    constexpr int32_t kGapKept = 16;
    const int32_t gap = row.cells.empty() ? 0 : area.col1 - row.cells.back().col - 1;
    if (appended > 0 && row.cells.size() + appended > row.cells.capacity())
      cells::room_for(row, appended + static_cast<size_t>(gap <= kGapKept ? gap : 0));
  };
  // Growing a million rows is mostly the system handing out fresh memory,
  // page by page: the rows already stored grow on every core first.
  const int32_t stored = std::min(area.row2, cells::last_row(s));
  for_rows_in_parallel(area.row1, stored, [&](int32_t r) {
    make_room(s.rows[static_cast<size_t>(r - 1)], static_cast<size_t>(r - area.row1) * columns);
  });
  size_t k = 0;
  for (int32_t r = area.row1; r <= area.row2; ++r) {
    if (r > cells::last_row(s)) {
      // Blanks past the last stored row store nothing.
      bool all_blank = true;
      for (int32_t c = area.col1; c <= area.col2 && all_blank; ++c)
        all_blank = is_blank(values[k + static_cast<size_t>(c - area.col1)]);
      if (all_blank) {
        k += columns;
        continue;
      }
    }
    cells::prefetch(s, r + cells::kAhead, true);
    Row& row = cells::row_at(s, r);
    if (r > stored) make_room(row, k);  // the stored rows have theirs
    for (int32_t c = area.col1; c <= area.col2; ++c) {
      const Variant& v = values[k++];
      if (is_blank(v)) {
        auto it = cells::lower(row, c);
        if (it != row.cells.end() && it->col == c) {
          it->value = Variant();
          it->formula.reset();
        }
      } else if (!row.cells.empty() && row.cells.back().col < c) {
        cells::room_for(row, 1);
        Cell cell;
        cell.col = c;
        cell.style = cells::inherited_style(s, &row, c);
        row.cells.push_back(std::move(cell));
        write_value(row.cells.back(), v);
      } else {
        write_value(cells::get(s, r, c), v);
      }
    }
  }
  touch(area.col1, area.col2);
}

std::string EngineSheet::cell_formula(int32_t row, int32_t column) const {
  const Cell* c = cells::find(*sheet_, row, column);
  return c && c->formula ? "=" + c->formula->text : std::string();
}

void EngineSheet::set_formula_r1c1(const Rect& area, std::string_view formula) {
  check_rect(area);
  if (formula.empty() || formula.front() != '=') {
    set_value(area, Variant(formula));
    return;
  }
  if (whole(area)) throw HostError::host(kRefused, "不能向整行或整列写入公式");
  // Convert every cell first, so a bad reference changes nothing.
  std::vector<std::shared_ptr<const Formula>> converted;
  converted.reserve(static_cast<size_t>(area.rows()) * static_cast<size_t>(area.columns()));
  for (int32_t r = area.row1; r <= area.row2; ++r)
    for (int32_t c = area.col1; c <= area.col2; ++c)
      converted.push_back(formula_of(r1c1_to_a1(formula, r, c)));
  size_t k = 0;
  for (int32_t r = area.row1; r <= area.row2; ++r) {
    for (int32_t c = area.col1; c <= area.col2; ++c) {
      Cell& cell = cells::get(*sheet_, r, c);
      cell.formula = converted[k++];
      cell.value = Variant();
    }
  }
  touch(area.col1, area.col2);
  for (int32_t r = area.row1; r <= area.row2; ++r)
    for (int32_t c = area.col1; c <= area.col2; ++c) evaluate(cells::get(*sheet_, r, c), r, c);
}

// The values of column c counted for COUNTIF. Texts are counted as they
// stand first and folded once each: a column holds a few dozen schools or
// classes in many rows. A column just sorted by itself holds each text in
// one run of rows, so the text of the row above is tried before the table.
// A long sheet's rows are counted in two halves, one on each core.
std::shared_ptr<EngineSheet::ColumnCounts> EngineSheet::count_column(int32_t c) const {
  struct Half {
    std::unordered_map<double, int64_t> numbers;
    std::unordered_map<std::string_view, int64_t> as_written;
    int64_t trues = 0, falses = 0;
  } halves[2];
  const Sheet& s = *sheet_;
  for_halves_in_parallel(s.rows.size(), [&](size_t begin, size_t end) {
    Half& half = halves[begin == 0 ? 0 : 1];
    std::string_view last_text;
    int64_t* last_count = nullptr;
    for (size_t i = begin; i < end; ++i) {
      cells::prefetch(s, static_cast<int32_t>(i + 1) + cells::kAhead);
      const Cell* cell = cells::find(s, static_cast<int32_t>(i + 1), c);
      if (!cell) continue;
      const CellValue& v = cell->value;
      if (v.is_number()) {
        ++half.numbers[v.as_number()];
      } else if (v.is_bool()) {
        ++(v.as_bool() ? half.trues : half.falses);
      } else if (v.is_text() && !v.as_text().empty()) {
        const std::string_view t = v.as_text();
        if (last_count == nullptr || t != last_text) {
          last_text = t;
          last_count = &half.as_written[t];
        }
        ++*last_count;
      }
    }
  });
  auto counts = std::make_shared<ColumnCounts>();
  for (const Half& half : halves) {
    for (const auto& [x, k] : half.numbers) counts->numbers[x] += k;
    for (const auto& [t, k] : half.as_written) counts->texts[text::simple_fold(t)] += k;
    counts->trues += half.trues;
    counts->falses += half.falses;
  }
  return counts;
}

void EngineSheet::evaluate(Cell& cell, int32_t, int32_t) {
  if (!cell.formula || !automatic()) return;
  const std::optional<CountIf> f = parse_countif(cell.formula->text);
  if (!f) return;
  const Variant crit = cell_value(f->criterion_row, f->criterion_column);
  if (is_blank(crit) || crit.is_error()) {
    cell.value = 0.0;
    return;
  }
  const bool wild = crit.is_text() && text::has_wildcards(crit.as_text());
  const std::string key =
      crit.is_text() && !wild ? text::simple_fold(crit.as_text()) : std::string();
  auto matches = [&](const CellValue& v) {
    if (crit.is_number()) return v.is_number() && v.as_number() == crit.as_number();
    if (crit.is_bool()) return v.is_bool() && v.as_bool() == crit.as_bool();
    if (!v.is_text() || v.as_text().empty()) return false;
    return wild ? text::wildcard_match(crit.as_text(), v.as_text())
                : text::simple_fold(v.as_text()) == key;
  };
  int64_t n = 0;
  const Rect& range = f->range;
  if (range.is_whole_columns()) {
    for (int32_t c = range.col1; c <= range.col2; ++c) {
      auto& counts = counts_[c];
      if (!counts) counts = count_column(c);
      if (crit.is_number()) {
        auto it = counts->numbers.find(crit.as_number());
        n += it == counts->numbers.end() ? 0 : it->second;
      } else if (crit.is_bool()) {
        n += crit.as_bool() ? counts->trues : counts->falses;
      } else if (!wild) {
        auto it = counts->texts.find(key);
        n += it == counts->texts.end() ? 0 : it->second;
      } else {
        for (auto& [t, k] : counts->texts)
          if (text::wildcard_match(crit.as_text(), t)) n += k;
      }
    }
  } else {
    const int32_t last = std::min(range.row2, cells::last_row(*sheet_));
    for (int32_t r = range.row1; r <= last; ++r) {
      auto [b, e] = cells::span(sheet_->rows[r - 1], range.col1, range.col2);
      for (auto it = b; it != e; ++it) n += matches(it->value) ? 1 : 0;
    }
  }
  cell.value = static_cast<double>(n);
}

void EngineSheet::recalculate() {
  counts_.clear();
  for (size_t r = 0; r < sheet_->rows.size(); ++r)
    for (Cell& c : sheet_->rows[r].cells)
      if (c.formula) evaluate(c, static_cast<int32_t>(r + 1), c.col);
}

// --- Regions ----------------------------------------------------------------------

Rect EngineSheet::current_region(int32_t row, int32_t column) const {
  for (const KnownRegion& k : regions_)
    if (k.row == row && k.column == column) return k.region;
  const std::optional<Rect> along = region_along_known_row(row, column);
  const Rect found = along ? *along : find_region(row, column);
  if (regions_.size() < kKnownRegions) {
    regions_.push_back({row, column, found});
  } else {
    regions_[next_region_] = {row, column, found};
    next_region_ = (next_region_ + 1) % kKnownRegions;
  }
  return found;
}

// A cell in the row a known region was found from, where that row holds a
// value in every column of the region, has the same region: growing from the
// cell takes in the whole row across the region, and with it the cell the
// region was found from. Each heading of a table is looked up from its own
// cell.
std::optional<Rect> EngineSheet::region_along_known_row(int32_t row, int32_t column) const {
  for (const KnownRegion& k : regions_) {
    const Rect& r = k.region;
    if (k.row == row && column >= r.col1 && column <= r.col2 && row_full(row, r.col1, r.col2))
      return r;
  }
  return std::nullopt;
}

// Whether every cell of the row within [col1, col2] holds a value.
bool EngineSheet::row_full(int32_t row, int32_t col1, int32_t col2) const {
  for (int32_t c = col1; c <= col2; ++c) {
    const Cell* cell = cells::find(*sheet_, row, c);
    if (!cell || !cells::has_value(*cell)) return false;
  }
  return true;
}

Rect EngineSheet::find_region(int32_t row, int32_t column) const {
  const Sheet& s = *sheet_;
  const int32_t last = cells::last_row(s);
  auto row_hit = [&](int32_t r, int32_t c1, int32_t c2) {
    if (r < 1 || r > last) return false;
    cells::prefetch(s, r + cells::kAhead);
    const Row& rw = s.rows[r - 1];
    if (rw.cells.empty()) return false;
    // A table's rows mostly start inside it: no search then, and only the
    // row's first cell is read.
    auto it = rw.cells.front().col >= c1 ? rw.cells.begin() : cells::lower(rw, std::max(c1, 1));
    for (; it != rw.cells.end() && it->col <= c2; ++it)
      if (cells::has_value(*it)) return true;
    return false;
  };
  // The first row of from..to where `found` holds, or to + 1. The first few
  // thousand rows are read here (a short search starts no thread); past them
  // a long table's rows are read in blocks, each block's halves on both
  // cores, and the half that finds a row stops the other past it.
  auto first_row_where = [&](int32_t from, int32_t to, const auto& found) {
    constexpr int32_t kAlone = 1 << 12;
    int32_t r = from;
    for (; r <= to && r - from < kAlone; ++r)
      if (found(r)) return r;
    constexpr auto kBlock = static_cast<int32_t>(2 * kManyRows);
    while (r <= to) {
      const int32_t block_end = r + std::min(kBlock, to - r + 1) - 1;
      std::atomic<int32_t> first{block_end + 1};
      for_halves_in_parallel(static_cast<size_t>(block_end - r) + 1, [&](size_t begin, size_t end) {
        for (size_t k = begin; k < end; ++k) {
          const int32_t at = r + static_cast<int32_t>(k);
          if (at >= first.load(std::memory_order_relaxed)) return;
          if (!found(at)) continue;
          int32_t seen = first.load(std::memory_order_relaxed);
          while (at < seen && !first.compare_exchange_weak(seen, at)) {
          }
          return;
        }
      });
      if (first.load() <= block_end) return first.load();
      r = block_end + 1;
    }
    return r;
  };
  auto col_hit = [&](int32_t c, int32_t r1, int32_t r2) {
    if (c < 1 || c > kMaxColumns) return false;
    const int32_t to = std::min(r2, last);
    return first_row_where(std::max(r1, 1), to, [&](int32_t r) {
             cells::prefetch(s, r + cells::kAhead, true);
             const std::vector<Cell>& row = s.rows[r - 1].cells;
             // Most rows of a table end before the column beside it.
             if (row.empty() || row.back().col < c || row.front().col > c) return false;
             const Cell* cell = cells::find(s, r, c);
             return cell && cells::has_value(*cell);
           }) <= to;
  };
  Rect a = Rect::cell(row, column);
  // A column beside the region, once found empty over the region's rows,
  // stays empty until the rows grow: it is not read again before then (a
  // column is a look-up in every row of a long table).
  struct Checked {
    int32_t col = 0, row1 = 0, row2 = 0;
  } right, left;
  auto empty_beside = [&](Checked& known, int32_t c) {
    if (known.col == c && known.row1 == a.row1 && known.row2 == a.row2) return true;
    if (col_hit(c, a.row1 - 1, a.row2 + 1)) return false;
    known = {c, a.row1, a.row2};
    return true;
  };
  for (bool grew = true; grew;) {
    grew = false;
    if (a.row2 < kMaxRows) {
      const auto empty_row = [&](int32_t r) { return !row_hit(r, a.col1 - 1, a.col2 + 1); };
      const int32_t below = std::min(first_row_where(a.row2 + 1, last, empty_row) - 1, kMaxRows);
      if (below > a.row2) grew = true;
      a.row2 = below;
    }
    while (a.row1 > 1 && row_hit(a.row1 - 1, a.col1 - 1, a.col2 + 1)) --a.row1, grew = true;
    if (a.col2 < kMaxColumns && !empty_beside(right, a.col2 + 1)) ++a.col2, grew = true;
    if (a.col1 > 1 && !empty_beside(left, a.col1 - 1)) --a.col1, grew = true;
  }
  return a;
}

Rect EngineSheet::used_rect() const {
  const StyleTable& table = book_->model().styles;
  std::vector<int8_t> plain(table.size(), -1);
  auto used = [&](const Cell& c) {
    if (cells::has_value(c)) return true;
    if (c.style == 0) return false;
    int8_t& p = plain[c.style];
    if (p < 0) p = table.get(c.style) == table.get(0) ? 1 : 0;
    return p == 0;
  };
  Rect a{kMaxRows + 1, kMaxColumns + 1, 0, 0};
  for (size_t i = 0; i < sheet_->rows.size(); ++i) {
    const Row& row = sheet_->rows[i];
    auto first = std::find_if(row.cells.begin(), row.cells.end(), used);
    if (first == row.cells.end()) continue;
    auto lastc = std::find_if(row.cells.rbegin(), row.cells.rend(), used);
    const auto r = static_cast<int32_t>(i + 1);
    a.row1 = std::min(a.row1, r);
    a.row2 = r;
    a.col1 = std::min(a.col1, first->col);
    a.col2 = std::max(a.col2, lastc->col);
  }
  if (a.row2 == 0) return Rect::cell(1, 1);
  return a;
}

// --- Clearing and deleting ---------------------------------------------------------

void EngineSheet::clear(const Rect& area) {
  check_rect(area);
  Sheet& s = *sheet_;
  remove_merges(merges_touching(area));
  const int32_t last = std::min(area.row2, cells::last_row(s));
  for (int32_t r = area.row1; r <= last; ++r) {
    cells::prefetch(s, r + cells::kAhead, true);
    Row& row = s.rows[r - 1];
    auto [b, e] = cells::span(row, area.col1, area.col2);
    const auto erased = static_cast<size_t>(e - b);
    row.cells.erase(b, e);
    // A row that lost half its cells or more (the generator's scratch copy
    // of a table, cleared again) gives their room back: for a hundred
    // thousand rows it is tens of megabytes held for nothing. A column or
    // two cleared keeps the room, which the next columns take.
    const size_t kept = row.cells.size(), room = row.cells.capacity();
    if (erased >= kept && erased > 0 && room - kept >= 8) row.cells.shrink_to_fit();
    if (area.is_whole_rows()) row.style.reset();
  }
  if (area.is_whole_columns()) {
    for (auto it = s.columns.lower_bound(area.col1);
         it != s.columns.end() && it->first <= area.col2; ++it)
      it->second.style.reset();
  } else if (!area.is_whole_rows()) {
    // Cleared cells show the default format even under a formatted row or
    // column; under a row or column whose format is the default, nothing
    // needs storing.
    bool col_styles = false;
    for (auto it = s.columns.lower_bound(area.col1);
         it != s.columns.end() && it->first <= area.col2; ++it)
      col_styles = col_styles || it->second.style.value_or(0) != 0;
    const int32_t upto = col_styles ? area.row2 : last;
    for (int32_t r = area.row1; r <= upto; ++r) {
      const Row* row = cells::row_ptr(s, r);
      if (!col_styles && !(row && row->style.value_or(0) != 0)) continue;
      auto [b, e] = cells::ensure_span(s, r, area.col1, area.col2);
      for (auto it = b; it != e; ++it) it->style = 0;
    }
  }
  touch(area.col1, area.col2);
}

void EngineSheet::clear_contents(const Rect& area) {
  set_value(area, Variant());
}

void EngineSheet::delete_shift_up(const Rect& area) {
  check_rect(area);
  Sheet& s = *sheet_;
  const int32_t h = area.rows();
  const bool band_all = area.is_whole_rows();
  // Merges that the shift would cut are refused before anything moves.
  std::vector<Rect> kept;
  kept.reserve(s.merges.size());
  for (const Rect& m : s.merges) {
    const bool in_band = band_all || (m.col1 <= area.col2 && area.col1 <= m.col2);
    if (!in_band || m.row2 < area.row1) {
      kept.push_back(m);
      continue;
    }
    if (!band_all && (m.col1 < area.col1 || m.col2 > area.col2))
      throw HostError::host(kRefused, "不能对合并单元格作部分更改");
    if (m.row1 < area.row1 && m.row2 >= area.row1)
      throw HostError::host(kRefused, "不能对合并单元格作部分更改");
    if (m.row1 <= area.row2 && m.row2 > area.row2)
      throw HostError::host(kRefused, "不能对合并单元格作部分更改");
    if (m.row1 > area.row2) kept.push_back(Rect{m.row1 - h, m.col1, m.row2 - h, m.col2});
  }
  s.merges = std::move(kept);
  merge_indexed_ = static_cast<size_t>(-1);
  const int32_t last = cells::last_row(s);
  if (band_all) {
    if (area.row1 <= last)
      s.rows.erase(s.rows.begin() + (area.row1 - 1), s.rows.begin() + std::min(area.row2, last));
    std::set<int32_t> breaks;
    for (int32_t b : s.row_breaks) {
      if (b <= area.row1)
        breaks.insert(b);
      else if (b > area.row2)
        breaks.insert(b - h);
    }
    s.row_breaks = std::move(breaks);
    rows_changed(area.row1);
  } else {
    for (int32_t r = area.row1; r <= last; ++r) {
      Row& dst = s.rows[r - 1];
      auto [b, e] = cells::span(dst, area.col1, area.col2);
      const auto at = b - dst.cells.begin();
      dst.cells.erase(b, e);
      if (r + h > last) continue;
      Row& src = s.rows[r + h - 1];
      auto [sb, se] = cells::span(src, area.col1, area.col2);
      dst.cells.insert(dst.cells.begin() + at, std::make_move_iterator(sb),
                       std::make_move_iterator(se));
    }
  }
  touch(area.col1, area.col2);
}

// --- Copy and paste ----------------------------------------------------------------

void EngineSheet::copy_rect(const Rect& area) {
  check_rect(area);
  const Sheet& s = *sheet_;
  const StyleTable& table = book_->model().styles;
  auto clip = std::make_unique<Clipboard>();
  clip->source = area;
  // Style id -> its place in the clipboard's own list.
  std::vector<uint32_t> slots(table.size(), UINT32_MAX);
  auto slot = [&](uint32_t id) {
    if (id >= slots.size()) slots.resize(id + 1, UINT32_MAX);
    uint32_t& at = slots[id];
    if (at == UINT32_MAX) {
      at = static_cast<uint32_t>(clip->styles.size());
      clip->styles.push_back(table.get(id));
    }
    return at;
  };
  const bool bounded = !whole(area);
  bool col_styles = false;
  for (auto it = s.columns.lower_bound(area.col1); it != s.columns.end() && it->first <= area.col2;
       ++it)
    col_styles = col_styles || it->second.style.has_value();
  const int32_t last = bounded && col_styles ? area.row2 : std::min(area.row2, cells::last_row(s));
  // Every cell of a formatted block gets an item: room for them at once.
  if (bounded && col_styles && last >= area.row1)
    clip->items.reserve(std::min<size_t>(
        static_cast<size_t>(last - area.row1 + 1) * static_cast<size_t>(area.columns()),
        size_t{1} << 24));
  for (int32_t r = area.row1; r <= last; ++r) {
    const Row* row = cells::row_ptr(s, r);
    if (bounded && (col_styles || (row && row->style))) {
      // The row's stored cells walked alongside the columns.
      const Cell* next = nullptr;
      const Cell* end = nullptr;
      if (row) {
        auto it = cells::lower(*row, area.col1);
        next = row->cells.data() + (it - row->cells.begin());
        end = row->cells.data() + row->cells.size();
      }
      for (int32_t c = area.col1; c <= area.col2; ++c) {
        Clipboard::Item item;
        item.row = r - area.row1;
        item.col = c - area.col1;
        const Cell* cell = next != end && next->col == c ? next++ : nullptr;
        if (cell) {
          item.value = cell->value;
          item.formula = cell->formula;
        }
        item.style = slot(cell ? cell->style : cells::inherited_style(s, row, c));
        clip->items.push_back(std::move(item));
      }
      continue;
    }
    if (!row) continue;
    for (auto it = cells::lower(*row, area.col1); it != row->cells.end() && it->col <= area.col2;
         ++it)
      clip->items.push_back(Clipboard::Item{r - area.row1, it->col - area.col1, slot(it->style),
                                            it->value, it->formula});
  }
  for (size_t i : merges_touching(area)) {
    const Rect& m = s.merges[i];
    if (m.row1 >= area.row1 && m.row2 <= area.row2 && m.col1 >= area.col1 && m.col2 <= area.col2)
      clip->merges.push_back(
          Rect{m.row1 - area.row1, m.col1 - area.col1, m.row2 - area.row1, m.col2 - area.col1});
  }
  book_->engine().set_clipboard(std::move(clip));
}

namespace {

Clipboard& clipboard_of(Engine& engine) {
  Clipboard* clip = engine.clipboard();
  if (!clip) throw HostError::host(kRefused, "剪贴板中没有可粘贴的内容");
  return *clip;
}

Rect destination(const Clipboard& clip, int32_t row, int32_t column) {
  const Rect d{row, column, row + clip.source.rows() - 1, column + clip.source.columns() - 1};
  if (row < 1 || column < 1 || d.row2 > kMaxRows || d.col2 > kMaxColumns)
    throw HostError::host(kRefused, "粘贴区域超出工作表范围");
  return d;
}

}  // namespace

void EngineSheet::paste_at(int32_t row, int32_t column) {
  Clipboard& clip = clipboard_of(book_->engine());
  const Rect dest = destination(clip, row, column);
  Sheet& s = *sheet_;
  StyleTable& table = book_->model().styles;
  bool mapped = clip.mapped_for == &table && clip.mapped.size() == clip.styles.size();
  for (size_t i = 0; mapped && i < clip.mapped.size(); ++i)
    mapped = clip.mapped[i] < table.size() && table.get(clip.mapped[i]) == clip.styles[i];
  if (!mapped) {
    clip.mapped.clear();
    for (const Style& st : clip.styles) clip.mapped.push_back(table.intern(st));
    clip.mapped_for = &table;
  }
  remove_merges(merges_touching(dest));
  const int32_t dr = row - clip.source.row1, dc = column - clip.source.col1;
  const int32_t clip_rows = clip.items.empty() ? 0 : clip.items.back().row + 1;
  const int32_t upto = std::min(dest.row2, std::max(cells::last_row(s), dest.row1 + clip_rows - 1));
  auto item = clip.items.begin();
  bool formulas = false;
  std::vector<Cell> incoming;
  for (int32_t r = dest.row1; r <= upto; ++r) {
    incoming.clear();
    for (; item != clip.items.end() && item->row == r - dest.row1; ++item) {
      Cell c;
      c.col = dest.col1 + item->col;
      c.style = clip.mapped[item->style];
      c.value = item->value;
      if (item->formula) {
        formulas = true;
        c.formula = dr == 0 && dc == 0 ? item->formula : moved(*item->formula, dr, dc);
      }
      incoming.push_back(std::move(c));
    }
    Row* rp = cells::row_ptr(s, r);
    if (!rp && incoming.empty()) continue;
    Row& rw = rp ? *rp : cells::row_at(s, r);
    auto [b, e] = cells::span(rw, dest.col1, dest.col2);
    const auto at = b - rw.cells.begin();
    const auto n = e - b;
    const auto m = static_cast<std::ptrdiff_t>(incoming.size());
    // Overwrite in place where the counts agree (the common repeated paste).
    if (n == m) {
      std::move(incoming.begin(), incoming.end(), b);
    } else {
      rw.cells.erase(b, e);
      rw.cells.insert(rw.cells.begin() + at, std::make_move_iterator(incoming.begin()),
                      std::make_move_iterator(incoming.end()));
    }
  }
  for (const Rect& m : clip.merges)
    add_merge(Rect{dest.row1 + m.row1, dest.col1 + m.col1, dest.row1 + m.row2, dest.col1 + m.col2});
  touch(dest.col1, dest.col2);
  if (formulas && automatic()) {
    for (int32_t r = dest.row1; r <= upto; ++r) {
      Row* rp = cells::row_ptr(s, r);
      if (!rp) continue;
      auto [b, e] = cells::span(*rp, dest.col1, dest.col2);
      for (auto it = b; it != e; ++it) evaluate(*it, r, it->col);
    }
  }
}

void EngineSheet::paste_values_at(int32_t row, int32_t column) {
  Clipboard& clip = clipboard_of(book_->engine());
  const Rect dest = destination(clip, row, column);
  Sheet& s = *sheet_;
  // Values only: destination formats stay; blanks in the block clear values.
  const int32_t last = std::min(dest.row2, cells::last_row(s));
  for (int32_t r = dest.row1; r <= last; ++r) {
    auto [b, e] = cells::span(s.rows[r - 1], dest.col1, dest.col2);
    for (auto it = b; it != e; ++it) {
      it->value = Variant();
      it->formula.reset();
    }
  }
  for (auto it = clip.items.begin(); it != clip.items.end();) {
    // A row's values at once: its cells get room for all of them first.
    auto end = it;
    size_t values = 0;
    for (; end != clip.items.end() && end->row == it->row; ++end) values += !is_blank(end->value);
    if (values > 0) cells::room_for(cells::row_at(s, dest.row1 + it->row), values);
    for (; it != end; ++it) {
      if (is_blank(it->value)) continue;
      Cell& c = cells::get(s, dest.row1 + it->row, dest.col1 + it->col);
      c.value = it->value;
    }
  }
  touch(dest.col1, dest.col2);
}

// --- Sort ---------------------------------------------------------------------------

namespace {

// Each sorted row's key value, from the first row; nullptr where the row
// has no cell in the key column.
std::vector<const CellValue*> sort_keys(const Sheet& s, int32_t first, size_t n,
                                        int32_t key_column) {
  std::vector<const CellValue*> keys(n, nullptr);
  for_halves_in_parallel(n, [&](size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) {
      cells::prefetch(s, first + static_cast<int32_t>(i) + cells::kAhead);
      const Cell* c = cells::find(s, first + static_cast<int32_t>(i), key_column);
      if (c) keys[i] = &c->value;
    }
  });
  return keys;
}

// Moves each row's cells within columns [col1, col2] to the row's new place;
// formulas are adjusted as the rows they move with.
void reorder_rows(Sheet& s, int32_t first, int32_t col1, int32_t col2,
                  const std::vector<uint32_t>& order) {
  const size_t n = order.size();
  // Reading every moved cell for a formula is most of the work of moving a
  // long table's rows; without a formula anywhere there is none to adjust.
  const bool formulas = FormulaRef::any_held();
  // Lift each row's block out, then put the blocks back in the new order.
  // Each row's cells lie apart in memory: the rows are lifted, and put
  // back, half on each core. A formula moved is adjusted on this thread.
  std::vector<std::vector<Cell>> blocks(n);
  for_halves_in_parallel(n, [&](size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) {
      cells::prefetch(s, first + static_cast<int32_t>(i) + cells::kAhead);
      Row& row = s.rows[static_cast<size_t>(first - 1) + i];
      // A table's row lies inside the sorted columns whole, as its first and
      // last cells show without a search.
      if (row.cells.empty() || (row.cells.front().col >= col1 && row.cells.back().col <= col2)) {
        blocks[i].swap(row.cells);
      } else {
        auto [b, e] = cells::span(row, col1, col2);
        blocks[i].assign(std::make_move_iterator(b), std::make_move_iterator(e));
        row.cells.erase(b, e);
      }
    }
  });
  const auto put_back = [&](size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) {
      if (i + cells::kAhead < end && !blocks[order[i + cells::kAhead]].empty())
        __builtin_prefetch(blocks[order[i + cells::kAhead]].data());
      const auto from = order[i];
      std::vector<Cell>& block = blocks[from];
      const auto shift = static_cast<int32_t>(i) - static_cast<int32_t>(from);
      if (shift != 0 && formulas)
        for (Cell& c : block)
          if (c.formula) c.formula = moved(*c.formula, shift, 0);
      Row& row = s.rows[static_cast<size_t>(first - 1) + i];
      if (row.cells.empty()) {
        row.cells.swap(block);
      } else {
        auto at = cells::lower(row, col1);
        row.cells.insert(at, std::make_move_iterator(block.begin()),
                         std::make_move_iterator(block.end()));
      }
    }
  };
  if (formulas) {
    put_back(0, n);
  } else {
    for_halves_in_parallel(n, put_back);
  }
}

}  // namespace

void EngineSheet::sort(const Rect& area_in, int32_t key_column, host::SortOrder order,
                       host::SortHeader header) {
  check_rect(area_in);
  Rect area = area_in;
  if (whole(area)) {
    const Rect used = used_rect();
    area.row1 = std::max(area.row1, used.row1);
    area.row2 = std::min(area.row2, used.row2);
    area.col1 = std::max(area.col1, used.col1);
    area.col2 = std::min(area.col2, used.col2);
    if (area.row1 > area.row2 || area.col1 > area.col2) return;
  }
  if (key_column < area.col1 || key_column > area.col2)
    throw HostError::host(kRefused, "排序关键字不在排序区域内");
  Sheet& s = *sheet_;
  const int32_t first = area.row1 + (header == host::SortHeader::No ? 0 : 1);
  const int32_t last = std::min(area.row2, cells::last_row(s));
  if (first >= last) return;
  const auto n = static_cast<size_t>(last) - static_cast<size_t>(first) + 1;
  // Merges within one row move with it; any other merge in the sorted rows
  // would be torn apart.
  const Rect data{first, area.col1, last, area.col2};
  std::vector<size_t> row_merges = merges_touching(data);
  for (size_t i : row_merges) {
    const Rect& m = s.merges[i];
    if (m.rows() != 1 || m.col1 < area.col1 || m.col2 > area.col2)
      throw HostError::host(kRefused, "不能对含有跨行或跨出区域的合并单元格的区域排序");
  }

  const std::vector<const CellValue*> keys = sort_keys(s, first, n, key_column);
  const std::vector<uint32_t> perm = sorted_order(keys, order == host::SortOrder::Descending);
  bool identity = true;
  for (size_t i = 0; i < n && identity; ++i) identity = perm[i] == i;
  if (identity) return;
  const std::vector<KnownRegion> kept = regions_kept_by_sort(area, first, keys.size());
  if (!row_merges.empty()) {
    std::vector<uint32_t> where(n);  // old position -> new position
    for (size_t i = 0; i < n; ++i) where[perm[i]] = static_cast<uint32_t>(i);
    std::vector<Rect> moved_merges;
    for (size_t i : row_merges) {
      Rect m = s.merges[i];
      m.row1 = m.row2 = first + static_cast<int32_t>(where[static_cast<size_t>(m.row1 - first)]);
      moved_merges.push_back(m);
    }
    remove_merges(row_merges);
    for (const Rect& m : moved_merges) add_merge(m);
  }
  reorder_rows(s, first, area.col1, area.col2, perm);
  touch(area.col1, area.col2);
  regions_ = kept;
}

// The regions found from a table's heading row that a sort of the `rows`
// under that row leaves as they are. A row joins a region only through a
// value within or just beside it, and the columns then grow to take that
// value in, so every row of a region holds a value within its columns, and
// still does once the sort has moved it, whether or not its key is blank.
// The rows and columns beside did not move. So when the heading holds a
// value in every sorted column, the region grows from a heading cell to the
// same rows and columns. A handler sorts a long table and looks up its
// headings again; its table often ends in rows with blank keys (the seats
// left over past the last examinee).
std::vector<EngineSheet::KnownRegion> EngineSheet::regions_kept_by_sort(const Rect& area,
                                                                        int32_t first,
                                                                        size_t rows) const {
  std::vector<KnownRegion> kept;
  if (first != area.row1 + 1 || area.row2 != first + static_cast<int32_t>(rows) - 1) return kept;
  for (const KnownRegion& k : regions_)
    if (k.region == area && k.row == area.row1) kept.push_back(k);
  if (kept.empty() || !row_full(area.row1, area.col1, area.col2)) return {};
  return kept;
}

// --- Replace -------------------------------------------------------------------------

bool EngineSheet::replace(const Rect& area, std::string_view what, std::string_view replacement,
                          host::LookAt look_at, bool replace_format) {
  check_rect(area);
  if (what.empty()) return false;
  Sheet& s = *sheet_;
  const bool whole_text = look_at == host::LookAt::Whole;
  std::vector<std::pair<int32_t, int32_t>> matched;
  const int32_t last = std::min(area.row2, cells::last_row(s));
  std::string out;
  for (int32_t r = area.row1; r <= last; ++r) {
    auto [b, e] = cells::span(s.rows[r - 1], area.col1, area.col2);
    for (auto it = b; it != e; ++it) {
      if (it->formula) continue;
      const CellValue& v = it->value;
      if (!v.is_text() && !v.is_number()) continue;
      const std::string current =
          v.is_text() ? std::string(v.as_text()) : host::number_to_text(v.as_number());
      if (!text::replace_ignore_case(current, what, replacement, whole_text, &out)) continue;
      it->value = out.empty() ? Variant() : Variant(out);
      matched.emplace_back(r, it->col);
    }
  }
  if (matched.empty()) return false;
  if (replace_format) {
    const host::ReplaceFormat& rf = book_->engine().replace_format();
    for (auto [r, c] : matched)
      restyle(Rect::cell(r, c), [&](Style& st) {
        const host::FontChange& f = rf.font;
        if (f.name) st.font.name = *f.name;
        if (f.size) st.font.size = *f.size;
        if (f.bold) st.font.bold = *f.bold;
        if (f.color_index) st.font.color = color_from_index(*f.color_index, false);
        if (f.underline) st.font.underline = underline_name(*f.underline);
        if (rf.horizontal_alignment)
          st.alignment.horizontal = horizontal_name(*rf.horizontal_alignment);
        if (rf.vertical_alignment) st.alignment.vertical = vertical_name(*rf.vertical_alignment);
      });
  }
  touch(area.col1, area.col2);
  return true;
}

// --- Formats -------------------------------------------------------------------------

template <typename F>
void EngineSheet::restyle(const Rect& a, F&& change) {
  check_rect(a);
  StyleTable& table = book_->model().styles;
  std::unordered_map<uint32_t, uint32_t> memo;
  // Neighbouring cells mostly share a format: the last one mapped is asked
  // first.
  uint32_t last_id = 0, last_fresh = 0;
  bool have_last = false;
  auto map = [&](uint32_t id) {
    if (have_last && id == last_id) return last_fresh;
    auto it = memo.find(id);
    uint32_t fresh;
    if (it != memo.end()) {
      fresh = it->second;
    } else {
      Style st = table.get(id);
      change(st);
      fresh = table.intern(st);
      memo.emplace(id, fresh);
    }
    have_last = true;
    last_id = id;
    last_fresh = fresh;
    return fresh;
  };
  Sheet& s = *sheet_;
  const bool wr = a.is_whole_rows(), wc = a.is_whole_columns();
  if (!wr && !wc) {
    for (int32_t r = a.row1; r <= a.row2; ++r) {
      auto [b, e] = cells::ensure_span(s, r, a.col1, a.col2);
      for (auto it = b; it != e; ++it) it->style = map(it->style);
    }
    book_->mark_modified();
    return;
  }
  if (wc && !wr)
    for (int32_t c = a.col1; c <= a.col2; ++c) {
      ColumnInfo& ci = s.columns[c];
      ci.style = map(ci.style.value_or(0));
    }
  const int32_t last = wr && !wc ? a.row2 : std::min(a.row2, cells::last_row(s));
  for (int32_t r = a.row1; r <= last; ++r) {
    cells::prefetch(s, r + cells::kAhead, true);
    Row& row = wr && !wc ? cells::row_at(s, r) : s.rows[r - 1];
    const std::optional<uint32_t> old_row_style = row.style;
    if (wr && !wc) row.style = map(row.style.value_or(0));
    auto [b, e] = cells::span(row, a.col1, a.col2);
    for (auto it = b; it != e; ++it) it->style = map(it->style);
    if (wr && !wc) {
      // Cells under a formatted column keep that column's format under the change.
      for (auto& [c, ci] : s.columns) {
        if (!ci.style || cells::find(s, r, c)) continue;
        cells::get(s, r, c).style = map(*ci.style);
      }
    } else if (wc && !wr && old_row_style) {
      for (int32_t c = a.col1; c <= a.col2; ++c)
        if (!cells::find(s, r, c)) cells::get(s, r, c).style = map(*old_row_style);
    }
  }
  book_->mark_modified();
}

std::string EngineSheet::number_format(int32_t row, int32_t column) const {
  return style_at(row, column).number_format;
}

void EngineSheet::set_number_format_local(const Rect& area, std::string_view code) {
  const std::string stored = code == "G/通用格式" ? std::string("General") : std::string(code);
  restyle(area, [&](Style& st) { st.number_format = stored; });
}

host::FontInfo EngineSheet::font(int32_t row, int32_t column) const {
  const Font& f = style_at(row, column).font;
  host::FontInfo info;
  info.name = f.name;
  info.size = f.size;
  info.bold = f.bold;
  info.color_index = color_index_of(f.color);
  info.underline = underline_constant(f.underline);
  return info;
}

void EngineSheet::change_font(const Rect& area, const host::FontChange& change) {
  if (change.empty()) return;
  // Check the values before touching any cell.
  const std::optional<Color> color =
      change.color_index ? std::optional<Color>(color_from_index(*change.color_index, false))
                         : std::nullopt;
  const std::optional<std::string> underline =
      change.underline ? std::optional<std::string>(underline_name(*change.underline))
                       : std::nullopt;
  if (change.size && !(*change.size >= 1 && *change.size <= 409))
    throw HostError::host(kRefused, "无效的字号");
  restyle(area, [&](Style& st) {
    if (change.name) st.font.name = *change.name;
    if (change.size) st.font.size = *change.size;
    if (change.bold) st.font.bold = *change.bold;
    if (color) st.font.color = *color;
    if (underline) st.font.underline = *underline;
  });
}

int32_t EngineSheet::horizontal_alignment(int32_t row, int32_t column) const {
  return horizontal_constant(style_at(row, column).alignment.horizontal);
}

void EngineSheet::set_horizontal_alignment(const Rect& area, int32_t xl) {
  const std::string name = horizontal_name(xl);
  restyle(area, [&](Style& st) { st.alignment.horizontal = name; });
}

int32_t EngineSheet::vertical_alignment(int32_t row, int32_t column) const {
  return vertical_constant(style_at(row, column).alignment.vertical);
}

void EngineSheet::set_vertical_alignment(const Rect& area, int32_t xl) {
  const std::string name = vertical_name(xl);
  restyle(area, [&](Style& st) { st.alignment.vertical = name; });
}

// --- Merges ---------------------------------------------------------------------------

void EngineSheet::ensure_merge_index() const {
  if (merge_indexed_ == sheet_->merges.size()) return;
  // The index keys merges by their first cell: it relies on no two sharing one.
  KELV_DCHECK(merges_disjoint(*sheet_));
  merge_index_.clear();
  merge_max_rows_ = 1;
  for (size_t i = 0; i < sheet_->merges.size(); ++i) {
    const Rect& m = sheet_->merges[i];
    merge_index_[{m.row1, m.col1}] = i;
    merge_max_rows_ = std::max(merge_max_rows_, m.rows());
  }
  merge_indexed_ = sheet_->merges.size();
}

std::vector<size_t> EngineSheet::merges_touching(const Rect& area) const {
  ensure_merge_index();
  std::vector<size_t> out;
  if (merge_index_.empty()) return out;
  const int32_t from = std::max(1, area.row1 - merge_max_rows_ + 1);
  for (auto it = merge_index_.lower_bound({from, 0});
       it != merge_index_.end() && it->first.first <= area.row2; ++it)
    if (sheet_->merges[it->second].intersects(area)) out.push_back(it->second);
  return out;
}

void EngineSheet::add_merge(const Rect& area) {
  // Callers remove the merges a new one touches: merges never overlap.
  KELV_DCHECK(merges_touching(area).empty());
  ensure_merge_index();
  sheet_->merges.push_back(area);
  merge_index_[{area.row1, area.col1}] = sheet_->merges.size() - 1;
  merge_max_rows_ = std::max(merge_max_rows_, area.rows());
  merge_indexed_ = sheet_->merges.size();
}

void EngineSheet::remove_merges(std::vector<size_t> indices) {
  if (indices.empty()) return;
  ensure_merge_index();
  std::sort(indices.rbegin(), indices.rend());
  auto& merges = sheet_->merges;
  for (size_t i : indices) {
    merge_index_.erase({merges[i].row1, merges[i].col1});
    if (i + 1 != merges.size()) {
      merges[i] = merges.back();
      merge_index_[{merges[i].row1, merges[i].col1}] = i;
    }
    merges.pop_back();
  }
  merge_indexed_ = merges.size();
}

void EngineSheet::merge(const Rect& area) {
  check_rect(area);
  if (whole(area)) throw HostError::host(kRefused, "不能合并整行或整列");
  if (area.rows() == 1 && area.columns() == 1) return;
  remove_merges(merges_touching(area));
  // The merged block keeps only the value of its top-left cell.
  Sheet& s = *sheet_;
  for (int32_t r = area.row1; r <= std::min(area.row2, cells::last_row(s)); ++r) {
    auto [b, e] = cells::span(s.rows[r - 1], area.col1, area.col2);
    for (auto it = b; it != e; ++it) {
      if (r == area.row1 && it->col == area.col1) continue;
      it->value = Variant();
      it->formula.reset();
    }
  }
  add_merge(area);
  touch(area.col1, area.col2);
}

Rect EngineSheet::merge_area(int32_t row, int32_t column) const {
  for (size_t i : merges_touching(Rect::cell(row, column))) return sheet_->merges[i];
  return Rect::cell(row, column);
}

// --- Geometry -------------------------------------------------------------------------

double EngineSheet::column_width(int32_t column) const {
  return column_width_chars(*sheet_, column);
}

void EngineSheet::set_column_width(int32_t first, int32_t last, double width) {
  if (first < 1 || last > kMaxColumns || first > last) throw HostError::host(kRefused);
  if (!(width >= 0 && width <= 255)) throw HostError::host(kRefused, "列宽必须在 0 到 255 之间");
  for (int32_t c = first; c <= last; ++c) {
    ColumnInfo& ci = sheet_->columns[c];
    ci.hidden = width == 0;
    if (width > 0) ci.width = width;
    ci.custom_width = true;
  }
  columns_changed();
  book_->mark_modified();
}

double EngineSheet::row_height(int32_t row) const {
  return row_points(*sheet_, row);
}

void EngineSheet::set_row_height(int32_t first, int32_t last, double height) {
  if (first < 1 || last > kMaxRows || first > last) throw HostError::host(kRefused);
  if (!(height >= 0 && height <= 409)) throw HostError::host(kRefused, "行高必须在 0 到 409 之间");
  Sheet& s = *sheet_;
  if (first == 1 && last == kMaxRows) {
    // Every row: the sheet's default height, without storing a million rows.
    if (height > 0) {
      s.default_row_height = height;
      s.custom_default_height = true;
    }
    for (Row& r : s.rows) {
      r.height = -1;
      r.custom_height = false;
      r.hidden = height == 0;
    }
    rows_changed(1);
    book_->mark_modified();
    return;
  }
  for (int32_t r = first; r <= last; ++r) {
    Row& row = cells::row_at(s, r);
    row.hidden = height == 0;
    if (height > 0) row.height = height;
    row.custom_height = true;
  }
  rows_changed(first);
  book_->mark_modified();
}

double EngineSheet::top_of(int32_t row) const {
  if (row < 1 || row > kMaxRows + 1) throw HostError::host(kRefused);
  return edges_.row_top(row);
}

double EngineSheet::left_of(int32_t column) const {
  if (column < 1 || column > kMaxColumns + 1) throw HostError::host(kRefused);
  edges_.set_digit_width(book_->model().max_digit_width);
  return edges_.column_left(column);
}

// --- Selection ------------------------------------------------------------------------
// Selecting and scrolling move the view only; like activating a sheet they do
// not count as changing the workbook.

void EngineSheet::select(const Rect& area) {
  check_rect(area);
  if (book_->index_of(*this) != book_->model().active_sheet) activate();
  sheet_->view.selection = {area};
  sheet_->view.active_row = area.row1;
  sheet_->view.active_col = area.col1;
}

void EngineSheet::activate_cell(int32_t row, int32_t column) {
  check_rect(Rect::cell(row, column));
  if (book_->index_of(*this) != book_->model().active_sheet) activate();
  SheetView& v = sheet_->view;
  const bool inside = std::any_of(v.selection.begin(), v.selection.end(),
                                  [&](const Rect& r) { return r.contains(row, column); });
  if (!inside) v.selection = {Rect::cell(row, column)};
  v.active_row = row;
  v.active_col = column;
}

void EngineSheet::add_page_break_above(int32_t row) {
  if (row < 1 || row > kMaxRows) throw HostError::host(kRefused);
  if (row == 1) return;  // nothing lies above the first row
  sheet_->row_breaks.insert(row);
  book_->mark_modified();
}

}  // namespace kelv::spreadsheet
