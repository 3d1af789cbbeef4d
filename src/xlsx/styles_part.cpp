#include "xlsx/styles_part.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <unordered_map>

#include "spreadsheet/cell_values.h"
#include "xlsx/package.h"
#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

using spreadsheet::Border;
using spreadsheet::BorderSide;
using spreadsheet::Color;
using spreadsheet::Fill;
using spreadsheet::Font;
using spreadsheet::Style;

uint32_t parse_argb(std::string_view s) {
  uint32_t v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v, 16);
  if (r.ec != std::errc()) return 0xFF000000u;
  if (s.size() <= 6) v |= 0xFF000000u;
  return v;
}

void write_color(XmlOut& out, const char* tag, const Color& c) {
  if (c.kind == Color::Kind::None) return;
  out.raw("<").raw(tag);
  switch (c.kind) {
    case Color::Kind::Auto:
      out.attr("auto", "1");
      break;
    case Color::Kind::Rgb: {
      char buf[12];
      std::snprintf(buf, sizeof buf, "%08X", c.value);
      out.attr("rgb", buf);
      break;
    }
    case Color::Kind::Indexed:
      out.attr("indexed", int64_t{c.value});
      break;
    case Color::Kind::Theme:
      out.attr("theme", int64_t{c.value});
      break;
    case Color::Kind::None:
      break;
  }
  if (c.tint != 0) out.attr("tint", c.tint);
  out.raw("/>");
}

void write_font(XmlOut& out, const Font& f) {
  out.raw("<font>");
  if (f.bold) out.raw("<b/>");
  if (f.italic) out.raw("<i/>");
  if (f.strike) out.raw("<strike/>");
  if (!f.underline.empty()) {
    out.raw("<u");
    if (f.underline != "single") out.attr("val", f.underline);
    out.raw("/>");
  }
  if (!f.vert_align.empty()) out.raw("<vertAlign").attr("val", f.vert_align).raw("/>");
  out.raw("<sz").attr("val", f.size).raw("/>");
  write_color(out, "color", f.color);
  out.raw("<name").attr("val", f.name).raw("/>");
  if (f.family) out.raw("<family").attr("val", int64_t{f.family}).raw("/>");
  if (f.charset >= 0) out.raw("<charset").attr("val", int64_t{f.charset}).raw("/>");
  if (!f.scheme.empty()) out.raw("<scheme").attr("val", f.scheme).raw("/>");
  out.raw("</font>");
}

Fill read_fill(pugi::xml_node node) {
  Fill f;
  if (pugi::xml_node p = child(node, "patternFill")) {
    f.pattern = attr_str(p, "patternType");
    if (f.pattern == "none") f.pattern.clear();
    f.fg = read_color(child(p, "fgColor"));
    f.bg = read_color(child(p, "bgColor"));
  } else if (pugi::xml_node g = child(node, "gradientFill")) {
    f.gradient_xml = standalone_xml(g);  // it may travel to another workbook
  }
  return f;
}

void write_fill(XmlOut& out, const Fill& f) {
  out.raw("<fill>");
  if (!f.gradient_xml.empty()) {
    out.raw(f.gradient_xml);
  } else {
    out.raw("<patternFill").attr("patternType", f.pattern.empty() ? "none" : f.pattern);
    if (f.fg.kind == Color::Kind::None && f.bg.kind == Color::Kind::None) {
      out.raw("/>");
    } else {
      out.raw(">");
      write_color(out, "fgColor", f.fg);
      write_color(out, "bgColor", f.bg);
      out.raw("</patternFill>");
    }
  }
  out.raw("</fill>");
}

BorderSide read_side(pugi::xml_node node) {
  BorderSide s;
  if (!node) return s;
  s.style = attr_str(node, "style");
  if (s.style == "none") s.style.clear();
  s.color = read_color(child(node, "color"));
  return s;
}

Border read_border(pugi::xml_node node) {
  Border b;
  b.left = read_side(child(node, "left"));
  if (b.left.style.empty()) b.left = read_side(child(node, "start"));
  b.right = read_side(child(node, "right"));
  if (b.right.style.empty()) b.right = read_side(child(node, "end"));
  b.top = read_side(child(node, "top"));
  b.bottom = read_side(child(node, "bottom"));
  b.diagonal = read_side(child(node, "diagonal"));
  b.diagonal_up = attr_bool(node, "diagonalUp", false);
  b.diagonal_down = attr_bool(node, "diagonalDown", false);
  return b;
}

