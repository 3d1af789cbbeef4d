#include "print/header_footer.h"

#include <cctype>

namespace kelv::print {
namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Applies the style part of &"font,style" ("Bold Italic", "加粗 倾斜", "Regular").
void apply_style(std::string_view style, RunFormat& f) {
  f.bold =
      style.find("Bold") != std::string_view::npos || style.find("加粗") != std::string_view::npos;
  f.italic = style.find("Italic") != std::string_view::npos ||
             style.find("Oblique") != std::string_view::npos ||
             style.find("倾斜") != std::string_view::npos;
}

class Expander {
 public:
  explicit Expander(const PageFields& fields) : fields_(fields) {}

  Sections run(std::string_view s) {
    std::vector<Run>* section = &out_.center;
    format_ = {};
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] != '&' || i + 1 == s.size()) {
        put(*section, std::string(1, s[i]));
        continue;
      }
      const char code = s[++i];
      if (code == 'L' || code == 'C' || code == 'R') {
        section = code == 'L' ? &out_.left : code == 'C' ? &out_.center : &out_.right;
        format_ = {};
      } else if (code == '&') {
        put(*section, "&");
      } else if (code == 'P') {
        put(*section, std::to_string(page_number(s, i)));
      } else if (const std::string* field = page_field(code)) {
        put(*section, *field);
      } else if (toggle(code)) {
        // a style turned on or off
      } else if (code == '"') {
        i = read_font(s, i);
      } else if (code == 'K') {
        i = read_color(s, i);
      } else if (is_digit(code)) {
        i = read_size(s, i);
      } else {
        put(*section, std::string("&") + code);
      }
    }
    return std::move(out_);
  }

 private:
  // &P, or "&P+2" and "&P-1", which shift the number; `i` is left on the
  // code's last character.
  int32_t page_number(std::string_view s, size_t& i) const {
    int32_t page = fields_.page;
    if (i + 2 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-') && is_digit(s[i + 2])) {
      const bool minus = s[i + 1] == '-';
      i += 2;
      int32_t n = 0;
      while (i < s.size() && is_digit(s[i]) && n < 100000) n = n * 10 + (s[i++] - '0');
      --i;
      page += minus ? -n : n;
    }
    return page;
  }

  // The text of &N, &D, &T, &A, &F and &Z; null for other codes.
  const std::string* page_field(char code) {
    switch (code) {
      case 'N':
        pages_text_ = std::to_string(fields_.pages);
        return &pages_text_;
      case 'D':
        return &fields_.date;
      case 'T':
        return &fields_.time;
      case 'A':
        return &fields_.sheet;
      case 'F':
        return &fields_.file;
      case 'Z':
        return &fields_.path;
      default:
        return nullptr;
    }
  }

  // Turns a style on or off (&B, &I, &U, &E, &S, &X, &Y); outline, shadow
  // and picture (&O, &H, &G) are taken but not drawn. False for other codes.
  bool toggle(char code) {
    switch (code) {
      case 'B':
        format_.bold = !format_.bold;
        return true;
      case 'I':
        format_.italic = !format_.italic;
        return true;
      case 'U':
        format_.underline = !format_.underline;
        format_.double_underline = false;
        return true;
      case 'E':
        format_.double_underline = !format_.double_underline;
        format_.underline = false;
        return true;
      case 'S':
        format_.strike = !format_.strike;
        return true;
      case 'X':
        format_.superscript = !format_.superscript;
        format_.subscript = false;
        return true;
      case 'Y':
        format_.subscript = !format_.subscript;
        format_.superscript = false;
        return true;
      case 'O':
      case 'H':
      case 'G':
        return true;
      default:
        return false;
    }
  }

  // &"font,style"; returns the position of the closing quote.
  size_t read_font(std::string_view s, size_t i) {
    const size_t end = s.find('"', i + 1);
    const std::string_view font_and_style =
        s.substr(i + 1, (end == std::string_view::npos ? s.size() : end) - i - 1);
    const size_t comma = font_and_style.find(',');
    const std::string_view font = font_and_style.substr(0, comma);
    format_.font = font == "-" ? std::string() : std::string(font);
    if (comma != std::string_view::npos) apply_style(font_and_style.substr(comma + 1), format_);
    return end == std::string_view::npos ? s.size() : end;
  }

  // &KRRGGBB sets the colour; a theme colour (&KTTSNNN) keeps the default.
  // Either form takes six characters.
  size_t read_color(std::string_view s, size_t i) {
    if (s.size() - (i + 1) < 6) return i;
    uint32_t rgb = 0;
    bool hex = true;
    for (char c : s.substr(i + 1, 6)) {
      const int h = hex_value(c);
      if (h < 0) hex = false;
      rgb = rgb * 16 + static_cast<uint32_t>(h < 0 ? 0 : h);
    }
    if (hex) format_.color = rgb;
    return i + 6;
  }

  // &NN, the font size in points; returns the position of its last digit.
  size_t read_size(std::string_view s, size_t i) {
    double size = s[i] - '0';
    while (i + 1 < s.size() && is_digit(s[i + 1]) && size < 1000) size = size * 10 + (s[++i] - '0');
    if (size > 0) format_.size = size;
    return i;
  }

  void put(std::vector<Run>& section, const std::string& text) {
    if (text.empty()) return;
    if (!section.empty() && section.back().format == format_) {
      section.back().text += text;
    } else {
      section.push_back({text, format_});
    }
  }

  const PageFields& fields_;
  std::string pages_text_;  // &N as text
  Sections out_;
  RunFormat format_;
};

}  // namespace

Sections expand_header_footer(std::string_view text, const PageFields& fields) {
  return Expander(fields).run(text);
}

const std::string& header_footer_for(const spreadsheet::HeaderFooter& hf, Edge edge,
                                     int32_t sheet_page) {
  const bool header = edge == Edge::Header;
  if (hf.different_first && sheet_page == 1) return header ? hf.first_header : hf.first_footer;
  if (hf.different_odd_even && sheet_page % 2 == 0) return header ? hf.even_header : hf.even_footer;
  return header ? hf.odd_header : hf.odd_footer;
}

}  // namespace kelv::print
