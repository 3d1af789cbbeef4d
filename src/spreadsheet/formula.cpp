#include "spreadsheet/formula.h"

#include <cctype>
#include <cstdlib>

#include "host/constants.h"
#include "host/host_error.h"

namespace kelv::spreadsheet {
namespace {

using host::kMaxColumns;
using host::kMaxRows;

bool is_ident(char ch) {
  return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '.' ||
         static_cast<unsigned char>(ch) >= 0x80;
}

// Copies a quoted literal ("..." or '...') starting at i; returns the index after it.
size_t copy_quoted(std::string_view s, size_t i, std::string& out) {
  const char q = s[i];
  out += s[i++];
  while (i < s.size()) {
    out += s[i];
    if (s[i] == q) {
      if (i + 1 < s.size() && s[i + 1] == q) {
        out += s[++i];
      } else {
        return i + 1;
      }
    }
    ++i;
  }
  return i;
}

// --- R1C1 ---------------------------------------------------------------------

struct R1C1Part {
  bool present = false;
  bool absolute = false;
  int32_t n = 0;
};

bool parse_part(std::string_view s, size_t& i, char letter, R1C1Part& part) {
  if (i >= s.size() || std::toupper(static_cast<unsigned char>(s[i])) != letter) return true;
  size_t j = i + 1;
  part.present = true;
  if (j < s.size() && s[j] == '[') {
    size_t k = j + 1;
    if (k < s.size() && (s[k] == '-' || s[k] == '+')) ++k;
    size_t digits = k;
    while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
    if (k == digits || k >= s.size() || s[k] != ']') return false;
    part.n = std::atoi(std::string(s.substr(j + 1, k - j - 1)).c_str());
    i = k + 1;
    return true;
  }
  size_t k = j;
  while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) ++k;
  if (k > j) {
    part.absolute = true;
    part.n = std::atoi(std::string(s.substr(j, k - j)).c_str());
  }
  i = k;
  return true;
}

struct R1C1Ref {
  R1C1Part row, col;
  size_t end = 0;
};

// An R1C1 reference at i (R[-1]C2, RC, C[-5], R3, ...), not part of a name.
bool parse_r1c1(std::string_view s, size_t i, R1C1Ref& ref) {
  size_t j = i;
  if (!parse_part(s, j, 'R', ref.row)) return false;
  if (!parse_part(s, j, 'C', ref.col)) return false;
  if (!ref.row.present && !ref.col.present) return false;
  if (j < s.size() && (is_ident(s[j]) || s[j] == '(' || s[j] == '!')) return false;
  ref.end = j;
  return true;
}

int32_t resolve(const R1C1Part& p, int32_t base, int32_t max) {
  const int32_t v = p.absolute ? p.n : base + p.n;
  if (v < 1 || v > max) throw host::HostError::host(host::kRefused, "公式中的引用超出工作表范围");
  return v;
}

std::string row_text(const R1C1Part& p, int32_t v) {
  std::string out = p.absolute ? "$" : "";
  out += std::to_string(v);
  return out;
}
std::string col_text(const R1C1Part& p, int32_t v) {
  std::string out = p.absolute ? "$" : "";
  out += column_letters(v);
  return out;
}

// --- A1 -------------------------------------------------------------------------

struct A1Part {
  bool absolute = false;
  int32_t n = 0;
};

bool parse_column_part(std::string_view t, size_t& i, A1Part& p) {
  p.absolute = i < t.size() && t[i] == '$';
  if (p.absolute) ++i;
  size_t start = i;
  int64_t col = 0;
  while (i < t.size() && std::isalpha(static_cast<unsigned char>(t[i])) && i - start < 3) {
    col = col * 26 + (std::toupper(static_cast<unsigned char>(t[i])) - 'A' + 1);
    ++i;
  }
  if (i == start || col > kMaxColumns) return false;
  p.n = static_cast<int32_t>(col);
  return true;
}

bool parse_row_part(std::string_view t, size_t& i, A1Part& p) {
  p.absolute = i < t.size() && t[i] == '$';
  if (p.absolute) ++i;
  size_t start = i;
  int64_t row = 0;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) && i - start < 8) {
    row = row * 10 + (t[i] - '0');
    ++i;
  }
  if (i == start || row < 1 || row > kMaxRows) return false;
  p.n = static_cast<int32_t>(row);
  return true;
}

bool whole_token(std::string_view t, bool (*part)(std::string_view, size_t&, A1Part&), A1Part& p) {
  size_t i = 0;
  return part(t, i, p) && i == t.size();
}

bool cell_token(std::string_view t, A1Part& col, A1Part& row) {
  size_t i = 0;
  return parse_column_part(t, i, col) && parse_row_part(t, i, row) && i == t.size();
}

