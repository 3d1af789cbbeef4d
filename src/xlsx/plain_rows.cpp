#include "xlsx/plain_rows.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

// More attributes than any producer writes on a row or a cell.
constexpr size_t kMaxAttributes = 24;

bool name_start(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool name_char(char c) {
  return name_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
// A byte an attribute value holds as it stands: printable ASCII, no markup
// and no reference. (Other white space than ' ' would be normalised.)
bool plain_in_value(char c) {
  return c >= 0x20 && c < 0x7f && c != '<' && c != '&';
}
// A byte of a value's text that reads as itself: printable ASCII, tab and
// line feed; no markup, no reference, and no ']' (which could begin the
// "]]>" text may not hold). A carriage return would be normalised.
bool plain_in_text(char c) {
  return (c >= 0x20 && c < 0x7f && c != '<' && c != '&' && c != ']') || c == '\t' || c == '\n';
}

class Scanner {
 public:
  explicit Scanner(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

  bool at_end() const { return p_ == end_; }

  void skip_space() {
    while (p_ < end_ && xml_space(*p_)) ++p_;
  }

  // "<name" with nothing of the name left over; moves past it.
  bool open(std::string_view name) {
    const auto left = static_cast<size_t>(end_ - p_);
    if (left < name.size() + 2 || p_[0] != '<' ||
        std::memcmp(p_ + 1, name.data(), name.size()) != 0)
      return false;
    const char after = p_[1 + name.size()];
    if (name_char(after) || after == ':') return false;
    p_ += 1 + name.size();
    return true;
  }

  // "</name>", white space allowed before the '>'; moves past it.
  bool close(std::string_view name) {
    const auto left = static_cast<size_t>(end_ - p_);
    if (left < name.size() + 3 || p_[0] != '<' || p_[1] != '/' ||
        std::memcmp(p_ + 2, name.data(), name.size()) != 0)
      return false;
    const char* q = p_ + 2 + name.size();
    while (q < end_ && xml_space(*q)) ++q;
    if (q == end_ || *q != '>') return false;
    p_ = q + 1;
    return true;
  }

  // Any "<name", for the document's start tags.
  bool open_any() {
    if (p_ == end_ || *p_ != '<') return false;
    ++p_;
    std::string_view n;
    return this->name(&n);
  }

  // The rest of a start tag after its name: its attributes, then '>' or
  // "/>" (`empty`).
  bool attributes(bool* empty) {
    count_ = 0;
    for (;;) {
      const char* before = p_;
      skip_space();
      if (p_ == end_) return false;
      if (*p_ == '>') {
        ++p_;
        *empty = false;
        return true;
      }
      if (*p_ == '/') {
        if (end_ - p_ < 2 || p_[1] != '>') return false;
        p_ += 2;
        *empty = true;
        return true;
      }
      if (p_ == before || count_ == kMaxAttributes) return false;  // attributes are spaced apart
      Attribute& a = found_[count_];
      if (!name(&a.name)) return false;
      skip_space();
      if (p_ == end_ || *p_ != '=') return false;
      ++p_;
      skip_space();
      if (p_ == end_ || (*p_ != '"' && *p_ != '\'')) return false;
      const char quote = *p_++;
      const char* v = p_;
      while (p_ < end_ && *p_ != quote) {
        if (!plain_in_value(*p_)) return false;
        ++p_;
      }
      if (p_ == end_) return false;
      a.value = std::string_view(v, static_cast<size_t>(p_ - v));
      ++p_;
      ++count_;
    }
  }

  // Whether the attributes just read are what the parser accepts without
  // any doubt: no namespace declared, every prefix bound, none repeated.
  bool attributes_sound(const std::vector<std::string_view>& bound) const {
    for (size_t i = 0; i < count_; ++i) {
      const std::string_view n = found_[i].name;
      const size_t colon = n.find(':');
      const std::string_view prefix = colon == std::string_view::npos ? "" : n.substr(0, colon);
      if (n == "xmlns" || prefix == "xmlns") return false;
      if (!prefix.empty() && prefix != "xml" &&
          std::find(bound.begin(), bound.end(), prefix) == bound.end())
        return false;
      for (size_t j = 0; j < i; ++j) {
        const std::string_view m = found_[j].name;
        if (m == n) return false;
        // Two prefixes may name one namespace: a local name twice is left
        // to the parser.
        const size_t other = m.find(':');
        if (colon != std::string_view::npos && other != std::string_view::npos &&
            m.substr(other) == n.substr(colon))
          return false;
      }
    }
    return true;
  }

  // The namespace prefixes the attributes just read declare.
  void declarations(std::vector<std::string_view>& out) const {
    for (size_t i = 0; i < count_; ++i) {
      const std::string_view n = found_[i].name;
      if (n.substr(0, 6) == "xmlns:") out.push_back(n.substr(6));
    }
  }

  // The unprefixed attributes just read, as the parser hands them over.
  const char** atts() {
    size_t need = 0;
    for (size_t i = 0; i < count_; ++i) need += found_[i].name.size() + found_[i].value.size() + 2;
    scratch_.clear();
    scratch_.reserve(need);
    std::array<size_t, 2 * kMaxAttributes> at{};
    size_t n = 0;
    for (size_t i = 0; i < count_; ++i) {
      const Attribute& a = found_[i];
      if (a.name.find(':') != std::string_view::npos) continue;
      at[n++] = scratch_.size();
      scratch_.append(a.name).push_back('\0');
      at[n++] = scratch_.size();
      scratch_.append(a.value).push_back('\0');
    }
    for (size_t i = 0; i < n; ++i) atts_[i] = scratch_.data() + at[i];
    atts_[n] = nullptr;
    return atts_.data();
  }

  // A value's text, up to the '<' after it.
  bool text(std::string_view* out) {
    const char* t = p_;
    while (p_ < end_ && *p_ != '<') {
      if (!plain_in_text(*p_)) return false;
      ++p_;
    }
    if (p_ == end_) return false;
    *out = std::string_view(t, static_cast<size_t>(p_ - t));
    return true;
  }

  // Past a processing instruction (the XML declaration).
  bool skip_instruction() {
    if (end_ - p_ < 2 || p_[0] != '<' || p_[1] != '?') return false;
    const std::string_view rest(p_, static_cast<size_t>(end_ - p_));
    const size_t e = rest.find("?>");
    if (e == std::string_view::npos) return false;
    p_ += e + 2;
    return true;
  }

 private:
  // An XML name in ASCII, with at most one ':' inside it.
  bool name(std::string_view* out) {
    const char* n = p_;
    if (p_ == end_ || !name_start(*p_)) return false;
    bool colon = false;
    while (p_ < end_ && (name_char(*p_) || *p_ == ':')) {
      if (*p_ == ':') {
        if (colon || p_ + 1 == end_ || !name_start(p_[1])) return false;
        colon = true;
      }
      ++p_;
    }
    *out = std::string_view(n, static_cast<size_t>(p_ - n));
    return true;
  }

  struct Attribute {
    std::string_view name, value;
  };

  const char* p_;
  const char* end_;
  std::array<Attribute, kMaxAttributes> found_{};
  size_t count_ = 0;
  std::string scratch_;
  std::array<const char*, 2 * kMaxAttributes + 1> atts_{};
};

// The prefixes the document's start tags declare; false when they are not
// plain enough to tell.
bool bound_prefixes(std::string_view start_tags, std::vector<std::string_view>& bound) {
  Scanner s(start_tags);
  for (;;) {
    s.skip_space();
    if (s.at_end()) return true;
    if (s.skip_instruction()) continue;
    bool empty = false;
    if (!s.open_any() || !s.attributes(&empty) || empty) return false;
    s.declarations(bound);
  }
}

}  // namespace

bool read_plain_rows(std::string_view start_tags, std::string_view rows,
                     PlainRowsHandler& handler) {
  std::vector<std::string_view> bound;
  if (!bound_prefixes(start_tags, bound)) return false;
  Scanner s(rows);
  bool empty = false;
  for (;;) {
    s.skip_space();
    if (s.at_end()) return true;
    if (!s.open("row") || !s.attributes(&empty) || !s.attributes_sound(bound) ||
        !handler.row(s.atts()))
      return false;
    if (empty) continue;
    for (;;) {
      s.skip_space();
      if (s.close("row")) break;
      if (!s.open("c") || !s.attributes(&empty) || !s.attributes_sound(bound) ||
          !handler.cell(s.atts()))
        return false;
      while (!empty) {
        s.skip_space();
        if (s.close("c")) break;
        bool bare = false;
        if (!s.open("v") || !s.attributes(&bare) || !s.attributes_sound(bound)) return false;
        std::string_view text;
        if (!bare && (!s.text(&text) || !s.close("v"))) return false;
        handler.value(text);
      }
      if (!handler.cell_end()) return false;
    }
  }
}

}  // namespace kelv::xlsx
