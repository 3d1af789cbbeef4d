#include <algorithm>
#include <array>
#include <map>

#include "host/constants.h"
#include "host/file_path.h"
#include "readers/common.h"
#include "readers/text_table.h"

namespace kelv::readers {
namespace {

// Whether bytes without a mark look like UTF-16: text whose every other
// byte is zero.
bool looks_utf16(std::string_view b, bool little) {
  const size_t n = std::min<size_t>(b.size(), 4096) & ~size_t{1};
  if (n < 4) return false;
  size_t zeros = 0;
  for (size_t i = little ? 1 : 0; i < n; i += 2) zeros += b[i] == 0;
  return zeros * 10 >= (n / 2) * 7;
}

}  // namespace

std::string decode_text(std::string_view b, const std::string& file) {
  if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF") {
    b.remove_prefix(3);
    if (!is_valid_utf8(b)) refuse(file, "文件标明为 UTF-8 编码，但其中有无效的字节");
    return std::string(b);
  }
  if (b.size() >= 2 && b.substr(0, 2) == "\xFF\xFE") return from_utf16le(b.substr(2));
  if (b.size() >= 2 && b.substr(0, 2) == "\xFE\xFF") return from_utf16be(b.substr(2));
  if (looks_utf16(b, true)) return from_utf16le(b);
  if (looks_utf16(b, false)) return from_utf16be(b);
  if (b.find('\0') != std::string_view::npos)
    refuse(file, "不是可以识别的表格文件（既不是 Excel 工作簿，也不是文本）");
  if (is_valid_utf8(b)) return std::string(b);
  if (auto s = from_gb18030_strict(b)) return *s;
  refuse(file, "无法识别文件的文字编码（不是 UTF-8、UTF-16 或 GB18030 文本）");
}

namespace {

constexpr std::array<char, 4> kSeparators = {',', '\t', ';', '|'};

// Per candidate separator, the count in each of the first lines, outside
// quotes. The one that appears in most lines with the same count wins;
// ties go to the earlier candidate.
char sniff_separator(std::string_view text) {
  std::array<std::vector<int32_t>, 4> counts;
  std::array<int32_t, 4> current{};
  bool quoted = false;
  int32_t lines = 0;
  for (size_t i = 0; i < text.size() && lines < 50; ++i) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == '\n' || c == '\r')) {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      for (size_t k = 0; k < 4; ++k) counts[k].push_back(current[k]);
      current = {};
      ++lines;
    } else if (!quoted) {
      for (size_t k = 0; k < 4; ++k) current[k] += c == kSeparators[k];
    }
  }
  if (lines < 50) {
    for (size_t k = 0; k < 4; ++k) counts[k].push_back(current[k]);
  }
  int32_t best_score = 0;
  char best = ',';
  for (size_t k = 0; k < 4; ++k) {
    std::map<int32_t, int32_t> freq;
    for (int32_t n : counts[k])
      if (n > 0) ++freq[n];
    int32_t score = 0;
    for (const auto& [n, f] : freq) score = std::max(score, f);
    if (score > best_score) {
      best_score = score;
      best = kSeparators[k];
    }
  }
  return best;
}

}  // namespace

std::unique_ptr<spreadsheet::Workbook> read_delimited(std::string_view bytes,
                                                      const std::string& file) {
  const std::string text = decode_text(bytes, file);
  const char sep = sniff_separator(text);
  auto book = std::make_unique<spreadsheet::Workbook>();
  book->source_kind = spreadsheet::SourceKind::Text;
  auto sheet = std::make_unique<spreadsheet::Sheet>();
  sheet->name = sheet_name(*book, host::path_text(host::file_path(file).stem()));
  sheet->view.tab_selected = true;
  ReadBudget budget;
  SheetFiller fill(file, *sheet, budget);
  spreadsheet::Style date_style;
  date_style.number_format = kTextDateFormat;
  uint32_t date_id = 0;

  int32_t row = 1, col = 1;
  std::string field;
  bool quoted_field = false;
  int64_t rows_dropped = 0, cols_dropped = 0;
  auto end_field = [&]() {
    if (!field.empty()) {
      if (row > host::kMaxRows) {
        ++rows_dropped;
      } else if (col > host::kMaxColumns) {
        ++cols_dropped;
      } else {
        bool date = false;
        host::Variant v = typed_value(field, &date);
        if (date && date_id == 0) date_id = book->styles.intern(date_style);
        fill.put(row, col, v, date ? date_id : 0);
      }
    }
    field.clear();
    quoted_field = false;
    ++col;
  };
  const size_t n = text.size();
  size_t i = 0;
  bool line_has_content = false;
  while (i < n) {
    const char c = text[i];
    if (c == '"' && field.empty() && !quoted_field) {
      // A quoted field: up to the closing quote; "" is a quote.
      quoted_field = true;
      line_has_content = true;
      ++i;
      while (i < n) {
        if (text[i] == '"') {
          if (i + 1 < n && text[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') {
          field += '\n';  // a line break inside a cell is a line feed
          i += 2;
          continue;
        }
        field += text[i++];
      }
      continue;
    }
    if (c == sep) {
      end_field();
      line_has_content = true;
      ++i;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
      ++i;
      end_field();
      ++row;
      col = 1;
      line_has_content = false;
    } else {
      field += c;
      line_has_content = true;
      ++i;
    }
  }
  if (line_has_content) end_field();
  if (rows_dropped > 0)
    book->repairs.push_back("文件超过 " + std::to_string(host::kMaxRows) + " 行，其后的 " +
                            std::to_string(rows_dropped) + " 个值已略去");
  if (cols_dropped > 0)
    book->repairs.push_back("有的行超过 " + std::to_string(host::kMaxColumns) + " 列，多出的 " +
                            std::to_string(cols_dropped) + " 个值已略去");
  book->sheets.push_back(std::move(sheet));
  return book;
}

}  // namespace kelv::readers
