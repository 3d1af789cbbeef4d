#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

#include "host/constants.h"
#include "host/file_path.h"
#include "readers/common.h"
#include "readers/text_table.h"

namespace kelv::readers {
namespace {

// Character references and the common named entities.
std::string decode_entities(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '&') {
      out += s[i];
      continue;
    }
    const size_t semi = s.find(';', i + 1);
    if (semi == std::string_view::npos || semi - i > 10) {
      out += '&';
      continue;
    }
    const std::string name(s.substr(i + 1, semi - i - 1));
    uint32_t cp = 0;
    if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      char* end = nullptr;
      const unsigned long v = std::strtoul(name.c_str() + (hex ? 2 : 1), &end, hex ? 16 : 10);
      if (!end || *end) {
        out += '&';
        continue;
      }
      cp = static_cast<uint32_t>(std::min<unsigned long>(v, 0x110000));
    } else if (name == "amp") {
      cp = '&';
    } else if (name == "lt") {
      cp = '<';
    } else if (name == "gt") {
      cp = '>';
    } else if (name == "quot") {
      cp = '"';
    } else if (name == "apos") {
      cp = '\'';
    } else if (name == "nbsp") {
      cp = 0xA0;
    } else {
      out += '&';
      continue;
    }
    append_utf8(out, cp == 0 ? 0xFFFD : cp);
    i = semi;
  }
  return out;
}

// Runs of white space as one space (a no-break space as a space), trimmed;
// line breaks the page asked for (<br>) are kept as "\n".
std::string tidy(std::string_view raw) {
  std::string out;
  bool space = false;
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '\x01') {  // a <br>
      while (!out.empty() && out.back() == ' ') out.pop_back();
      out += '\n';
      space = false;
      continue;
    }
    const bool ws = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
    const bool nbsp = c == '\xC2' && i + 1 < raw.size() && raw[i + 1] == '\xA0';
    if (ws || nbsp) {
      if (nbsp) ++i;
      space = true;
      continue;
    }
    if (space && !out.empty() && out.back() != '\n') out += ' ';
    space = false;
    out += c;
  }
  // A break that ends or begins the cell only spaces it out.
  const size_t b = out.find_first_not_of("\n ");
  if (b == std::string::npos) return {};
  out.erase(0, b);
  out.erase(out.find_last_not_of("\n ") + 1);
  return out;
}

struct Tag {
  std::string name;  // lower case, "/name" for a closing tag
  std::string attrs;
};

std::string attribute(const std::string& attrs, std::string_view name) {
  const std::string low = lower_ascii(attrs);
  size_t at = 0;
  while ((at = low.find(name, at)) != std::string::npos) {
    const bool starts = at == 0 || std::isspace(static_cast<unsigned char>(low[at - 1]));
    size_t i = at + name.size();
    while (i < low.size() && std::isspace(static_cast<unsigned char>(low[i]))) ++i;
    if (!starts || i >= low.size() || low[i] != '=') {
      at += name.size();
      continue;
    }
    ++i;
    while (i < low.size() && std::isspace(static_cast<unsigned char>(low[i]))) ++i;
    if (i < low.size() && (low[i] == '"' || low[i] == '\'')) {
      const size_t end = low.find(low[i], i + 1);
      return attrs.substr(i + 1, (end == std::string::npos ? low.size() : end) - i - 1);
    }
    size_t end = i;
    while (end < low.size() && !std::isspace(static_cast<unsigned char>(low[end])) &&
           low[end] != '>')
      ++end;
    return attrs.substr(i, end - i);
  }
  return {};
}

class HtmlReader {
 public:
  HtmlReader(std::string text, const std::string& file) : text_(std::move(text)), file_(file) {}