void write_side(XmlOut& out, const char* tag, const BorderSide& s) {
  out.raw("<").raw(tag);
  if (!s.style.empty()) out.attr("style", s.style);
  if (s.color.kind == Color::Kind::None) {
    out.raw("/>");
    return;
  }
  out.raw(">");
  write_color(out, "color", s.color);
  out.raw("</").raw(tag).raw(">");
}

void write_border(XmlOut& out, const Border& b) {
  out.raw("<border");
  if (b.diagonal_up) out.attr("diagonalUp", "1");
  if (b.diagonal_down) out.attr("diagonalDown", "1");
  out.raw(">");
  write_side(out, "left", b.left);
  write_side(out, "right", b.right);
  write_side(out, "top", b.top);
  write_side(out, "bottom", b.bottom);
  write_side(out, "diagonal", b.diagonal);
  out.raw("</border>");
}

pugi::xml_node parse_fragment(pugi::xml_document& doc, const std::string& xml,
                              const std::string& namespaces) {
  // Fragments keep their prefixes; wrap them so those stay declared.
  const std::string wrapped =
      "<w xmlns=\"" + std::string(kMainNs) + "\"" + namespaces + ">" + xml + "</w>";
  doc.load_buffer(wrapped.data(), wrapped.size());
  return doc.document_element().first_child();
}

// An indexed list of entries that keeps the file's own entries first.
template <typename T>
class EntryList {
 public:
  // Returns the index of an equal entry, adding it when there is none.
  uint32_t index(const T& v) {
    for (uint32_t i = 0; i < items_.size(); ++i) {
      if (items_[i] == v) return i;
    }
    items_.push_back(v);
    raw_.emplace_back();
    return static_cast<uint32_t>(items_.size() - 1);
  }
  void add_raw(const T& v, std::string xml) {
    items_.push_back(v);
    raw_.push_back(std::move(xml));
  }
  size_t size() const { return items_.size(); }
  const T& item(size_t i) const { return items_[i]; }
  const std::string& raw(size_t i) const { return raw_[i]; }

 private:
  std::vector<T> items_;
  std::vector<std::string> raw_;
};

}  // namespace

Color read_color(pugi::xml_node node) {
  if (!node) return {};
  if (attr_bool(node, "auto", false)) return Color::automatic();
  Color c;
  if (pugi::xml_attribute a = attr(node, "rgb")) {
    c = Color::rgb(parse_argb(a.value()));
  } else if (pugi::xml_attribute i = attr(node, "indexed")) {
    c = Color::indexed(static_cast<uint32_t>(attr_int(node, "indexed", 0)));
  } else if (pugi::xml_attribute t = attr(node, "theme")) {
    c = Color::theme(static_cast<uint32_t>(attr_int(node, "theme", 0)));
  } else {
    return {};
  }
  c.tint = attr_num(node, "tint", 0);
  return c;
}

Font read_font(pugi::xml_node node) {
  Font f;
  f.name = "";
  auto flag = [&](const char* tag) {
    pugi::xml_node n = child(node, tag);
    return n && attr_bool(n, "val", true);
  };
  f.bold = flag("b");
  f.italic = flag("i");
  f.strike = flag("strike");
  if (pugi::xml_node u = child(node, "u")) {
    f.underline = attr_str(u, "val", "single");
    if (f.underline == "none") f.underline.clear();
  }
  if (pugi::xml_node v = child(node, "vertAlign")) {
    f.vert_align = attr_str(v, "val");
    if (f.vert_align == "baseline") f.vert_align.clear();
  }
  if (pugi::xml_node s = child(node, "sz")) f.size = attr_num(s, "val", 11);
  f.color = read_color(child(node, "color"));
  if (pugi::xml_node n = child(node, "name")) f.name = attr_str(n, "val");
  if (f.name.empty()) {
    if (pugi::xml_node n = child(node, "rFont")) f.name = attr_str(n, "val");
  }
  if (f.name.empty()) f.name = "Calibri";
  if (pugi::xml_node n = child(node, "family"))
    f.family = static_cast<int32_t>(attr_int(n, "val", 0));
  if (pugi::xml_node n = child(node, "charset"))
    f.charset = static_cast<int32_t>(attr_int(n, "val", -1));
  if (pugi::xml_node n = child(node, "scheme")) {
    f.scheme = attr_str(n, "val");
    if (f.scheme == "none") f.scheme.clear();
  }
  return f;
}

