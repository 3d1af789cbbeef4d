#include "xlsx/xml_util.h"

#include <expat.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "xlsx/package.h"

namespace kelv::xlsx {

namespace {

bool utf8_name(std::string_view v) {
  if (v.size() != 5 && v.size() != 4) return false;
  std::string s;
  for (char c : v) s.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
  return s == "utf-8" || s == "utf8";
}

}  // namespace

bool declares_other_encoding(std::string_view declaration) {
  const size_t e = declaration.find("encoding");
  if (e == std::string_view::npos) return false;
  size_t i = e + 8;
  while (i < declaration.size() && (xml_space(declaration[i]) || declaration[i] == '=')) ++i;
  if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return true;
  const size_t end = declaration.find(declaration[i], i + 1);
  if (end == std::string_view::npos) return true;
  return !utf8_name(declaration.substr(i + 1, end - i - 1));
}
namespace {

bool is_xml_char(unsigned char c) {
  return c >= 0x20 || c == '\t' || c == '\n' || c == '\r';
}

void hex_escape(std::string& s, unsigned c) {
  char buf[12];
  std::snprintf(buf, sizeof buf, "_x%04X_", c);
  s.append(buf);
}

bool is_escape_at(std::string_view v, size_t i) {
  if (i + 7 > v.size() || v[i] != '_' || v[i + 1] != 'x' || v[i + 6] != '_') return false;
  for (size_t k = i + 2; k < i + 6; ++k) {
    if (!std::isxdigit(static_cast<unsigned char>(v[k]))) return false;
  }
  return true;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Copies the multi-byte character at v[i] (a lead byte >= 0x80) and returns
// how many bytes it took; what XML can not carry becomes U+FFFD.
size_t copy_multibyte(std::string& out, std::string_view v, size_t i) {
  uint32_t code = 0;
  const size_t n = xml_sequence_at(v, i, &code);
  if (n == 0) {
    out.append(kReplacement);
    // A whole non-character or surrogate goes at once, a stray byte alone.
    return code ? 3 : 1;
  }
  out.append(v.substr(i, n));
  return n;
}

enum class Where { Content, Attribute };

// Appends v escaped for element content or for an attribute value in double
// quotes. Both escape &, <, > and carriage returns (a raw one would read back
// as a line feed) and turn what XML can not carry in UTF-8 into U+FFFD.
// Content guards a literal "_xHHHH_", which would read back as an escape, and
// writes other control characters as _xHHHH_, as spreadsheet files do; an
// attribute writes quotes, line feeds and tabs as references and drops other
// control characters, which it can not carry.
template <Where Context>
void append_escaped(std::string& out, std::string_view v) {
  for (size_t i = 0; i < v.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(v[i]);
    switch (c) {
      case '&':
        out.append("&amp;");
        continue;
      case '<':
        out.append("&lt;");
        continue;
      case '>':
        out.append("&gt;");
        continue;
      case '\r':
        out.append("&#13;");
        continue;
      default:
        break;
    }
    if constexpr (Context == Where::Attribute) {
      if (c == '"') {
        out.append("&quot;");
        continue;
      }
      if (c == '\n') {
        out.append("&#10;");
        continue;
      }
      if (c == '\t') {
        out.append("&#9;");
        continue;
      }
    } else if (c == '_') {
      out.append(is_escape_at(v, i) ? "_x005F_" : "_");
      continue;
    }
    if (c >= 0x80) {
      i += copy_multibyte(out, v, i) - 1;
    } else if (is_xml_char(c)) {
      out.push_back(static_cast<char>(c));
    } else if constexpr (Context == Where::Content) {
      hex_escape(out, c);
    }
  }
}

}  // namespace

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// The shortest text that reads back as the same double, written into buf,
// as the office suites write numbers: the fewest significant digits (at
// most 17), in plain notation from 1E-5 up to 16 integer digits and in E
// notation beyond. Plain notation of a large double would spell out its
// binary expansion, digits the number never had (an 18-digit ID read as a
// number, 410102199001170103, would come back as ...170112 in every other
// program).
std::string_view shortest_number(double v, char (&buf)[32]) {
  if (v == 0) {
    buf[0] = '0';
    return std::string_view(buf, 1);
  }
  // A whole number below 1E+15 is its digits (a seat, a count, a year),
  // which the integer conversion writes several times as fast.
  if (v > -1e15 && v < 1e15) {
    const auto whole = static_cast<int64_t>(v);
    if (static_cast<double>(whole) == v) {
      const auto r = std::to_chars(buf, buf + sizeof buf, whole);
      return std::string_view(buf, static_cast<size_t>(r.ptr - buf));
    }
  }
  // Most other numbers: the shortest plain form, which below 1E+16 is
  // already the one wanted.
  const auto plain = std::to_chars(buf, buf + sizeof buf, v);
  const std::string_view p(buf, static_cast<size_t>(plain.ptr - buf));
  if ((v < 1e16 && v > -1e16) && p.find('e') == std::string_view::npos) return p;
  char sci[32];
  const auto r = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific);
  const std::string_view t(sci, static_cast<size_t>(r.ptr - sci));
  const size_t e = t.find('e');
  int exponent = 0;
  std::from_chars(t.data() + e + (t[e + 1] == '+' ? 2 : 1), t.data() + t.size(), exponent);
  char digits[20];
  int n = 0;
  for (char c : t.substr(0, e))
    if (c >= '0' && c <= '9' && n < 20) digits[n++] = c;
  char* out = buf;
  if (t[0] == '-') *out++ = '-';
  if (exponent >= -5 && exponent <= 15) {
    if (exponent < 0) {
      *out++ = '0';
      *out++ = '.';
      out = std::fill_n(out, -exponent - 1, '0');
      out = std::copy_n(digits, n, out);
    } else if (n <= exponent + 1) {
      out = std::copy_n(digits, n, out);
      out = std::fill_n(out, exponent + 1 - n, '0');
    } else {
      out = std::copy_n(digits, exponent + 1, out);
      *out++ = '.';
      out = std::copy_n(digits + exponent + 1, n - exponent - 1, out);
    }
  } else {
    *out++ = digits[0];
    if (n > 1) {
      *out++ = '.';
      out = std::copy_n(digits + 1, n - 1, out);
    }
    *out++ = 'E';
    *out++ = exponent < 0 ? '-' : '+';
    out = std::to_chars(out, buf + sizeof buf, exponent < 0 ? -exponent : exponent).ptr;
  }
  return std::string_view(buf, static_cast<size_t>(out - buf));
}

namespace {

bool is_namespace_declaration(std::string_view attribute_name) {
  return attribute_name.substr(0, 6) == "xmlns:";
}

}  // namespace

XmlOut& XmlOut::text(std::string_view v) {
  append_escaped<Where::Content>(s_, v);
  return *this;
}

XmlOut& XmlOut::attr(std::string_view name, std::string_view value) {
  s_.push_back(' ');
  s_.append(name);
  s_.append("=\"");
  append_escaped<Where::Attribute>(s_, value);
  s_.push_back('"');
  return *this;
}

XmlOut& XmlOut::attr(std::string_view name, int64_t value) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return attr(name, std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
}

XmlOut& XmlOut::attr(std::string_view name, double value) {
  char buf[32];
  return attr(name, shortest_number(value, buf));
}

XmlOut& XmlOut::number(double v) {
  char buf[32];
  s_.append(shortest_number(v, buf));
  return *this;
}

XmlOut& XmlOut::integer(int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  s_.append(buf, static_cast<size_t>(r.ptr - buf));
  return *this;
}

std::string format_number(double v) {
  char buf[32];
  return std::string(shortest_number(v, buf));
}

bool parse_number(std::string_view s, double* out) {
  constexpr std::string_view kSpace = " \t\n\r";
  const size_t first = s.find_first_not_of(kSpace);
  s = first == std::string_view::npos ? std::string_view()
                                      : s.substr(first, s.find_last_not_of(kSpace) - first + 1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), *out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool parse_int(std::string_view s, int64_t* out) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  auto r = std::from_chars(s.data(), s.data() + s.size(), *out);
  if (r.ec == std::errc() && r.ptr == s.data() + s.size()) return true;
  // Some producers write whole numbers as "1.0".
  double d = 0;
  if (parse_number(s, &d) && d >= -9.2e18 && d <= 9.2e18) {
    *out = static_cast<int64_t>(d);
    return true;
  }
  return false;
}

bool parse_bool(std::string_view s) {
  return s == "1" || s == "true";
}

std::string decode_escapes(std::string_view v) {
  if (v.find("_x") == std::string_view::npos) return std::string(v);
  std::string out;
  out.reserve(v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    if (is_escape_at(v, i)) {
      unsigned c = 0;
      std::from_chars(v.data() + i + 2, v.data() + i + 6, c, 16);
      i += 6;
      // Escapes are UTF-16 code units: a surrogate pair makes one character,
      // a lone surrogate is no character at all.
      if (c >= 0xD800 && c <= 0xDFFF) {
        unsigned low = 0;
        if (c <= 0xDBFF && is_escape_at(v, i + 1)) {
          std::from_chars(v.data() + i + 3, v.data() + i + 7, low, 16);
        }
        if (low >= 0xDC00 && low <= 0xDFFF) {
          append_utf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
          i += 7;
        } else {
          out.append(kReplacement);
        }
        continue;
      }
      append_utf8(out, c);
    } else {
      out.push_back(v[i]);
    }
  }
  return out;
}

std::string_view local_name(const char* qualified) {
  std::string_view q(qualified);
  const size_t colon = q.find(':');
  return colon == std::string_view::npos ? q : q.substr(colon + 1);
}

bool is_spreadsheet_namespace(std::string_view uri) {
  static const char* const kKnown[] = {
      kMainNs,
      "http://purl.oclc.org/ooxml/spreadsheetml/main",
      "http://schemas.openxmlformats.org/spreadsheetml/2006/5/main",
      "http://schemas.openxmlformats.org/spreadsheetml/2006/7/main",
      "http://schemas.microsoft.com/office/excel/2006/2",
      "http://schemas.microsoft.com/office/excel/2006/main",
  };
  if (uri.empty()) return true;
  for (const char* k : kKnown) {
    if (uri == k) return true;
  }
  return false;
}

std::string namespace_of(pugi::xml_node node) {
  const std::string_view name(node.name());
  const size_t colon = name.find(':');
  const std::string declaration =
      colon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(name.substr(0, colon));
  for (pugi::xml_node n = node; n && n.type() == pugi::node_element; n = n.parent()) {
    if (pugi::xml_attribute a = n.attribute(declaration.c_str())) return a.value();
  }
  return {};
}

void require_spreadsheet_root(PackageReader& package, std::string_view part, pugi::xml_node root) {
  const std::string uri = namespace_of(root);
  if (!is_spreadsheet_namespace(uri)) package.fail(part, "使用了无法识别的命名空间“" + uri + "”");
}

pugi::xml_node child(pugi::xml_node parent, std::string_view local) {
  for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_element && local_name(n.name()) == local) return n;
  }
  return {};
}

