#include "xlsx/plain_strings.h"

#include <cstdint>

#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

bool starts(std::string_view s, size_t at, std::string_view with) {
  return s.size() - at >= with.size() && s.compare(at, with.size(), with) == 0;
}

// A character a reference names, when XML allows it.
bool append_char(uint32_t u, std::string& out) {
  const bool allowed = u == 0x9 || u == 0xA || u == 0xD || (u >= 0x20 && u <= 0xD7FF) ||
                       (u >= 0xE000 && u <= 0xFFFD) || (u >= 0x10000 && u <= 0x10FFFF);
  if (allowed) append_utf8(out, u);
  return allowed;
}

// A reference at the start of s ('&' ... ';'): the predefined entities and
// character references. The bytes it takes, 0 when it is not one of those.
size_t reference(std::string_view s, std::string& out) {
  const size_t semi = s.find(';');
  if (semi == std::string_view::npos || semi < 3 || semi > 11) return 0;
  const std::string_view name = s.substr(1, semi - 1);
  if (name[0] != '#') {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [entity, c] : kEntities) {
      if (name == entity) {
        out.push_back(c);
        return semi + 1;
      }
    }
    return 0;
  }
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 7) return 0;
  uint32_t u = 0;
  for (char d : digits) {
    uint32_t v = 0;
    if (d >= '0' && d <= '9') {
      v = static_cast<uint32_t>(d - '0');
    } else if (hex && d >= 'a' && d <= 'f') {
      v = static_cast<uint32_t>(d - 'a' + 10);
    } else if (hex && d >= 'A' && d <= 'F') {
      v = static_cast<uint32_t>(d - 'A' + 10);
    } else {
      return 0;
    }
    u = u * (hex ? 16 : 10) + v;
  }
  return append_char(u, out) ? semi + 1 : 0;
}

// An element's text from `at` up to the next '<', as the parser gives it;
// false when it can not be read exactly. The caller has made sure a '<'
// follows in the bytes.
bool text(std::string_view xml, size_t& at, std::string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(xml.data());
  size_t i = at;
  for (;;) {
    size_t j = i;
    // A run of characters that stand for themselves.
    while (j < xml.size() && p[j] >= 0x20 && p[j] < 0x80 && p[j] != '<' && p[j] != '&' &&
           p[j] != ']')
      ++j;
    out.append(xml.data() + i, j - i);
    i = j;
    if (i == xml.size()) return false;
    const unsigned char c = p[i];
    if (c == '<') break;
    if (c == '&') {
      const size_t n = reference(xml.substr(i), out);
      if (n == 0) return false;
      i += n;
    } else if (c == ']') {
      if (starts(xml, i, "]]>")) return false;  // not allowed in text
      out.push_back(']');
      ++i;
    } else if (c == '\t' || c == '\n') {
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (c >= 0x80) {
      uint32_t code = 0;
      const size_t n = xml_sequence_at(xml, i, &code);
      if (n == 0) return false;
      out.append(xml.data() + i, n);
      i += n;
    } else {
      return false;  // a carriage return (normalised by the parser) or a control
    }
  }
  at = i;
  return true;
}

// Past white space, then past `tag` ("</t", say) and its '>', white space
// allowed before it.
bool end_tag(std::string_view xml, size_t& at, std::string_view tag) {
  if (!starts(xml, at, tag)) return false;
  size_t i = at + tag.size();
  while (i < xml.size() && xml_space(xml[i])) ++i;
  if (i == xml.size() || xml[i] != '>') return false;
  at = i + 1;
  return true;
}

// The rest of a <t start tag: nothing, or xml:space="..."; then '>' or
// "/>" (`empty`).
bool t_attributes(std::string_view xml, size_t& at, bool* empty) {
  size_t i = at;
  bool spaced = false, had = false;
  for (;;) {
    const size_t before = i;
    while (i < xml.size() && xml_space(xml[i])) ++i;
    spaced = i > before;
    if (i == xml.size()) return false;
    if (xml[i] == '>' || starts(xml, i, "/>")) {
      *empty = xml[i] == '/';
      at = i + (*empty ? 2 : 1);
      return true;
    }
    if (!spaced || had || !starts(xml, i, "xml:space")) return false;
    i += 9;
    while (i < xml.size() && xml_space(xml[i])) ++i;
    if (i == xml.size() || xml[i] != '=') return false;
    ++i;
    while (i < xml.size() && xml_space(xml[i])) ++i;
    if (i == xml.size() || (xml[i] != '"' && xml[i] != '\'')) return false;
    const char quote = xml[i++];
    for (; i < xml.size() && xml[i] != quote; ++i) {
      const auto c = static_cast<unsigned char>(xml[i]);
      if (c < 0x20 || c >= 0x7F || c == '<' || c == '&') return false;
    }
    if (i == xml.size()) return false;
    ++i;
    had = true;
  }
}

// One item from `at`, whose "</si>" is in the bytes; false when it is not
// plain.
bool item(std::string_view xml, size_t& at, std::string& out) {
  size_t i = at + 4;  // "<si>"
  while (i < xml.size() && xml_space(xml[i])) ++i;
  if (starts(xml, i, "<t") && i + 2 < xml.size() &&
      (xml_space(xml[i + 2]) || xml[i + 2] == '>' || xml[i + 2] == '/')) {
    i += 2;
    bool empty = false;
    if (!t_attributes(xml, i, &empty)) return false;
    if (!empty && (!text(xml, i, out) || !end_tag(xml, i, "</t"))) return false;
    while (i < xml.size() && xml_space(xml[i])) ++i;
  }
  if (!end_tag(xml, i, "</si")) return false;
  at = i;
  return true;
}

}  // namespace