int32_t max_digit_width(const Font& font) {
  // Digits of the usual sans and CJK fonts are about half an em wide: 7 px
  // for 10 and 11 points, 8 for 12.
  const double px = font.size * 96.0 / 72.0;
  return std::max(1, static_cast<int32_t>(std::lround(px / 2)));
}

void read_styles(PackageReader& package, const std::string& part, spreadsheet::Workbook& book) {
  pugi::xml_document doc = parse_part(package, part);
  pugi::xml_node root = doc.document_element();
  require_spreadsheet_root(package, part, root);
  auto& pass = book.passthrough;
  pass.styles_namespaces = namespace_declarations(root);

  std::map<int32_t, std::string> codes;
  if (pugi::xml_node nf = child(root, "numFmts")) {
    for (pugi::xml_node n : nf.children()) {
      if (local_name(n.name()) != "numFmt") continue;
      const auto id = static_cast<int32_t>(attr_int(n, "numFmtId", -1));
      std::string code = attr_str(n, "formatCode");
      if (id < 0) continue;
      codes[id] = code;
      pass.number_formats.emplace_back(id, std::move(code));
    }
  }
  std::vector<Font> fonts;
  std::vector<Fill> fills;
  std::vector<Border> borders;
  auto collect = [&](const char* list, const char* item, auto& out, auto reader,
                     std::vector<std::string>& raw) {
    if (pugi::xml_node l = child(root, list)) {
      for (pugi::xml_node n : l.children()) {
        if (local_name(n.name()) != item) continue;
        out.push_back(reader(n));
        raw.push_back(node_xml(n));
      }
    }
  };
  collect("fonts", "font", fonts, read_font, pass.style_fonts);
  collect("fills", "fill", fills, read_fill, pass.style_fills);
  collect("borders", "border", borders, read_border, pass.style_borders);
  if (pugi::xml_node x = child(root, "cellStyleXfs")) pass.cell_style_xfs_xml = node_xml(x);

  std::vector<Style> styles;
  if (pugi::xml_node xfs = child(root, "cellXfs")) {
    for (pugi::xml_node xf : xfs.children()) {
      if (local_name(xf.name()) != "xf") continue;
      Style s;
      const auto nf = static_cast<int32_t>(attr_int(xf, "numFmtId", 0));
      if (auto it = codes.find(nf); it != codes.end()) {
        s.number_format = it->second;
      } else {
        std::string b = spreadsheet::builtin_number_format(nf);
        s.number_format = b.empty() ? "General" : b;
      }
      const auto font = static_cast<size_t>(attr_int(xf, "fontId", 0));
      const auto fill = static_cast<size_t>(attr_int(xf, "fillId", 0));
      const auto border = static_cast<size_t>(attr_int(xf, "borderId", 0));
      if (font < fonts.size()) s.font = fonts[font];
      if (fill < fills.size()) s.fill = fills[fill];
      if (border < borders.size()) s.border = borders[border];
      s.xf_id = static_cast<uint32_t>(std::max<int64_t>(0, attr_int(xf, "xfId", 0)));
      s.quote_prefix = attr_bool(xf, "quotePrefix", false);
      if (pugi::xml_node a = child(xf, "alignment")) {
        s.alignment.horizontal = attr_str(a, "horizontal");
        if (s.alignment.horizontal == "general") s.alignment.horizontal.clear();
        s.alignment.vertical = attr_str(a, "vertical");
        if (s.alignment.vertical == "bottom") s.alignment.vertical.clear();
        s.alignment.wrap_text = attr_bool(a, "wrapText", false);
        s.alignment.shrink_to_fit = attr_bool(a, "shrinkToFit", false);
        s.alignment.indent = static_cast<int32_t>(attr_int(a, "indent", 0));
        s.alignment.text_rotation = static_cast<int32_t>(attr_int(a, "textRotation", 0));
        s.alignment.reading_order = static_cast<int32_t>(attr_int(a, "readingOrder", 0));
      }
      if (pugi::xml_node p = child(xf, "protection")) {
        s.protection.locked = attr_bool(p, "locked", true);
        s.protection.hidden = attr_bool(p, "hidden", false);
      }
      styles.push_back(std::move(s));
    }
  }
  // What follows cellXfs (named styles, differential formats, table styles,
  // the palette, extensions) is kept as written.
  bool after = false;
  for (pugi::xml_node n : root.children()) {
    if (n.type() != pugi::node_element) continue;
    if (local_name(n.name()) == "cellXfs") {
      after = true;
      continue;
    }
    if (after) pass.styles_extra_xml += node_xml(n);
  }
  book.styles.assign(std::move(styles));
  book.max_digit_width = max_digit_width(book.styles.get(0).font);
}