pugi::xml_attribute attr(pugi::xml_node node, std::string_view local, bool any_prefix) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    std::string_view n(a.name());
    if (n == local) return a;
    if (any_prefix && local_name(a.name()) == local && !is_namespace_declaration(n)) return a;
  }
  return {};
}

std::string attr_str(pugi::xml_node node, std::string_view local, std::string_view fallback) {
  pugi::xml_attribute a = attr(node, local);
  return a ? std::string(a.value()) : std::string(fallback);
}

int64_t attr_int(pugi::xml_node node, std::string_view local, int64_t fallback) {
  pugi::xml_attribute a = attr(node, local);
  int64_t v = 0;
  return a && parse_int(a.value(), &v) ? v : fallback;
}

double attr_num(pugi::xml_node node, std::string_view local, double fallback) {
  pugi::xml_attribute a = attr(node, local);
  double v = 0;
  return a && parse_number(a.value(), &v) ? v : fallback;
}

bool attr_bool(pugi::xml_node node, std::string_view local, bool fallback) {
  pugi::xml_attribute a = attr(node, local);
  return a ? parse_bool(a.value()) : fallback;
}

std::string rel_attr(pugi::xml_node node, std::string_view local) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    std::string_view n(a.name());
    if (n.find(':') != std::string_view::npos && !is_namespace_declaration(n) &&
        local_name(a.name()) == local) {
      return a.value();
    }
  }
  return {};
}