PlainStrings read_plain_strings(std::string_view xml, std::vector<std::string>& texts) {
  PlainStrings r;
  std::string text;
  for (;;) {
    size_t i = r.read;
    while (i < xml.size() && xml_space(xml[i])) ++i;
    if (xml.size() - i < 5) return r;  // More
    if (starts(xml, i, "</")) {
      r.read = i;
      r.stop = PlainStrings::Stop::End;
      return r;
    }
    if (starts(xml, i, "<si/>")) {
      texts.emplace_back();
      r.read = i + 5;
      continue;
    }
    if (!starts(xml, i, "<si>")) {
      r.stop = PlainStrings::Stop::NotPlain;
      return r;
    }
    // More, until the item's end tag has come.
    const size_t close = xml.find("</si", i + 4);
    if (close == std::string_view::npos || xml.find('>', close) == std::string_view::npos) return r;
    text.clear();
    if (!item(xml, i, text)) {
      r.stop = PlainStrings::Stop::NotPlain;
      return r;
    }
    texts.push_back(decode_escapes(text));
    r.read = i;
  }
}

size_t root_start_tag_end(std::string_view xml) {
  size_t i = starts(xml, 0, "\xEF\xBB\xBF") ? 3 : 0;  // a byte order mark
  for (;;) {
    while (i < xml.size() && xml_space(xml[i])) ++i;
    if (xml.size() - i < 4) return 0;
    if (starts(xml, i, "<?")) {
      const size_t e = xml.find("?>", i + 2);
      if (e == std::string_view::npos) return 0;
      if (starts(xml, i, "<?xml ") && declares_other_encoding(xml.substr(i, e + 2 - i)))
        return std::string_view::npos;
      i = e + 2;
      continue;
    }
    if (starts(xml, i, "<!--")) {
      const size_t e = xml.find("-->", i + 4);
      if (e == std::string_view::npos) return 0;
      i = e + 3;
      continue;
    }
    if (xml[i] != '<' || xml[i + 1] == '!') return std::string_view::npos;
    char quote = 0;
    for (size_t j = i + 1; j < xml.size(); ++j) {
      const char c = xml[j];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        return xml[j - 1] == '/' ? std::string_view::npos : j + 1;
      }
    }
    return 0;
  }
}

}  // namespace kelv::xlsx