  std::unique_ptr<spreadsheet::Workbook> run() {
    book_ = std::make_unique<spreadsheet::Workbook>();
    book_->source_kind = spreadsheet::SourceKind::Html;
    const std::string stem = host::path_text(host::file_path(file_).stem());
    size_t i = 0;
    int32_t depth = 0;  // tables open
    const size_t n = text_.size();
    while (i < n) {
      if (text_[i] != '<') {
        if (depth > 0 && in_cell_) cell_ += text_[i];
        ++i;
        continue;
      }
      if (text_.compare(i, 4, "<!--") == 0) {
        const size_t end = text_.find("-->", i + 4);
        i = end == std::string::npos ? n : end + 3;
        continue;
      }
      size_t end = i + 1;
      char quote = 0;
      while (end < n && (quote || text_[end] != '>')) {
        if (quote && text_[end] == quote) {
          quote = 0;
        } else if (!quote && (text_[end] == '"' || text_[end] == '\'')) {
          quote = text_[end];
        }
        ++end;
      }
      Tag tag = parse_tag(std::string_view(text_).substr(i + 1, end - i - 1));
      i = end < n ? end + 1 : n;
      if (tag.name == "script" || tag.name == "style") {
        i = find_closing(i, tag.name);
        continue;
      }
      if (tag.name == "table") {
        if (++depth == 1) begin_table(stem);
        if (depth > 100) refuse(file_, "网页中的表格嵌套过深");
      } else if (tag.name == "/table") {
        if (depth == 1) end_table();
        if (depth > 0) --depth;
      } else if (depth == 1 && tag.name == "tr") {
        end_cell();
        row_ = std::min(row_ + 1, host::kMaxRows + 1);
        col_ = 1;
      } else if (depth == 1 && (tag.name == "td" || tag.name == "th")) {
        end_cell();
        begin_cell(tag);
      } else if (depth == 1 && (tag.name == "/td" || tag.name == "/th" || tag.name == "/tr")) {
        end_cell();
      } else if (depth >= 1 && in_cell_ &&
                 (tag.name == "br" || tag.name == "br/" || tag.name == "/p" ||
                  tag.name == "/div")) {
        cell_ += '\x01';
      }
    }
    if (depth > 0) end_table();
    if (book_->sheets.empty()) refuse(file_, "网页中没有表格");
    book_->sheets[0]->view.tab_selected = true;
    return std::move(book_);
  }

 private:
  static Tag parse_tag(std::string_view body) {
    Tag t;
    size_t k = 0;
    if (k < body.size() && body[k] == '/') t.name += body[k++];
    while (k < body.size() && (std::isalnum(static_cast<unsigned char>(body[k])) || body[k] == ':'))
      t.name += static_cast<char>(std::tolower(static_cast<unsigned char>(body[k++])));
    if (!body.empty() && body.back() == '/' && t.name == "br") t.name = "br";
    t.attrs = std::string(body.substr(k));
    return t;
  }

  // Where "</name" starts, case aside, from `from`; the end when missing.
  size_t find_closing(size_t from, const std::string& name) const {
    const std::string close = "</" + name;
    for (size_t at = text_.find("</", from); at != std::string::npos;
         at = text_.find("</", at + 2)) {
      if (lower_ascii(std::string_view(text_).substr(at, close.size())) == close) return at;
    }
    return text_.size();
  }

  void begin_table(const std::string& stem) {
    if (book_->sheets.size() >= kMaxSheets)
      refuse(file_, "网页中的表格超过 " + std::to_string(kMaxSheets) + " 个，不予读取");
    sheet_ = std::make_unique<spreadsheet::Sheet>();
    sheet_->name = sheet_name(
        *book_, book_->sheets.empty() ? stem : "Sheet" + std::to_string(book_->sheets.size() + 1));
    fill_ = std::make_unique<SheetFiller>(file_, *sheet_, budget_);
    row_ = 0;
    col_ = 1;
    taken_.clear();
  }
  void end_table() {
    end_cell();
    spreadsheet::keep_disjoint_merges(*sheet_);
    fill_.reset();
    book_->sheets.push_back(std::move(sheet_));
  }

  void begin_cell(const Tag& tag) {
    if (row_ == 0) row_ = 1;
    while (col_ <= host::kMaxColumns && taken_.count({row_, col_})) ++col_;
    in_cell_ = true;
    cell_.clear();
    const std::string style =
        lower_ascii(attribute(tag.attrs, "style") + " " + attribute(tag.attrs, "class"));
    const size_t mso = style.find("mso-number-format");
    as_text_ = (mso != std::string::npos && style.find('@', mso) != std::string::npos) ||
               lower_ascii(tag.attrs).find("x:str") != std::string::npos;
    // LibreOffice writes the exact value and its format beside the text shown.
    sdval_ = attribute(tag.attrs, "sdval");
    sdnum_ = attribute(tag.attrs, "sdnum");
    span_cols_ = std::clamp(std::atoi(attribute(tag.attrs, "colspan").c_str()), 1, 1000);
    span_rows_ = std::clamp(std::atoi(attribute(tag.attrs, "rowspan").c_str()), 1, 10000);
  }

