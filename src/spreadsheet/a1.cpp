#include "spreadsheet/a1.h"

#include <algorithm>

#include "host/constants.h"

namespace kelv::spreadsheet {
namespace {

using host::kMaxColumns;
using host::kMaxRows;

bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
int32_t letter_value(char c) {
  return (c >= 'a' ? c - 'a' : c - 'A') + 1;
}

// Letters at i as a column; false when there are none or they pass XFD.
bool read_column(std::string_view s, size_t& i, int32_t* column) {
  const size_t start = i;
  int32_t col = 0;
  while (i < s.size() && is_letter(s[i])) {
    if (i - start == 3) return false;  // four letters are past XFD
    col = col * 26 + letter_value(s[i++]);
  }
  if (i == start || col > kMaxColumns) return false;
  *column = col;
  return true;
}

// Digits at i as a row; false when there are none or they are not a row.
bool read_row(std::string_view s, size_t& i, int32_t* row) {
  const size_t start = i;
  int64_t r = 0;
  while (i < s.size() && is_digit(s[i])) {
    r = std::min<int64_t>(r * 10 + (s[i++] - '0'), int64_t{kMaxRows} + 1);
  }
  if (i == start || r < 1 || r > kMaxRows) return false;
  *row = static_cast<int32_t>(r);
  return true;
}

bool skip_dollar(std::string_view s, size_t& i) {
  if (i < s.size() && s[i] == '$') {
    ++i;
    return true;
  }
  return false;
}

// "$" and a column or row as the whole text.
bool parse_line(std::string_view s, bool (*read)(std::string_view, size_t&, int32_t*),
                LineRef* out) {
  size_t i = 0;
  LineRef line;
  line.absolute = skip_dollar(s, i);
  if (!read(s, i, &line.n) || i != s.size()) return false;
  *out = line;
  return true;
}

std::string_view trim_spaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// A plain sheet name that would read as an R1C1 reference ("R", "C3", "R1C1").
bool reads_as_r1c1(std::string_view s) {
  size_t i = 0;
  auto part = [&](char letter) {
    if (i < s.size() && (s[i] == letter || s[i] == letter - 'A' + 'a')) {
      ++i;
      while (i < s.size() && is_digit(s[i])) ++i;
    }
  };
  part('R');
  part('C');
  return i > 0 && i == s.size();
}

}  // namespace

char* put_column_letters(char* p, int32_t column) {
  char letters[8];
  int n = 0;
  while (column > 0 && n < 8) {
    letters[n++] = static_cast<char>('A' + (column - 1) % 26);
    column = (column - 1) / 26;
  }
  while (n > 0) *p++ = letters[--n];
  return p;
}

void append_column_letters(std::string& out, int32_t column) {
  char buf[8];
  out.append(buf, put_column_letters(buf, column));
}

std::string column_letters(int32_t column) {
  std::string out;
  append_column_letters(out, column);
  return out;
}

int32_t column_number(std::string_view letters) {
  size_t i = 0;
  int32_t column = 0;
  return read_column(letters, i, &column) && i == letters.size() ? column : 0;
}

std::string cell_address(int32_t row, int32_t column) {
  std::string out;
  append_column_letters(out, column);
  out += std::to_string(row);
  return out;
}

std::string area_address(const host::Rect& r) {
  if (r.row1 == r.row2 && r.col1 == r.col2) return cell_address(r.row1, r.col1);
  return cell_address(r.row1, r.col1) + ":" + cell_address(r.row2, r.col2);
}

std::string rect_address(const host::Rect& r) {
  if (r.is_whole_columns() && !r.is_whole_rows())
    return column_letters(r.col1) + ":" + column_letters(r.col2);
  if (r.is_whole_rows() && !r.is_whole_columns())
    return std::to_string(r.row1) + ":" + std::to_string(r.row2);
  return area_address(r);
}

std::string absolute_address(const host::Rect& r) {
  auto cell = [](std::string& out, int32_t row, int32_t column) {
    out += '$';
    append_column_letters(out, column);
    out += '$';
    out += std::to_string(row);
  };
  std::string out;
  cell(out, r.row1, r.col1);
  if (r.rows() > 1 || r.columns() > 1) {
    out += ':';
    cell(out, r.row2, r.col2);
  }
  return out;
}

std::string area_list_address(const std::vector<host::Rect>& rects) {
  std::string out;
  for (const host::Rect& r : rects) {
    if (!out.empty()) out.push_back(' ');
    out += area_address(r);
  }
  return out;
}

bool parse_cell(std::string_view s, CellRef* out) {
  size_t i = 0;
  CellRef ref;
  ref.column_absolute = skip_dollar(s, i);
  if (!read_column(s, i, &ref.column)) return false;
  ref.row_absolute = skip_dollar(s, i);
  if (!read_row(s, i, &ref.row) || i != s.size()) return false;
  *out = ref;
  return true;
}

bool parse_cell(std::string_view s, int32_t* row, int32_t* column) {
  CellRef ref;
  if (!parse_cell(s, &ref)) return false;
  *row = ref.row;
  *column = ref.column;
  return true;
}

bool parse_column_line(std::string_view s, LineRef* out) {
  return parse_line(s, read_column, out);
}

bool parse_row_line(std::string_view s, LineRef* out) {
  return parse_line(s, read_row, out);
}

bool parse_range(std::string_view s, host::Rect* out) {
  const size_t colon = s.find(':');
  if (colon == std::string_view::npos) {
    CellRef c;
    if (!parse_cell(s, &c)) return false;
    *out = host::Rect::cell(c.row, c.column);
    return true;
  }
  const std::string_view a = s.substr(0, colon), b = s.substr(colon + 1);
  host::Rect r;
  CellRef p, q;
  LineRef x, y;
  if (parse_cell(a, &p) && parse_cell(b, &q)) {
    r = {p.row, p.column, q.row, q.column};
  } else if (parse_column_line(a, &x) && parse_column_line(b, &y)) {
    r = {1, x.n, kMaxRows, y.n};
  } else if (parse_row_line(a, &x) && parse_row_line(b, &y)) {
    r = {x.n, 1, y.n, kMaxColumns};
  } else {
    return false;
  }
  *out = {std::min(r.row1, r.row2), std::min(r.col1, r.col2), std::max(r.row1, r.row2),
          std::max(r.col1, r.col2)};
  return true;
}

bool parse_range_list(std::string_view s, std::vector<host::Rect>* out) {
  out->clear();
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    size_t j = i;
    while (j < s.size() && s[j] != ' ') ++j;
    if (j > i) {
      host::Rect r;
      if (!parse_range(s.substr(i, j - i), &r)) return false;
      out->push_back(r);
    }
    i = j;
  }
  return true;
}