namespace {

// Number format ids of a file being written: the file's custom ids are kept
// for their codes, new codes take the ids after them, built-in codes their
// own. Each custom code used is listed once, in the order first used.
class NumberFormats {
 public:
  explicit NumberFormats(const spreadsheet::WorkbookPassthrough& pass) : pass_(pass) {
    for (const auto& [id, code] : pass.number_formats) {
      custom_.emplace(code, id);
      next_id_ = std::max(next_id_, id + 1);
    }
  }

  int32_t id(const std::string& code) {
    int32_t id = -1;
    if (auto it = custom_.find(code); it != custom_.end()) {
      id = it->second;
    } else {
      id = spreadsheet::builtin_number_format_id(code);
      if (id >= 0) return id;
      id = next_id_++;
      custom_.emplace(code, id);
    }
    list(id, code);
    return id;
  }

  // <numFmts>: the codes used, then those of the file's named styles and
  // differential formats, which stay listed.
  void write(XmlOut& out) {
    for (const auto& [id, code] : pass_.number_formats) list(id, code);
    if (used_.empty()) return;
    out.raw("<numFmts").attr("count", static_cast<int64_t>(used_.size())).raw(">");
    for (const auto& [id, code] : used_)
      out.raw("<numFmt").attr("numFmtId", int64_t{id}).attr("formatCode", code).raw("/>");
    out.raw("</numFmts>");
  }

 private:
  void list(int32_t id, const std::string& code) {
    if (listed_.insert(id).second) used_.emplace_back(id, code);
  }

  const spreadsheet::WorkbookPassthrough& pass_;
  std::map<std::string, int32_t> custom_;
  int32_t next_id_ = 164;
  std::vector<std::pair<int32_t, std::string>> used_;
  std::set<int32_t> listed_;
};

class StylesWriter {
 public:
  explicit StylesWriter(const spreadsheet::Workbook& book)
      : pass_(book.passthrough), table_(book.styles), formats_(pass_) {}

  std::string run() {
    keep_file_entries();
    count_named_style_formats();
    // The cell formats first: they add the fonts, fills, borders and number
    // formats they use to the lists written before them.
    XmlOut xfs;
    for (size_t i = 0; i < table_.size(); ++i)
      cell_format(xfs, table_.get(static_cast<uint32_t>(i)));

    XmlOut out;
    out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");
    out.raw("<styleSheet xmlns=\"").raw(kMainNs).raw("\"").raw(pass_.styles_namespaces).raw(">");
    formats_.write(out);
    entries(out, "fonts", fonts_, write_font);
    entries(out, "fills", fills_, write_fill);
    entries(out, "borders", borders_, write_border);
    if (style_xf_count_) {
      out.raw(pass_.cell_style_xfs_xml);
    } else {
      out.raw(
          "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
          "borderId=\"0\"/></cellStyleXfs>");
    }
    out.raw("<cellXfs").attr("count", static_cast<int64_t>(table_.size())).raw(">");
    out.raw(xfs.str());
    out.raw("</cellXfs>");
    const std::string& extra = pass_.styles_extra_xml;
    if (extra.find("cellStyles>") == std::string::npos &&
        extra.find("cellStyles ") == std::string::npos) {
      out.raw(
          "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
          "builtinId=\"0\"/></cellStyles>");
    }
    out.raw(extra);
    out.raw("</styleSheet>");
    return std::move(out.str());
  }

