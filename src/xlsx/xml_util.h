// Small XML helpers: an escaping writer for output, and prefix-blind lookups
// over pugixml trees (files may write the main namespace with any prefix).
#pragma once

#include <charconv>
#include <cstdint>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace kelv::xlsx {

class PackageReader;

inline constexpr const char* kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr const char* kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr const char* kPkgRelNs =
    "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr const char* kDrawingNs =
    "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing";
inline constexpr const char* kDrawingMainNs =
    "http://schemas.openxmlformats.org/drawingml/2006/main";
inline constexpr const char* kRelTypeBase =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// Appends escaped text and attributes to a string buffer.
class XmlOut {
 public:
  std::string& str() { return s_; }
  XmlOut& raw(std::string_view v) {
    s_.append(v);
    return *this;
  }
  // Element content: &, <, > escaped; characters XML can not carry are
  // written as _xHHHH_, as spreadsheet files do.
  XmlOut& text(std::string_view v);
  // ` name="value"` with the value escaped.
  XmlOut& attr(std::string_view name, std::string_view value);
  XmlOut& attr(std::string_view name, int64_t value);
  XmlOut& attr(std::string_view name, double value);
  XmlOut& number(double v);
  // An integer in plain digits, as xsd:int and xsd:long want it (number()
  // writes 100000 as 1e+05).
  XmlOut& integer(int64_t v);

 private:
  std::string s_;
};

// Shortest text that reads back as the same double.
std::string format_number(double v);
// The same, written into buf.
std::string_view shortest_number(double v, char (&buf)[32]);
bool parse_number(std::string_view s, double* out);
bool parse_int(std::string_view s, int64_t* out);
// "1"/"true" are true; anything else false.
bool parse_bool(std::string_view s);
// The length of the well-formed UTF-8 sequence at v[i] that XML may carry,
// or 0: a stray or overlong byte, a surrogate, a code point past U+10FFFF,
// or one of the non-characters U+FFFE and U+FFFF.
inline size_t xml_sequence_at(std::string_view v, size_t i, uint32_t* code) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(v[k]); };
  const unsigned char c = b(i);
  size_t n = 0;
  uint32_t cp = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, cp = c & 0x1Fu;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, cp = c & 0x0Fu;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, cp = c & 0x07u;
  } else {
    return 0;
  }
  if (i + n > v.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3Fu);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF) {
    *code = cp;
    return 0;
  }
  *code = cp;
  return n;
}

// Appends code point cp as UTF-8.
void append_utf8(std::string& out, uint32_t cp);
// XML's white space.
inline bool xml_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
// Whether an XML declaration ("<?xml ...?>") names an encoding other than
// UTF-8.
bool declares_other_encoding(std::string_view declaration);
// Undoes the _xHHHH_ escapes of cell and string text.
std::string decode_escapes(std::string_view s);

std::string_view local_name(const char* qualified);
// The spreadsheet namespace in any form files carry it: transitional,
// strict, the drafts of 2006 that early producers wrote, or none at all.
// Their elements are the same, so all of them read alike.
bool is_spreadsheet_namespace(std::string_view uri);
// The namespace of an element, its prefix resolved through its ancestors
// ("" when none is declared).
std::string namespace_of(pugi::xml_node node);
// Refuses a part whose root element is in a namespace the reader does not
// know: reading it by local names would carry it half understood.
void require_spreadsheet_root(PackageReader& package, std::string_view part, pugi::xml_node root);
// The first child element with this local name, any prefix.
pugi::xml_node child(pugi::xml_node parent, std::string_view local);
// An attribute by local name; an empty prefix matches only an unprefixed name
// unless any_prefix is set.
pugi::xml_attribute attr(pugi::xml_node node, std::string_view local, bool any_prefix = false);
std::string attr_str(pugi::xml_node node, std::string_view local, std::string_view fallback = "");
int64_t attr_int(pugi::xml_node node, std::string_view local, int64_t fallback);
double attr_num(pugi::xml_node node, std::string_view local, double fallback);
bool attr_bool(pugi::xml_node node, std::string_view local, bool fallback);
// The relationship id of a node (r:id, r:embed, ...: any prefix).
std::string rel_attr(pugi::xml_node node, std::string_view local);

// The node as written (no indentation).
std::string node_xml(pugi::xml_node node);
// The node as written, with the namespace declarations of its document's
// root repeated on it, so it reads the same wherever it is put.
std::string standalone_xml(pugi::xml_node node);
// ` xmlns:p="..."` declarations and mc:Ignorable of a root element, as written.
std::string namespace_declarations(pugi::xml_node root);

// Whether elements nest deeper than `limit` anywhere in the text.
bool nests_deeper_than(const std::string& xml, int32_t limit);

// Parses a small part; 1004 naming the file, the part and the offset on
// broken XML or nesting deeper than kMaxXmlDepth.
pugi::xml_document parse_part(PackageReader& package, std::string_view part);

}  // namespace kelv::xlsx
