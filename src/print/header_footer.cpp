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
      switch (code) {
        case 'L':
        case 'C':
        case 'R':
          section = code == 'L' ? &out_.left : code == 'C' ? &out_.center : &out_.right;
          format_ = {};
          break;
        case '&':
          put(*section, "&");
          break;
        case 'P': {
          int32_t page = fields_.page;
          // "&P+2" and "&P-1" shift the number.
          if (i + 2 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-') && is_digit(s[i + 2])) {
            const bool minus = s[i + 1] == '-';
            i += 2;
            int32_t n = 0;
            while (i < s.size() && is_digit(s[i]) && n < 100000) n = n * 10 + (s[i++] - '0');
            --i;
            page += minus ? -n : n;
          }
          put(*section, std::to_string(page));
          break;
        }
        case 'N':
          put(*section, std::to_string(fields_.pages));
          break;
        case 'D':
          put(*section, fields_.date);
          break;
        case 'T':
          put(*section, fields_.time);
          break;
        case 'A':
          put(*section, fields_.sheet);
          break;
        case 'F':
          put(*section, fields_.file);
          break;
        case 'Z':
          put(*section, fields_.path);
          break;
        case 'B':
          format_.bold = !format_.bold;
          break;
        case 'I':
          format_.italic = !format_.italic;
          break;
        case 'U':
          format_.underline = !format_.underline;
          format_.double_underline = false;
          break;
        case 'E':
          format_.double_underline = !format_.double_underline;
          format_.underline = false;
          break;
        case 'S':
          format_.strike = !format_.strike;
          break;
        case 'X':
          format_.superscript = !format_.superscript;
          format_.subscript = false;
          break;
        case 'Y':
          format_.subscript = !format_.subscript;
          format_.superscript = false;
          break;
        case 'O':
        case 'H':
        case 'G':
          break;  // outline, shadow, picture: not drawn
        case '"': {
          const size_t end = s.find('"', i + 1);
          const std::string_view spec =
              s.substr(i + 1, (end == std::string_view::npos ? s.size() : end) - i - 1);
          const size_t comma = spec.find(',');
          const std::string_view font = spec.substr(0, comma);
          format_.font = font == "-" ? std::string() : std::string(font);
          if (comma != std::string_view::npos) apply_style(spec.substr(comma + 1), format_);
          i = end == std::string_view::npos ? s.size() : end;
          break;
        }
        case 'K': {
          // &KRRGGBB sets the colour; a theme colour (&KTTSNNN) keeps the
          // default. Either form takes six characters.
          if (s.size() - (i + 1) >= 6) {
            uint32_t rgb = 0;
            bool hex = true;
            for (char c : s.substr(i + 1, 6)) {
              const int h = hex_value(c);
              if (h < 0) hex = false;
              rgb = rgb * 16 + static_cast<uint32_t>(h < 0 ? 0 : h);
            }
            if (hex) format_.color = rgb;
            i += 6;
          }
          break;
        }
        default:
          if (is_digit(code)) {
            double size = code - '0';
            while (i + 1 < s.size() && is_digit(s[i + 1]) && size < 1000)
              size = size * 10 + (s[++i] - '0');
            if (size > 0) format_.size = size;
          } else {
            put(*section, std::string("&") + code);
          }
      }
    }
    return std::move(out_);
  }

 private:
  void put(std::vector<Run>& section, const std::string& text) {
    if (text.empty()) return;
    if (!section.empty() && section.back().format == format_) {
      section.back().text += text;
    } else {
      section.push_back({text, format_});
    }
  }

  const PageFields& fields_;
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