std::string node_xml(pugi::xml_node node) {
  std::ostringstream os;
  node.print(os, "", pugi::format_raw | pugi::format_no_declaration);
  return os.str();
}

namespace {

void used_prefixes(pugi::xml_node n, std::set<std::string>& out) {
  if (n.type() != pugi::node_element) return;
  const std::string_view name(n.name());
  const size_t colon = name.find(':');
  out.insert(colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon)));
  for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view an(a.name());
    const size_t c = an.find(':');
    if (c != std::string_view::npos && !is_namespace_declaration(an))
      out.insert(std::string(an.substr(0, c)));
  }
  for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) used_prefixes(c, out);
}

}  // namespace

std::string standalone_xml(pugi::xml_node node) {
  // Declares exactly the prefixes the subtree uses, as bound where it stood,
  // so the result depends on nothing around it.
  std::set<std::string> used;
  used_prefixes(node, used);
  pugi::xml_document doc;
  pugi::xml_node copy = doc.append_copy(node);
  for (const std::string& prefix : used) {
    const std::string decl = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
    if (prefix == "xml") continue;
    for (pugi::xml_node n = node; n.type() == pugi::node_element; n = n.parent()) {
      if (pugi::xml_attribute a = n.attribute(decl.c_str())) {
        if (!copy.attribute(decl.c_str())) copy.append_attribute(decl.c_str()) = a.value();
        break;
      }
    }
  }
  return node_xml(copy);
}

