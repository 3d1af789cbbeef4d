#include "xlsx/cell_ref.h"

#include <cctype>

#include "host/constants.h"

namespace kelv::xlsx {
namespace {

bool is_alpha(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Reads letters as a column number; 0 when there are none or too many.
int32_t read_column(std::string_view s, size_t* i) {
  int32_t col = 0;
  size_t k = *i;
  while (k < s.size() && is_alpha(s[k]) && k - *i < 4) {
    col = col * 26 + (std::toupper(static_cast<unsigned char>(s[k])) - 'A' + 1);
    ++k;
  }
  if (k == *i || col > host::kMaxColumns || (k < s.size() && is_alpha(s[k]))) return 0;
  *i = k;
  return col;
}

int32_t read_row(std::string_view s, size_t* i) {
  int64_t row = 0;
  size_t k = *i;
  while (k < s.size() && is_digit(s[k]) && k - *i < 8) {
    row = row * 10 + (s[k] - '0');
    ++k;
  }
  if (k == *i || row < 1 || row > host::kMaxRows || (k < s.size() && is_digit(s[k]))) return 0;
  *i = k;
  return static_cast<int32_t>(row);
}

}  // namespace

void append_column_name(std::string& out, int32_t col) {
  char buf[4];
  int n = 0;
  while (col > 0 && n < 4) {
    const int32_t rem = (col - 1) % 26;
    buf[n++] = static_cast<char>('A' + rem);
    col = (col - 1) / 26;
  }
  while (n > 0) out.push_back(buf[--n]);
}

std::string cell_name(int32_t row, int32_t col) {
  std::string s;
  append_column_name(s, col);
  s += std::to_string(row);
  return s;
}

std::string range_name(const host::Rect& r) {
  if (r.row1 == r.row2 && r.col1 == r.col2) return cell_name(r.row1, r.col1);
  return cell_name(r.row1, r.col1) + ":" + cell_name(r.row2, r.col2);
}

std::string range_list_name(const std::vector<host::Rect>& rects) {
  std::string s;
  for (const host::Rect& r : rects) {
    if (!s.empty()) s.push_back(' ');
    s += range_name(r);
  }
  return s;
}

bool parse_cell(std::string_view s, int32_t* row, int32_t* col) {
  size_t i = 0;
  if (i < s.size() && s[i] == '$') ++i;
  const int32_t c = read_column(s, &i);
  if (!c) return false;
  if (i < s.size() && s[i] == '$') ++i;
  const int32_t r = read_row(s, &i);
  if (!r || i != s.size()) return false;
  *row = r;
  *col = c;
  return true;
}

bool parse_range(std::string_view s, host::Rect* out) {
  const size_t colon = s.find(':');
  if (colon == std::string_view::npos) {
    int32_t r = 0, c = 0;
    if (!parse_cell(s, &r, &c)) return false;
    *out = host::Rect::cell(r, c);
    return true;
  }
  std::string_view a = s.substr(0, colon), b = s.substr(colon + 1);
  int32_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
  if (parse_cell(a, &r1, &c1) && parse_cell(b, &r2, &c2)) {
  } else {
    auto strip = [](std::string_view v) { return !v.empty() && v[0] == '$' ? v.substr(1) : v; };
    a = strip(a);
    b = strip(b);
    size_t i = 0, j = 0;
    if (!a.empty() && is_alpha(a[0])) {  // whole columns
      c1 = read_column(a, &i);
      c2 = read_column(b, &j);
      if (!c1 || !c2 || i != a.size() || j != b.size()) return false;
      r1 = 1;
      r2 = host::kMaxRows;
    } else {  // whole rows
      r1 = read_row(a, &i);
      r2 = read_row(b, &j);
      if (!r1 || !r2 || i != a.size() || j != b.size()) return false;
      c1 = 1;
      c2 = host::kMaxColumns;
    }
  }
  *out = {std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
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

std::string shift_formula(std::string_view f, int32_t rows, int32_t cols) {
  std::string out;
  out.reserve(f.size() + 8);
  size_t i = 0;
  auto name_char = [](char c) {
    return is_alpha(c) || is_digit(c) || c == '_' || c == '.' || c == '\\' ||
           static_cast<unsigned char>(c) >= 0x80;
  };
  while (i < f.size()) {
    const char c = f[i];
    if (c == '"' || c == '\'') {  // string literal or quoted sheet name, doubled quotes inside
      size_t j = i + 1;
      while (j < f.size()) {
        if (f[j] == c) {
          if (j + 1 < f.size() && f[j + 1] == c) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      j = std::min(j + 1, f.size());
      out.append(f.substr(i, j - i));
      i = j;
      continue;
    }
    if (c == '[') {  // structured references and external book indices stay as they are
      size_t depth = 0, j = i;
      for (; j < f.size(); ++j) {
        if (f[j] == '[') ++depth;
        if (f[j] == ']' && --depth == 0) break;
      }
      j = std::min(j + 1, f.size());
      out.append(f.substr(i, j - i));
      i = j;
      continue;
    }
    const bool starts_token = i == 0 || !name_char(f[i - 1]);
    if (starts_token && (c == '$' || is_alpha(c) || is_digit(c))) {
      // Longest run of reference-like characters.
      size_t j = i;
      while (j < f.size() && (name_char(f[j]) || f[j] == '$')) ++j;
      std::string_view tok = f.substr(i, j - i);
      const bool is_function = j < f.size() && f[j] == '(';
      const bool is_sheet = j < f.size() && f[j] == '!';
      // A cell: $?letters$?digits.
      size_t k = 0;
      const bool col_abs = k < tok.size() && tok[k] == '$';
      if (col_abs) ++k;
      const size_t col_start = k;
      int32_t col = read_column(tok, &k);
      const bool row_abs = col && k < tok.size() && tok[k] == '$';
      if (row_abs) ++k;
      int32_t row = col ? read_row(tok, &k) : 0;
      if (!is_function && !is_sheet && col && row && k == tok.size()) {
        if (!col_abs) col += cols;
        if (!row_abs) row += rows;
        if (col < 1 || col > host::kMaxColumns || row < 1 || row > host::kMaxRows) {
          out.append("#REF!");
        } else {
          if (col_abs) out.push_back('$');
          append_column_name(out, col);
          if (row_abs) out.push_back('$');
          out.append(std::to_string(row));
        }
        i = j;
        continue;
      }
      // Whole columns "A:C" or rows "2:5" (each side shifted on its own).
      const bool next_colon = j < f.size() && f[j] == ':';
      const bool prev_colon = i > 0 && f[i - 1] == ':';
      if (!is_function && !is_sheet && (next_colon || prev_colon)) {
        size_t m = col_start;
        const int32_t whole_col = read_column(tok, &m);
        if (whole_col && m == tok.size()) {
          const int32_t moved = col_abs ? whole_col : whole_col + cols;
          if (moved < 1 || moved > host::kMaxColumns) {
            out.append("#REF!");
          } else {
            if (col_abs) out.push_back('$');
            append_column_name(out, moved);
          }
          i = j;
          continue;
        }
        m = col_abs ? 1 : 0;
        const int32_t whole_row = read_row(tok, &m);
        if (whole_row && m == tok.size()) {
          const int32_t moved = col_abs ? whole_row : whole_row + rows;
          if (moved < 1 || moved > host::kMaxRows) {
            out.append("#REF!");
          } else {
            if (col_abs) out.push_back('$');
            out.append(std::to_string(moved));
          }
          i = j;
          continue;
        }
      }
      out.append(tok);
      i = j;
      continue;
    }
    out.push_back(c);
    ++i;
  }
  return out;
}

}  // namespace kelv::xlsx
