#include "spreadsheet/formula.h"

#include <cctype>
#include <cstdlib>

#include "host/constants.h"
#include "host/host_error.h"
#include "spreadsheet/a1.h"

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

// The end of a run of name characters and "$" from i.
size_t token_end(std::string_view s, size_t i) {
  while (i < s.size() && (is_ident(s[i]) || s[i] == '$')) ++i;
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

}  // namespace

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
  if (!parse_cell(crit, &out.criterion_row, &out.criterion_column)) return std::nullopt;
  if (!parse_range(range, &out.range)) return std::nullopt;
  return out;
}

}  // namespace kelv::spreadsheet