std::string namespace_declarations(pugi::xml_node root) {
  XmlOut out;
  for (pugi::xml_attribute a = root.first_attribute(); a; a = a.next_attribute()) {
    std::string_view n(a.name());
    if (is_namespace_declaration(n) || local_name(a.name()) == "Ignorable") out.attr(n, a.value());
  }
  return std::move(out.str());
}

bool nests_deeper_than(const std::string& xml, int32_t limit) {
  struct Scan {
    XML_Parser parser;
    int32_t depth = 0, limit = 0;
    bool deeper = false;
  };
  XML_Parser p = XML_ParserCreate(nullptr);
  if (!p) return false;
  Scan scan{p, 0, limit, false};
  XML_SetUserData(p, &scan);
  XML_SetElementHandler(
      p,
      [](void* self, const XML_Char*, const XML_Char**) {
        auto* s = static_cast<Scan*>(self);
        if (++s->depth > s->limit) {
          s->deeper = true;
          XML_StopParser(s->parser, XML_FALSE);
        }
      },
      [](void* self, const XML_Char*) { --static_cast<Scan*>(self)->depth; });
  // Entities are not this scan's business (the tree parser expands none).
  XML_SetStartDoctypeDeclHandler(
      p, [](void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        XML_StopParser(static_cast<Scan*>(self)->parser, XML_FALSE);
      });
  XML_Parse(p, xml.data(), static_cast<int>(std::min<size_t>(xml.size(), INT32_MAX)), XML_TRUE);
  XML_ParserFree(p);
  return scan.deeper;
}

pugi::xml_document parse_part(PackageReader& package, std::string_view part) {
  const std::string data = package.read(part);
  if (nests_deeper_than(data, kMaxXmlDepth))
    package.fail(part, "XML 嵌套超过 " + std::to_string(kMaxXmlDepth) + " 层");
  pugi::xml_document doc;
  pugi::xml_parse_result r =
      doc.load_buffer(data.data(), data.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
  if (!r) {
    package.fail(part, std::string("XML 格式错误（位置 ") + std::to_string(r.offset) + "）：" +
                           r.description());
  }
  if (!doc.document_element()) package.fail(part, "XML 没有根元素");
  return doc;
}

}  // namespace kelv::xlsx
