#include "xlsx/row_splitter.h"

#include <algorithm>
#include <cstring>

#include "host/constants.h"
#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

// The element name of a tag's text ("<name ...>", "</name>").
std::string_view tag_name(std::string_view tag) {
  size_t i = tag.size() > 1 && tag[1] == '/' ? 2 : 1;
  size_t j = i;
  while (j < tag.size() && !xml_space(tag[j]) && tag[j] != '/' && tag[j] != '>') ++j;
  return tag.substr(i, j - i);
}

}  // namespace

RowSplitter::RowSplitter(std::function<void(std::string_view)> sheet,
                         std::function<void(Segment&&)> segment, size_t segment_bytes)
    : sheet_(std::move(sheet)), segment_(std::move(segment)), segment_bytes_(segment_bytes) {}

void RowSplitter::pass(std::string_view bytes) {
  if (!bytes.empty()) sheet_(bytes);
}

void RowSplitter::feed(std::string_view bytes) {
  if (mode_ == Mode::After || mode_ == Mode::Whole) return pass(bytes);
  const size_t from = held_.size();
  held_.append(bytes);
  if (mode_ == Mode::Start) {
    if (held_.size() < 4) return;
    const auto b0 = static_cast<unsigned char>(held_[0]), b1 = static_cast<unsigned char>(held_[1]);
    // UTF-16 (a byte order mark or a zero byte early on) is not cut.
    if ((b0 == 0xFE && b1 == 0xFF) || (b0 == 0xFF && b1 == 0xFE) ||
        std::memchr(held_.data(), 0, 4) != nullptr) {
      mode_ = Mode::Whole;
      pass(held_);
      held_.clear();
      return;
    }
    mode_ = Mode::Before;
    step(0);
    return;
  }
  step(from);
}

void RowSplitter::finish() {
  if (mode_ == Mode::Rows) {
    // Rows that never end: the sheet side reports the document as it is.
    split_ = false;
  }
  if (mode_ != Mode::After && mode_ != Mode::Whole) pass(held_);
  held_.clear();
  mode_ = Mode::After;
}

void RowSplitter::cut(size_t at) {
  Segment s;
  s.xml.assign(held_, 0, at);
  s.first_row = segment_row_;
  held_.erase(0, at);
  tag_start_ -= at;
  tag_ended_at_ -= at;
  segment_(std::move(s));
}

void RowSplitter::step(size_t from) {
  for (size_t i = from; i < held_.size(); ++i) {
    const char c = held_[i];
    switch (lex_) {
      case Lex::Text: {
        // A search of bytes, not of a C string.
        // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
        const void* lt = std::memchr(held_.data() + i, '<', held_.size() - i);
        if (!lt) return;
        i = static_cast<size_t>(static_cast<const char*>(lt) - held_.data());
        tag_start_ = i;
        lex_ = Lex::Open;
        break;
      }
      case Lex::Open:
        if (c == '/') {
          end_tag_ = true;
          quote_ = 0;
          lex_ = Lex::Tag;
        } else if (c == '!') {
          bang_.clear();
          lex_ = Lex::Bang;
        } else if (c == '?') {
          marks_ = 0;
          lex_ = Lex::Pi;
        } else {
          end_tag_ = false;
          quote_ = 0;
          lex_ = Lex::Tag;
          if (c == '>') --i;  // "<>": let the tag end at once
        }
        break;
      case Lex::Tag:
        if (quote_) {
          // To the closing quote at once (bytes, not a C string).
          // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
          const void* q = std::memchr(held_.data() + i, quote_, held_.size() - i);
          if (!q) return;
          i = static_cast<size_t>(static_cast<const char*>(q) - held_.data());
          quote_ = 0;
        } else if (c != '"' && c != '\'' && c != '>') {
          // To the next quote or '>' at once (the buffer ends in a NUL).
          const char* q = std::strpbrk(held_.data() + i, "\"'>");
          if (!q || q >= held_.data() + held_.size()) return;
          i = static_cast<size_t>(q - held_.data()) - 1;  // the loop steps onto it
        } else if (c == '"' || c == '\'') {
          quote_ = c;
        } else {
          lex_ = Lex::Text;
          tag_ended_at_ = i + 1;
          tag_ended();
          if (mode_ == Mode::After || mode_ == Mode::Whole) return;
          // A cut or a hand-over may have removed what came before.
          i = tag_ended_at_ - 1;
        }
        break;
      case Lex::Bang:
        bang_.push_back(c);
        if (bang_ == "--") {
          marks_ = 0;
          lex_ = Lex::Comment;
        } else if (bang_ == "[CDATA[") {
          marks_ = 0;
          lex_ = Lex::CData;
        } else if (c == '>') {
          lex_ = Lex::Text;
        } else if (std::string_view("--").substr(0, bang_.size()) != bang_ &&
                   std::string_view("[CDATA[").substr(0, bang_.size()) != bang_) {
          lex_ = Lex::Decl;
        }
        break;
      case Lex::Comment:
      case Lex::CData: {
        const char mark = lex_ == Lex::Comment ? '-' : ']';
        if (c == mark) {
          ++marks_;
        } else {
          if (c == '>' && marks_ >= 2) lex_ = Lex::Text;
          marks_ = 0;
        }
        break;
      }
      case Lex::Pi:
        if (c == '?') {
          marks_ = 1;
        } else {
          if (c == '>' && marks_) {
            lex_ = Lex::Text;
            const std::string_view pi(held_.data() + tag_start_, i + 1 - tag_start_);
            if (mode_ == Mode::Before && root_name_.empty() && pi.substr(0, 6) == "<?xml " &&
                declaration_.empty()) {
              declaration_ = std::string(pi);
              if (declares_other_encoding(pi)) {
                mode_ = Mode::Whole;
                pass(held_);
                held_.clear();
                return;
              }
            }
          }
          marks_ = 0;
        }
        break;
      case Lex::Decl:
        if (c == '>') lex_ = Lex::Text;
        break;
      case Lex::SkipRow: {
        // Where the last look stopped, less what "</row" could straddle.
        const size_t next = skip_row(std::max(i >= 5 ? i - 5 : 0, row_content_));
        if (next == std::string_view::npos) return;
        i = next - 1;  // the loop steps onto it
        break;
      }
    }
  }
}

