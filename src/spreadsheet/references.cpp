#include "spreadsheet/references.h"

#include "host/constants.h"
#include "spreadsheet/a1.h"

namespace kelv::spreadsheet {
namespace {

using host::kMaxColumns;
using host::kMaxRows;

// Characters of names, numbers and references ("$" aside).
bool is_name_char(char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
         ch == '_' || ch == '.' || ch == '\\' || static_cast<unsigned char>(ch) >= 0x80;
}

// The end of a run of name characters and "$" from i.
size_t token_end(std::string_view s, size_t i) {
  while (i < s.size() && (is_name_char(s[i]) || s[i] == '$')) ++i;
  return i;
}

// The end of the quoted text ("..." or '...') that starts at i; a doubled
// quote inside does not end it.
size_t quoted_end(std::string_view s, size_t i) {
  const char q = s[i++];
  while (i < s.size()) {
    if (s[i] == q) {
      if (i + 1 < s.size() && s[i + 1] == q) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return i;
}

// The end of the bracketed part that starts at i, nested brackets included
// ("[[#This Row],[A1]]"); inside, "'" takes the next character literally
// ("[It''s]", "[a']b]").
size_t bracket_end(std::string_view s, size_t i) {
  int depth = 0;
  for (; i < s.size(); ++i) {
    if (s[i] == '\'') {
      ++i;
    } else if (s[i] == '[') {
      ++depth;
    } else if (s[i] == ']' && --depth == 0) {
      return i + 1;
    }
  }
  return s.size();
}

// One part of a reference moved by `by`; false when it leaves the sheet.
bool move_part(int32_t& n, bool absolute, int32_t by, int32_t max) {
  if (absolute) return true;
  const int64_t v = int64_t{n} + by;
  if (v < 1 || v > max) return false;
  n = static_cast<int32_t>(v);
  return true;
}

void append_cell(std::string& out, const CellRef& c) {
  if (c.column_absolute) out += '$';
  append_column_letters(out, c.column);
  if (c.row_absolute) out += '$';
  out += std::to_string(c.row);
}

bool move_cell(CellRef& c, int32_t rows, int32_t columns) {
  return move_part(c.column, c.column_absolute, columns, kMaxColumns) &&
         move_part(c.row, c.row_absolute, rows, kMaxRows);
}

// A range of whole lines "a:b" moved by `by`; appends it, or #REF! when it
// leaves the sheet.
void append_lines(std::string& out, LineRef a, LineRef b, int32_t by, int32_t max, bool columns) {
  if (!move_part(a.n, a.absolute, by, max) || !move_part(b.n, b.absolute, by, max)) {
    out += "#REF!";
    return;
  }
  for (const LineRef* l : {&a, &b}) {
    if (l == &b) out += ':';
    if (l->absolute) out += '$';
    if (columns)
      append_column_letters(out, l->n);
    else
      out += std::to_string(l->n);
  }
}

}  // namespace

std::string move_references(std::string_view s, int32_t rows, int32_t columns) {
  if (rows == 0 && columns == 0) return std::string(s);
  std::string out;
  out.reserve(s.size() + 8);
  size_t i = 0;
  while (i < s.size()) {
    const char ch = s[i];
    if (ch == '"' || ch == '\'' || ch == '[') {
      const size_t e = ch == '[' ? bracket_end(s, i) : quoted_end(s, i);
      out.append(s.substr(i, e - i));
      i = e;
      continue;
    }
    if (!(is_name_char(ch) || ch == '$')) {
      out += ch;
      ++i;
      continue;
    }
    const size_t e = token_end(s, i);
    const std::string_view tok = s.substr(i, e - i);
    const char next = e < s.size() ? s[e] : '\0';
    // A function ("LOG10("), a sheet ("A1!") or a table ("T1[").
    if (next == '(' || next == '!' || next == '[') {
      out.append(tok);
      i = e;
      continue;
    }
    if (next == ':') {
      const size_t e2 = token_end(s, e + 1);
      const std::string_view tok2 = s.substr(e + 1, e2 - e - 1);
      if (e2 < s.size() && s[e2] == '!') {  // sheets "S1:S3!" of a 3-D reference
        out.append(s.substr(i, e2 - i));
        i = e2;
        continue;
      }
      CellRef p, q;
      LineRef a, b;
      bool pair = true;
      if (parse_cell(tok, &p) && parse_cell(tok2, &q)) {
        if (move_cell(p, rows, columns) && move_cell(q, rows, columns)) {
          append_cell(out, p);
          out += ':';
          append_cell(out, q);
        } else {
          out += "#REF!";
        }
      } else if (parse_column_line(tok, &a) && parse_column_line(tok2, &b)) {
        append_lines(out, a, b, columns, kMaxColumns, true);
      } else if (parse_row_line(tok, &a) && parse_row_line(tok2, &b)) {
        append_lines(out, a, b, rows, kMaxRows, false);
      } else {
        pair = false;
      }
      if (pair) {
        i = e2;
        continue;
      }
    }
    CellRef c;
    if (parse_cell(tok, &c)) {
      if (move_cell(c, rows, columns))
        append_cell(out, c);
      else
        out += "#REF!";
    } else {
      out.append(tok);
    }
    i = e;
  }
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
    if (ch == '"' || ch == '[') {
      const size_t e = ch == '[' ? bracket_end(s, i) : quoted_end(s, i);
      out.append(s.substr(i, e - i));
      i = e;
      continue;
    }
    // A sheet of another book ("[1]MBB!A1") is not this book's.
    const bool at_start = i == 0 || !(is_name_char(s[i - 1]) || s[i - 1] == '$' || s[i - 1] == ']');
    const std::string* prefix = nullptr;
    if (at_start && s.substr(i).starts_with(quoted_from)) prefix = &quoted_from;
    if (at_start && s.substr(i).starts_with(plain_from)) prefix = &plain_from;
    if (prefix != nullptr) {
      out += target;
      i += prefix->size();
      continue;
    }
    if (ch == '\'') {
      const size_t e = quoted_end(s, i);
      out.append(s.substr(i, e - i));
      i = e;
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

}  // namespace kelv::spreadsheet