// Moves one part; false when it leaves the sheet.
bool move(A1Part& p, int32_t by, int32_t max) {
  if (p.absolute) return true;
  const int64_t v = static_cast<int64_t>(p.n) + by;
  if (v < 1 || v > max) return false;
  p.n = static_cast<int32_t>(v);
  return true;
}

std::string col_out(const A1Part& p) {
  std::string out = p.absolute ? "$" : "";
  out += column_letters(p.n);
  return out;
}
std::string row_out(const A1Part& p) {
  std::string out = p.absolute ? "$" : "";
  out += std::to_string(p.n);
  return out;
}

// Reads a run of reference characters (letters, digits, $) at i.
size_t token_end(std::string_view s, size_t i) {
  while (i < s.size() && (is_ident(s[i]) || s[i] == '$')) ++i;
  return i;
}

}  // namespace

std::string column_letters(int32_t column) {
  std::string out;
  while (column > 0) {
    const int32_t rem = (column - 1) % 26;
    out.insert(out.begin(), static_cast<char>('A' + rem));
    column = (column - 1) / 26;
  }
  return out;
}

std::string cell_address(int32_t row, int32_t column) {
  return column_letters(column) + std::to_string(row);
}

std::string rect_address(const host::Rect& r) {
  if (r.is_whole_columns() && !r.is_whole_rows())
    return column_letters(r.col1) + ":" + column_letters(r.col2);
  if (r.is_whole_rows() && !r.is_whole_columns())
    return std::to_string(r.row1) + ":" + std::to_string(r.row2);
  if (r.row1 == r.row2 && r.col1 == r.col2) return cell_address(r.row1, r.col1);
  return cell_address(r.row1, r.col1) + ":" + cell_address(r.row2, r.col2);
}

std::string r1c1_to_a1(std::string_view f, int32_t row, int32_t column) {
  if (!f.empty() && f.front() == '=') f.remove_prefix(1);
  std::string out;
  size_t i = 0;
  while (i < f.size()) {
    const char ch = f[i];
    if (ch == '"' || ch == '\'') {
      i = copy_quoted(f, i, out);
      continue;
    }
    const bool at_start = i == 0 || !is_ident(f[i - 1]);
    R1C1Ref ref;
    if (at_start && (ch == 'R' || ch == 'r' || ch == 'C' || ch == 'c') && parse_r1c1(f, i, ref)) {
      R1C1Ref second;
      const bool range =
          ref.end < f.size() && f[ref.end] == ':' && parse_r1c1(f, ref.end + 1, second) &&
          second.row.present == ref.row.present && second.col.present == ref.col.present;
      if (ref.row.present && ref.col.present) {
        out += col_text(ref.col, resolve(ref.col, column, kMaxColumns));
        out += row_text(ref.row, resolve(ref.row, row, kMaxRows));
        i = ref.end;
        continue;
      }
      const R1C1Ref& last = range ? second : ref;
      if (ref.col.present) {
        out += col_text(ref.col, resolve(ref.col, column, kMaxColumns)) + ":" +
               col_text(last.col, resolve(last.col, column, kMaxColumns));
      } else {
        out += row_text(ref.row, resolve(ref.row, row, kMaxRows)) + ":" +
               row_text(last.row, resolve(last.row, row, kMaxRows));
      }
      i = range ? second.end : ref.end;
      continue;
    }
    if (is_ident(ch)) {
      const size_t e = token_end(f, i);
      out.append(f.substr(i, e - i));
      i = e;
      continue;
    }
    out += ch;
    ++i;
  }
  return out;
}

std::string move_references(std::string_view s, int32_t dr, int32_t dc) {
  if (dr == 0 && dc == 0) return std::string(s);
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    const char ch = s[i];
    if (ch == '"' || ch == '\'') {
      i = copy_quoted(s, i, out);
      continue;
    }
    if (!(is_ident(ch) || ch == '$')) {
      out += ch;
      ++i;
      continue;
    }
    const size_t e = token_end(s, i);
    const std::string_view tok = s.substr(i, e - i);
    const char next = e < s.size() ? s[e] : '\0';
    if (next == '(' || next == '!') {
      out.append(tok);
      i = e;
      continue;
    }
    A1Part c, r;
    if (cell_token(tok, c, r)) {
      if (move(c, dc, kMaxColumns) && move(r, dr, kMaxRows))
        out += col_out(c) + row_out(r);
      else
        out += "#REF!";
      i = e;
      continue;
    }
    // Whole columns (A:C) and whole rows (3:5).
    if (next == ':') {
      const size_t e2 = token_end(s, e + 1);
      const std::string_view tok2 = s.substr(e + 1, e2 - e - 1);
      A1Part a, b;
      if (whole_token(tok, parse_column_part, a) && whole_token(tok2, parse_column_part, b)) {
        if (move(a, dc, kMaxColumns) && move(b, dc, kMaxColumns))
          out += col_out(a) + ":" + col_out(b);
        else
          out += "#REF!";
        i = e2;
        continue;
      }
      if (whole_token(tok, parse_row_part, a) && whole_token(tok2, parse_row_part, b)) {
        if (move(a, dr, kMaxRows) && move(b, dr, kMaxRows))
          out += row_out(a) + ":" + row_out(b);
        else
          out += "#REF!";
        i = e2;
        continue;
      }
    }
    out.append(tok);
    i = e;
  }
  return out;
}