  void end_cell() {
    if (!in_cell_) return;
    in_cell_ = false;
    const std::string value = tidy(decode_entities(cell_));
    if (!value.empty() && row_ <= host::kMaxRows && col_ <= host::kMaxColumns) {
      bool date = false;
      host::Variant v = as_text_ ? host::Variant(value) : typed_value(value, &date);
      uint32_t style = 0;
      char* end = nullptr;
      const double exact = sdval_.empty() ? 0 : std::strtod(sdval_.c_str(), &end);
      const size_t code_at = sdnum_.find(';', sdnum_.find(';') + 1);
      if (!as_text_ && !sdval_.empty() && end && !*end && std::isfinite(exact) && v.is_number()) {
        v = exact;
        if (sdnum_.find(';') != std::string::npos && code_at != std::string::npos &&
            code_at + 1 < sdnum_.size()) {
          spreadsheet::Style s;
          s.number_format = decode_entities(sdnum_.substr(code_at + 1));
          style = book_->styles.intern(s);
          date = false;
        }
      }
      if (style != 0) {
      } else if (date) {
        spreadsheet::Style s;
        s.number_format = kTextDateFormat;
        style = book_->styles.intern(s);
      } else if (as_text_) {
        spreadsheet::Style s;
        s.number_format = "@";
        style = book_->styles.intern(s);
      }
      fill_->put(row_, col_, v, style);
    }
    if ((span_cols_ > 1 || span_rows_ > 1) && row_ <= host::kMaxRows && col_ <= host::kMaxColumns) {
      const int32_t r2 = std::min(row_ + span_rows_ - 1, host::kMaxRows);
      const int32_t c2 = std::min(col_ + span_cols_ - 1, host::kMaxColumns);
      if (sheet_->merges.size() < kMaxMergesPerSheet)
        sheet_->merges.push_back({row_, col_, r2, c2});
      // The cells a rowspan covers below are skipped by the rows there.
      const int64_t covered = static_cast<int64_t>(r2 - row_) * (c2 - col_ + 1);
      if (covered > 0 && taken_.size() + static_cast<size_t>(covered) <= 1'000'000) {
        for (int32_t r = row_ + 1; r <= r2; ++r)
          for (int32_t c = col_; c <= c2; ++c) taken_.insert({r, c});
      }
    }
    col_ = std::min(col_ + span_cols_, host::kMaxColumns + 1);
  }

  std::string text_;
  const std::string& file_;
  std::unique_ptr<spreadsheet::Workbook> book_;
  std::unique_ptr<spreadsheet::Sheet> sheet_;
  std::unique_ptr<SheetFiller> fill_;
  ReadBudget budget_;
  int32_t row_ = 0, col_ = 1;
  bool in_cell_ = false;
  bool as_text_ = false;
  int32_t span_cols_ = 1, span_rows_ = 1;
  std::string cell_;
  std::string sdval_, sdnum_;
  std::set<std::pair<int32_t, int32_t>> taken_;  // cells covered by a rowspan from above
};

// The charset a page declares in its first bytes ("" when none).
std::string declared_charset(std::string_view bytes) {
  const std::string head = lower_ascii(bytes.substr(0, 4096));
  const size_t at = head.find("charset=");
  if (at == std::string::npos) return {};
  size_t i = at + 8;
  while (i < head.size() && (head[i] == '"' || head[i] == '\'' || head[i] == ' ')) ++i;
  size_t end = i;
  while (end < head.size() && (std::isalnum(static_cast<unsigned char>(head[end])) ||
                               head[end] == '-' || head[end] == '_'))
    ++end;
  return head.substr(i, end - i);
}

}  // namespace

std::unique_ptr<spreadsheet::Workbook> read_html(std::string_view bytes, const std::string& file) {
  std::string text;
  const std::string charset = declared_charset(bytes);
  const bool marked = bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF" ||
                      bytes.substr(0, 3) == "\xEF\xBB\xBF";
  if (!marked && (charset == "gb2312" || charset == "gbk" || charset == "gb18030")) {
    text = from_code_page(bytes, 936);
  } else {
    text = decode_text(bytes, file);
  }
  return HtmlReader(std::move(text), file).run();
}

}  // namespace kelv::readers