std::string sheet_prefix(std::string_view name) {
  bool plain = !name.empty() && !is_digit(name.front());
  for (char ch : name) plain = plain && (is_letter(ch) || is_digit(ch) || ch == '_' || ch == '.');
  CellRef cell;
  if (plain && (parse_cell(name, &cell) || reads_as_r1c1(name))) plain = false;
  if (plain) return std::string(name) + "!";
  std::string out = "'";
  for (char ch : name) {
    out += ch;
    if (ch == '\'') out += '\'';
  }
  out += "'!";
  return out;
}

bool parse_sheet_range(std::string_view s, SheetRange* out) {
  s = trim_spaces(s);
  std::string sheet;
  if (!s.empty() && s.front() == '\'') {
    size_t i = 1;
    for (;; ++i) {
      if (i >= s.size()) return false;  // no closing quote
      if (s[i] != '\'') {
        sheet += s[i];
      } else if (i + 1 < s.size() && s[i + 1] == '\'') {
        sheet += '\'';
        ++i;
      } else {
        break;
      }
    }
    if (i + 1 >= s.size() || s[i + 1] != '!' || sheet.empty()) return false;
    s.remove_prefix(i + 2);
  } else if (const size_t bang = s.rfind('!'); bang != std::string_view::npos) {
    sheet = trim_spaces(s.substr(0, bang));
    if (sheet.empty()) return false;
    s.remove_prefix(bang + 1);
  }
  host::Rect r;
  if (!parse_range(trim_spaces(s), &r)) return false;
  out->sheet = std::move(sheet);
  out->rect = r;
  return true;
}

std::vector<std::string_view> split_references(std::string_view s) {
  std::vector<std::string_view> out;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\'') {
      quoted = !quoted;  // a doubled quote turns it off and on again
    } else if (s[i] == ',' && !quoted) {
      out.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(s.substr(start));
  return out;
}

}  // namespace kelv::spreadsheet
