// The non-virtual members of the object model: ranges, collections and page
// setup handles, each forwarding to the primitives a host implements.
#include <map>
#include <string>
#include <string_view>

#include "host/application.h"
#include "host/environment.h"
#include "host/host_error.h"
#include "host/workbook.h"
#include "host/worksheet.h"

namespace kelv::host {
namespace {

void check_cell(int32_t r, int32_t c) {
  if (r < 1 || r > kMaxRows || c < 1 || c > kMaxColumns) throw HostError::host(kRefused);
}

}  // namespace

// --- Environment ------------------------------------------------------------

std::vector<bool> Environment::files_exist(const std::vector<std::string>& paths) {
  std::vector<bool> out;
  out.reserve(paths.size());
  for (const std::string& p : paths) out.push_back(file_exists(p));
  return out;
}

namespace {

// Letter case folded as file names compare on Windows; ASCII letters are
// what differ in the names cameras and copies give (IMG_0001.JPG).
std::string folded_name(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace

std::vector<std::string> Environment::find_files(const std::vector<std::string>& paths) {
  std::vector<std::string> out(paths.size());
  const std::vector<bool> exact = files_exist(paths);
  std::map<std::string, std::map<std::string, std::string>> folders;
  for (size_t i = 0; i < paths.size(); ++i) {
    if (exact[i]) {
      out[i] = paths[i];
      continue;
    }
    const std::string& p = paths[i];
    if (p.empty()) continue;
    const size_t cut = p.find_last_of("\\/");
    const std::string folder = cut == std::string::npos ? std::string() : p.substr(0, cut + 1);
    auto [it, fresh] = folders.try_emplace(folder);
    if (fresh) {
      for (const std::string& name : list_files(folder.empty() ? "." : folder))
        it->second.emplace(folded_name(name), name);
    }
    const std::string name = cut == std::string::npos ? p : p.substr(cut + 1);
    if (auto f = it->second.find(folded_name(name)); f != it->second.end())
      out[i] = folder + f->second;
  }
  return out;
}

// --- Worksheet --------------------------------------------------------------

Range Worksheet::cells(int32_t row, int32_t column) {
  check_cell(row, column);
  return Range(*this, Rect::cell(row, column));
}

Range Worksheet::range(const Range& from, const Range& to) {
  if (&from.worksheet() != this || &to.worksheet() != this) throw HostError::host(kRefused);
  const Rect& a = from.area();
  const Rect& b = to.area();
  return Range(*this, Rect{std::min(a.row1, b.row1), std::min(a.col1, b.col1),
                           std::max(a.row2, b.row2), std::max(a.col2, b.col2)});
}

Range Worksheet::rows(int32_t row) {
  check_cell(row, 1);
  return Range(*this, Rect::whole_row(row));
}

Range Worksheet::columns(int32_t column) {
  check_cell(1, column);
  return Range(*this, Rect::whole_column(column));
}

Range Worksheet::used_range() {
  return Range(*this, used_rect());
}

// --- Range ------------------------------------------------------------------

std::vector<Rect> Range::areas() const {
  std::vector<Rect> out;
  out.reserve(more_.size() + 1);
  out.push_back(first_);
  out.insert(out.end(), more_.begin(), more_.end());
  return out;
}

void Range::add(const Range& other) {
  if (other.sheet_ != sheet_) throw HostError::host(kRefused);
  more_.push_back(other.first_);
  more_.insert(more_.end(), other.more_.begin(), other.more_.end());
}

Range Range::cell(int32_t r, int32_t c) const {
  check_cell(first_.row1 + r - 1, first_.col1 + c - 1);
  return Range(*sheet_, Rect::cell(first_.row1 + r - 1, first_.col1 + c - 1));
}

Variant Range::value() const {
  return sheet_->cell_value(first_.row1, first_.col1);
}

void Range::set_value(const Variant& v) const {
  for_each_area([&](const Rect& a) { sheet_->set_value(a, v); });
}

void Range::set_values(const std::vector<Variant>& values) const {
  sheet_->set_values(first_, values);
}

std::string Range::formula() const {
  return sheet_->cell_formula(first_.row1, first_.col1);
}

void Range::set_formula_r1c1(std::string_view f) const {
  for_each_area([&](const Rect& a) { sheet_->set_formula_r1c1(a, f); });
}

Range Range::current_region() const {
  return Range(*sheet_, sheet_->current_region(first_.row1, first_.col1));
}

Range Range::merge_area() const {
  return Range(*sheet_, sheet_->merge_area(first_.row1, first_.col1));
}

void Range::clear() const {
  for_each_area([&](const Rect& a) { sheet_->clear(a); });
}

void Range::clear_contents() const {
  for_each_area([&](const Rect& a) { sheet_->clear_contents(a); });
}

void Range::copy() const {
  if (!more_.empty()) throw HostError::host(kRefused, "不能对多重选定区域使用此命令");
  sheet_->copy_rect(first_);
}

void Range::paste_special_values() const {
  sheet_->paste_values_at(first_.row1, first_.col1);
}

void Range::delete_shift_up() const {
  for_each_area([&](const Rect& a) { sheet_->delete_shift_up(a); });
}

void Range::sort(const Range& key1, SortOrder order1, SortHeader header) const {
  if (&key1.worksheet() != sheet_) throw HostError::host(kRefused);
  sheet_->sort(first_, key1.column(), order1, header);
}

bool Range::replace(std::string_view what, std::string_view replacement, LookAt look_at,
                    bool replace_format) const {
  bool any = false;
  for_each_area([&](const Rect& a) {
    any = sheet_->replace(a, what, replacement, look_at, replace_format) || any;
  });
  return any;
}

std::string Range::number_format() const {
  return sheet_->number_format(first_.row1, first_.col1);
}

void Range::set_number_format_local(std::string_view code) const {
  for_each_area([&](const Rect& a) { sheet_->set_number_format_local(a, code); });
}

RangeFont Range::font() const {
  return RangeFont(*this);
}

int32_t Range::horizontal_alignment() const {
  return sheet_->horizontal_alignment(first_.row1, first_.col1);
}

void Range::set_horizontal_alignment(int32_t xl) const {
  for_each_area([&](const Rect& a) { sheet_->set_horizontal_alignment(a, xl); });
}

int32_t Range::vertical_alignment() const {
  return sheet_->vertical_alignment(first_.row1, first_.col1);
}

void Range::set_vertical_alignment(int32_t xl) const {
  for_each_area([&](const Rect& a) { sheet_->set_vertical_alignment(a, xl); });
}

void Range::merge() const {
  for_each_area([&](const Rect& a) { sheet_->merge(a); });
}

double Range::column_width() const {
  return sheet_->column_width(first_.col1);
}

void Range::set_column_width(double width) const {
  for_each_area([&](const Rect& a) { sheet_->set_column_width(a.col1, a.col2, width); });
}

double Range::row_height() const {
  return sheet_->row_height(first_.row1);
}

void Range::set_row_height(double height) const {
  for_each_area([&](const Rect& a) { sheet_->set_row_height(a.row1, a.row2, height); });
}

double Range::top() const {
  return sheet_->top_of(first_.row1);
}
double Range::left() const {
  return sheet_->left_of(first_.col1);
}
double Range::width() const {
  return sheet_->left_of(first_.col2 + 1) - sheet_->left_of(first_.col1);
}
double Range::height() const {
  return sheet_->top_of(first_.row2 + 1) - sheet_->top_of(first_.row1);
}

void Range::select() const {
  sheet_->select(first_);
}
void Range::activate() const {
  sheet_->activate_cell(first_.row1, first_.col1);
}

std::vector<Range> Range::each_cell() const {
  std::vector<Range> out;
  for_each_area([&](const Rect& a) {
    for (int32_t r = a.row1; r <= a.row2; ++r)
      for (int32_t c = a.col1; c <= a.col2; ++c) out.emplace_back(*sheet_, Rect::cell(r, c));
  });
  return out;
}

FontInfo RangeFont::get() const {
  return range_.worksheet().font(range_.row(), range_.column());
}

void RangeFont::apply(const FontChange& change) const {
  for (const Rect& a : range_.areas()) range_.worksheet().change_font(a, change);
}

void RangeFont::set_name(std::string_view name) const {
  FontChange c;
  c.name = std::string(name);
  apply(c);
}
void RangeFont::set_size(double size) const {
  FontChange c;
  c.size = size;
  apply(c);
}
void RangeFont::set_bold(bool bold) const {
  FontChange c;
  c.bold = bold;
  apply(c);
}
void RangeFont::set_color_index(int32_t index) const {
  FontChange c;
  c.color_index = index;
  apply(c);
}
void RangeFont::set_underline(int32_t style) const {
  FontChange c;
  c.underline = style;
  apply(c);
}

// --- Page setup -------------------------------------------------------------

Variant PageSetup::get(PageSetupProperty p) const {
  return sheet_->page_setup_value(p);
}
void PageSetup::set(PageSetupProperty p, const Variant& v) {
  sheet_->set_page_setup_value(p, v);
}

// --- Collections ------------------------------------------------------------

int32_t Worksheets::count() const {
  return book_->sheet_count();
}
Worksheet& Worksheets::item(std::string_view name) const {
  return book_->sheet(name);
}
Worksheet& Worksheets::item(int32_t index) const {
  return book_->sheet_at(index);
}
Worksheet& Worksheets::add_after(Worksheet& after) const {
  return book_->add_sheet_after(after);
}
Worksheet& Worksheets::iterator::operator*() const {
  return book_->sheet_at(i_);
}

int32_t Workbooks::count() const {
  return app_->workbook_count();
}
Workbook& Workbooks::item(std::string_view name) const {
  return app_->workbook(name);
}
Workbook& Workbooks::item(int32_t index) const {
  return app_->workbook_at(index);
}
Workbook& Workbooks::open(std::string_view path) const {
  return app_->open_workbook(path);
}
Workbook& Workbooks::iterator::operator*() const {
  return app_->workbook_at(i_);
}

Workbook& Application::add_workbook(std::string_view path) {
  throw HostError::host(kRefused, "这个宿主不能新建工作簿：" + std::string(path));
}

Range Application::union_of(std::initializer_list<Range> ranges) {
  if (ranges.size() == 0) throw HostError::host(kInvalidArgument);
  Range out = *ranges.begin();
  for (auto it = ranges.begin() + 1; it != ranges.end(); ++it) out.add(*it);
  return out;
}

}  // namespace kelv::host