void RowSplitter::tag_ended() {
  const size_t end = tag_ended_at_;
  const std::string_view tag(held_.data() + tag_start_, end - tag_start_);
  if (end_tag_) {
    --depth_;
    if (mode_ == Mode::Rows && depth_ < 0) {
      // sheetData's end tag: the last segment, then the rest of the sheet.
      if (tag_start_ > 0) cut(tag_start_);
      mode_ = Mode::After;
      pass(held_);
      held_.clear();
    }
    return;
  }
  const bool empty = end >= 2 && held_[end - 2] == '/';
  const std::string_view name = tag_name(tag);
  if (mode_ == Mode::Before) {
    if (depth_ == 0 && root_name_.empty()) {
      root_tag_ = std::string(tag);
      root_name_ = std::string(name);
    } else if (depth_ == 1 &&
               (name == "sheetData" ||
                (name.size() > 10 && name.substr(name.size() - 10) == ":sheetData"))) {
      if (empty || name != "sheetData") {
        // Nothing to cut, or a prefix the segments' wrapping would not know.
        mode_ = Mode::Whole;
        pass(held_);
        held_.clear();
        return;
      }
      data_tag_ = std::string(tag);
      pass(std::string_view(held_).substr(0, end));
      held_.erase(0, end);
      tag_ended_at_ = 0;
      mode_ = Mode::Rows;
      depth_ = 0;
      split_ = true;
      return;
    }
    if (!empty) ++depth_;
    return;
  }
  // In the rows.
  int32_t row = 0;
  const bool is_row = depth_ == 0 && name == "row";
  if (is_row && tag_start_ >= segment_bytes_ && explicit_row(tag, &row)) {
    cut(tag_start_);
    segment_row_ = row;
  }
  if (empty) return;
  ++depth_;
  if (is_row) {
    // The row's content need not be lexed tag by tag: see Lex::SkipRow.
    row_content_ = tag_ended_at_;
    lex_ = Lex::SkipRow;
  }
}

// Looks for the end of the row whose content starts at row_content_. Text
// and attribute values hold no '<', so the first "</row" closes this row or
// one nested in it (which the parse then refuses) unless a comment, CDATA
// section or processing instruction comes first; then the row is lexed
// like the rest.
size_t RowSplitter::skip_row(size_t i) {
  const std::string_view all(held_);
  for (;;) {
    const size_t k = all.find("</row", i);
    if (k == std::string_view::npos || k + 5 >= all.size()) {
      return std::string_view::npos;  // more bytes needed
    }
    const char next = all[k + 5];
    if (next != '>' && !xml_space(next)) {
      i = k + 5;  // another element, "</rowX"
      continue;
    }
    const std::string_view content = all.substr(row_content_, k - row_content_);
    if (content.find("<!") != std::string_view::npos ||
        content.find("<?") != std::string_view::npos) {
      lex_ = Lex::Text;
      return row_content_;  // lexed from the row's start like any other
    }
    const size_t close = all.find('>', k + 5);
    if (close == std::string_view::npos) return std::string_view::npos;
    --depth_;
    lex_ = Lex::Text;
    return close + 1;
  }
}

bool RowSplitter::explicit_row(std::string_view tag, int32_t* row) {
  size_t i = 1 + tag_name(tag).size();
  while (i < tag.size()) {
    while (i < tag.size() && xml_space(tag[i])) ++i;
    const size_t name_start = i;
    while (i < tag.size() && !xml_space(tag[i]) && tag[i] != '=' && tag[i] != '>' && tag[i] != '/')
      ++i;
    const std::string_view name = tag.substr(name_start, i - name_start);
    while (i < tag.size() && xml_space(tag[i])) ++i;
    if (i >= tag.size() || tag[i] != '=') return false;
    ++i;
    while (i < tag.size() && xml_space(tag[i])) ++i;
    if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) return false;
    const size_t close = tag.find(tag[i], i + 1);
    if (close == std::string_view::npos) return false;
    const std::string_view value = tag.substr(i + 1, close - i - 1);
    i = close + 1;
    if (name != "r") continue;
    if (value.empty() || value.size() > 7) return false;
    int32_t v = 0;
    for (char d : value) {
      if (d < '0' || d > '9') return false;
      v = v * 10 + (d - '0');
    }
    if (v < 1 || v > host::kMaxRows) return false;
    *row = v;
    return true;
  }
  return false;
}

}  // namespace kelv::xlsx