 private:
  // The file's own fonts, fills and borders come first, as written, so the
  // indices its named styles use stay valid; a table without fills gets the
  // two every file starts with.
  void keep_file_entries() {
    for (const std::string& xml : pass_.style_fonts) {
      pugi::xml_document d;
      fonts_.add_raw(read_font(parse_fragment(d, xml, pass_.styles_namespaces)), xml);
    }
    for (const std::string& xml : pass_.style_fills) {
      pugi::xml_document d;
      fills_.add_raw(read_fill(parse_fragment(d, xml, pass_.styles_namespaces)), xml);
    }
    for (const std::string& xml : pass_.style_borders) {
      pugi::xml_document d;
      borders_.add_raw(read_border(parse_fragment(d, xml, pass_.styles_namespaces)), xml);
    }
    if (fills_.size() == 0) {
      Fill gray;
      gray.pattern = "gray125";
      fills_.index(Fill{});
      fills_.index(gray);
    }
  }

  // The file's named-style formats, kept as written: how many there are.
  void count_named_style_formats() {
    if (pass_.cell_style_xfs_xml.empty()) return;
    pugi::xml_document d;
    pugi::xml_node x = parse_fragment(d, pass_.cell_style_xfs_xml, pass_.styles_namespaces);
    for (pugi::xml_node n : x.children()) style_xf_count_ += local_name(n.name()) == "xf";
  }

  // One <xf> of cellXfs.
  void cell_format(XmlOut& xfs, const Style& s) {
    const int32_t nf = formats_.id(s.number_format);
    const uint32_t font = fonts_.index(s.font);
    const uint32_t fill = fills_.index(s.fill);
    const uint32_t border = borders_.index(s.border);
    xfs.raw("<xf").attr("numFmtId", int64_t{nf}).attr("fontId", int64_t{font});
    xfs.attr("fillId", int64_t{fill}).attr("borderId", int64_t{border});
    xfs.attr("xfId", int64_t{s.xf_id < style_xf_count_ ? s.xf_id : 0});
    if (s.quote_prefix) xfs.attr("quotePrefix", "1");
    if (nf) xfs.attr("applyNumberFormat", "1");
    if (font) xfs.attr("applyFont", "1");
    if (fill) xfs.attr("applyFill", "1");
    if (border) xfs.attr("applyBorder", "1");
    const bool align = s.alignment != spreadsheet::Alignment{};
    const bool protect = s.protection != spreadsheet::Protection{};
    if (align) xfs.attr("applyAlignment", "1");
    if (protect) xfs.attr("applyProtection", "1");
    if (!align && !protect) {
      xfs.raw("/>");
      return;
    }
    xfs.raw(">");
    if (align) alignment(xfs, s.alignment);
    if (protect) {
      xfs.raw("<protection");
      if (!s.protection.locked) xfs.attr("locked", "0");
      if (s.protection.hidden) xfs.attr("hidden", "1");
      xfs.raw("/>");
    }
    xfs.raw("</xf>");
  }

  static void alignment(XmlOut& xfs, const spreadsheet::Alignment& a) {
    xfs.raw("<alignment");
    if (!a.horizontal.empty()) xfs.attr("horizontal", a.horizontal);
    if (!a.vertical.empty()) xfs.attr("vertical", a.vertical);
    if (a.text_rotation) xfs.attr("textRotation", int64_t{a.text_rotation});
    if (a.wrap_text) xfs.attr("wrapText", "1");
    if (a.indent) xfs.attr("indent", int64_t{a.indent});
    if (a.shrink_to_fit) xfs.attr("shrinkToFit", "1");
    if (a.reading_order) xfs.attr("readingOrder", int64_t{a.reading_order});
    xfs.raw("/>");
  }

  // A list of fonts, fills or borders: the file's entries as written, the
  // others as the model has them.
  template <typename T>
  static void entries(XmlOut& out, const char* name, const EntryList<T>& list,
                      void (*write)(XmlOut&, const T&)) {
    out.raw("<").raw(name).attr("count", static_cast<int64_t>(list.size())).raw(">");
    for (size_t i = 0; i < list.size(); ++i) {
      if (!list.raw(i).empty()) {
        out.raw(list.raw(i));
      } else {
        write(out, list.item(i));
      }
    }
    out.raw("</").raw(name).raw(">");
  }

  const spreadsheet::WorkbookPassthrough& pass_;
  const spreadsheet::StyleTable& table_;
  NumberFormats formats_;
  EntryList<Font> fonts_;
  EntryList<Fill> fills_;
  EntryList<Border> borders_;
  size_t style_xf_count_ = 0;
};

}  // namespace

std::string write_styles(const spreadsheet::Workbook& book) {
  return StylesWriter(book).run();
}

}  // namespace kelv::xlsx