std::string sheet_prefix(std::string_view name) {
  bool plain = !name.empty() && !std::isdigit(static_cast<unsigned char>(name.front()));
  for (char ch : name)
    plain = plain && (std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '.');
  // A plain name that also reads as a cell (A1, R1C1) needs quotes too.
  A1Part c, r;
  if (plain && cell_token(name, c, r)) plain = false;
  if (plain && (name[0] == 'R' || name[0] == 'r' || name[0] == 'C' || name[0] == 'c')) {
    R1C1Ref ref;
    if (parse_r1c1(name, 0, ref) && ref.end == name.size()) plain = false;
  }
  if (plain) return std::string(name) + "!";
  std::string out = "'";
  for (char ch : name) {
    out += ch;
    if (ch == '\'') out += '\'';
  }
  out += "'!";
  return out;
}

namespace {

// Replaces the prefix naming sheet `from` ("from!" or "'from'!") with `target`.
std::string replace_sheet_prefix(std::string_view s, std::string_view from,
                                 const std::string& target) {
  if (s.find('!') == std::string_view::npos) return std::string(s);
  std::string quoted_from = "'";
  for (char ch : from) {
    quoted_from += ch;
    if (ch == '\'') quoted_from += '\'';
  }
  quoted_from += "'!";
  const std::string plain_from = std::string(from) + "!";
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    const char ch = s[i];
    if (ch == '"') {
      i = copy_quoted(s, i, out);
      continue;
    }
    const bool at_start = i == 0 || !(is_ident(s[i - 1]) || s[i - 1] == '$');
    if (at_start && s.substr(i, quoted_from.size()) == quoted_from) {
      out += target;
      i += quoted_from.size();
      continue;
    }
    if (at_start && s.substr(i, plain_from.size()) == plain_from) {
      out += target;
      i += plain_from.size();
      continue;
    }
    if (ch == '\'') {
      i = copy_quoted(s, i, out);
      continue;
    }
    out += ch;
    ++i;
  }
  return out;
}

}  // namespace

std::string rename_sheet_references(std::string_view s, std::string_view from,
                                    std::string_view to) {
  return replace_sheet_prefix(s, from, sheet_prefix(to));
}

std::string drop_sheet_references(std::string_view s, std::string_view gone) {
  return replace_sheet_prefix(s, gone, "#REF!");
}

std::optional<CountIf> parse_countif(std::string_view s) {
  auto strip = [](std::string_view t) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    return t;
  };
  s = strip(s);
  if (!s.empty() && s.front() == '=') s = strip(s.substr(1));
  constexpr std::string_view kHead = "COUNTIF(";
  if (s.size() < kHead.size() + 1 || s.back() != ')') return std::nullopt;
  for (size_t k = 0; k < kHead.size(); ++k)
    if (std::toupper(static_cast<unsigned char>(s[k])) != kHead[k]) return std::nullopt;
  std::string_view args = s.substr(kHead.size(), s.size() - kHead.size() - 1);
  const size_t comma = args.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  std::string_view range = strip(args.substr(0, comma));
  std::string_view crit = strip(args.substr(comma + 1));
  CountIf out;
  A1Part c, r;
  if (!cell_token(crit, c, r)) return std::nullopt;
  out.criterion_row = r.n;
  out.criterion_column = c.n;
  const size_t colon = range.find(':');
  if (colon == std::string_view::npos) {
    if (!cell_token(range, c, r)) return std::nullopt;
    out.range = host::Rect::cell(r.n, c.n);
    return out;
  }
  std::string_view a = range.substr(0, colon), b = range.substr(colon + 1);
  A1Part c2, r2;
  if (whole_token(a, parse_column_part, c) && whole_token(b, parse_column_part, c2)) {
    out.range = host::Rect{1, std::min(c.n, c2.n), kMaxRows, std::max(c.n, c2.n)};
    return out;
  }
  if (whole_token(a, parse_row_part, r) && whole_token(b, parse_row_part, r2)) {
    out.range = host::Rect{std::min(r.n, r2.n), 1, std::max(r.n, r2.n), kMaxColumns};
    return out;
  }
  if (cell_token(a, c, r) && cell_token(b, c2, r2)) {
    out.range = host::Rect{std::min(r.n, r2.n), std::min(c.n, c2.n), std::max(r.n, r2.n),
                           std::max(c.n, c2.n)};
    return out;
  }
  return std::nullopt;
}

}  // namespace kelv::spreadsheet
