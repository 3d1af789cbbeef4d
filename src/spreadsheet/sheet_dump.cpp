#include "spreadsheet/sheet_dump.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "spreadsheet/a1.h"

namespace kelv::spreadsheet {
namespace {

std::string fixed2(double d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", d);
  return buf;
}

std::string number(double d) {
  return host::number_to_text(d);
}

std::string quote(const std::string& s) {
  std::string out = "\"";
  for (char ch : s) {
    if (ch == '"' || ch == '\\') out += '\\';
    if (ch == '\n') {
      out += "\\n";
      continue;
    }
    out += ch;
  }
  return out + "\"";
}

std::string color(const Color& c) {
  char buf[64];
  switch (c.kind) {
    case Color::Kind::None:
      return "none";
    case Color::Kind::Auto:
      return "auto";
    case Color::Kind::Rgb:
      std::snprintf(buf, sizeof buf, "rgb:%08X", c.value);
      return buf;
    case Color::Kind::Indexed:
      return "ind:" + std::to_string(c.value);
    case Color::Kind::Theme:
      if (c.tint == 0) return "theme:" + std::to_string(c.value);
      return "theme:" + std::to_string(c.value) + "/" + number(c.tint);
  }
  return "?";
}

std::string value(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::Number:
      return "n " + number(v.as_number());
    case Variant::Kind::Text:
      return "s " + quote(v.as_text());
    case Variant::Kind::Boolean:
      return v.as_bool() ? "b TRUE" : "b FALSE";
    case Variant::Kind::Error:
      return "e " + std::string(host::cell_error_text(v.as_error()));
    default:
      return "-";
  }
}

void side(std::vector<std::string>& parts, const char* name, const BorderSide& s,
          const BorderSide& base) {
  if (s == base) return;
  std::string p = name;
  p += ':';
  p += s.style.empty() ? std::string("none") : s.style;
  if (s.color.kind != Color::Kind::None) {
    p += '/';
    p += color(s.color);
  }
  parts.push_back(p);
}

std::string join(const std::vector<std::string>& parts) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += ',';
    out += parts[i];
  }
  return out;
}

std::string format(const Style& s, const Style& base) {
  std::vector<std::string> out;
  if (s.number_format != base.number_format) out.push_back("fmt=" + s.number_format);
  if (!(s.font == base.font)) {
    std::vector<std::string> f{s.font.name, number(s.font.size)};
    if (s.font.bold) f.push_back("b");
    if (s.font.italic) f.push_back("i");
    if (s.font.strike) f.push_back("strike");
    if (!s.font.underline.empty()) f.push_back("u=" + s.font.underline);
    if (!s.font.vert_align.empty()) f.push_back(s.font.vert_align);
    if (s.font.color.kind != Color::Kind::None) f.push_back("color=" + color(s.font.color));
    out.push_back("font=" + join(f));
  }
  if (!(s.fill == base.fill)) {
    std::string f = "fill=";
    f += s.fill.pattern.empty() ? std::string("none") : s.fill.pattern;
    if (s.fill.fg.kind != Color::Kind::None) f += ":" + color(s.fill.fg);
    if (s.fill.bg.kind != Color::Kind::None) f += "/" + color(s.fill.bg);
    if (!s.fill.gradient_xml.empty()) f += ":gradient";
    out.push_back(f);
  }
  if (!(s.border == base.border)) {
    std::vector<std::string> b;
    side(b, "l", s.border.left, base.border.left);
    side(b, "r", s.border.right, base.border.right);
    side(b, "t", s.border.top, base.border.top);
    side(b, "b", s.border.bottom, base.border.bottom);
    side(b, "d", s.border.diagonal, base.border.diagonal);
    if (s.border.diagonal_up) b.push_back("up");
    if (s.border.diagonal_down) b.push_back("down");
    out.push_back("border=" + join(b));
  }
  if (!(s.alignment == base.alignment)) {
    const Alignment& a = s.alignment;
    std::vector<std::string> al;
    if (!a.horizontal.empty()) al.push_back("h:" + a.horizontal);
    if (!a.vertical.empty()) al.push_back("v:" + a.vertical);
    if (a.wrap_text) al.push_back("wrap");
    if (a.shrink_to_fit) al.push_back("shrink");
    if (a.indent) al.push_back("indent:" + std::to_string(a.indent));
    if (a.text_rotation) al.push_back("rot:" + std::to_string(a.text_rotation));
    out.push_back("align=" + join(al));
  }
  if (!(s.protection == base.protection)) {
    std::string p = "protect=";
    p += s.protection.locked ? "locked" : "unlocked";
    if (s.protection.hidden) p += ",hidden";
    out.push_back(p);
  }
  if (s.quote_prefix != base.quote_prefix) out.push_back("quote");
  std::string line;
  for (size_t i = 0; i < out.size(); ++i) {
    if (i) line += ' ';
    line += out[i];
  }
  return line;
}

}  // namespace

std::string dump_sheet(const Workbook& book, const Sheet& sheet) {
  std::ostringstream o;
  const Style& base = book.styles.get(0);
  o << "sheet " << quote(sheet.name);
  if (sheet.visibility == Visibility::Hidden) o << " hidden";
  if (sheet.visibility == Visibility::VeryHidden) o << " veryhidden";
  if (sheet.tab_color.kind != Color::Kind::None) o << " tab=" << color(sheet.tab_color);
  o << "\n";
  for (size_t r = 0; r < sheet.rows.size(); ++r) {
    const Row& row = sheet.rows[r];
    for (const Cell& c : row.cells) {
      const Style& st = book.styles.get(c.style);
      const std::string fmt = c.style == 0 ? std::string() : format(st, base);
      const bool empty = c.value.is_empty() && !c.formula;
      if (empty && fmt.empty()) continue;
      o << cell_address(static_cast<int32_t>(r + 1), c.col) << " " << value(c.value);
      if (c.formula) o << " = " << c.formula->text;
      if (!fmt.empty()) o << " | " << fmt;
      o << "\n";
    }
  }
  std::vector<Rect> merges = sheet.merges;
  std::sort(merges.begin(), merges.end(), [](const Rect& a, const Rect& b) {
    return std::tie(a.row1, a.col1) < std::tie(b.row1, b.col1);
  });
  for (const Rect& m : merges) o << "merge " << rect_address(m) << "\n";
  for (size_t r = 0; r < sheet.rows.size(); ++r) {
    const Row& row = sheet.rows[r];
    const std::string fmt =
        row.style && *row.style != 0 ? format(book.styles.get(*row.style), base) : "";
    if (row.height < 0 && !row.hidden && fmt.empty()) continue;
    o << "row " << r + 1;
    if (row.height >= 0) o << " height=" << number(row.height);
    if (row.hidden) o << " hidden";
    if (!fmt.empty()) o << " | " << fmt;
    o << "\n";
  }
  for (const auto& [c, info] : sheet.columns) {
    const std::string fmt =
        info.style && *info.style != 0 ? format(book.styles.get(*info.style), base) : "";
    if (info.width < 0 && !info.hidden && fmt.empty()) continue;
    o << "col " << column_letters(c);
    if (info.width >= 0) o << " width=" << number(info.width);
    if (info.hidden) o << " hidden";
    if (!fmt.empty()) o << " | " << fmt;
    o << "\n";
  }
  for (int32_t b : sheet.row_breaks) o << "break above " << b << "\n";
  for (size_t i = 0; i < sheet.pictures.size(); ++i) {
    const PictureModel& p = sheet.pictures[i];
    o << "picture " << i + 1 << " top=" << fixed2(p.top) << " left=" << fixed2(p.left)
      << " width=" << fixed2(p.width) << " height=" << fixed2(p.height);
    if (p.image < book.images.size()) {
      const Image& img = book.images[p.image];
      o << " image=" << img.width_px << "x" << img.height_px << " " << img.extension;
    }
    if (!p.lock_aspect_ratio) o << " unlocked";
    o << "\n";
  }
  const PageSetupModel& ps = sheet.page_setup;
  o << "page margins=" << fixed2(ps.left_margin * 72) << "," << fixed2(ps.right_margin * 72) << ","
    << fixed2(ps.top_margin * 72) << "," << fixed2(ps.bottom_margin * 72)
    << " header/footer=" << fixed2(ps.header_margin * 72) << "," << fixed2(ps.footer_margin * 72)
    << " orientation=" << (ps.orientation == 2 ? "landscape" : "portrait")
    << " paper=" << ps.paper_size;
  if (ps.fit_to_page)
    o << " fit=" << ps.fit_to_width << "x" << ps.fit_to_height;
  else
    o << " zoom=" << ps.scale;
  o << " quality=" << ps.horizontal_dpi;
  if (ps.horizontal_centered) o << " center-h";
  if (ps.vertical_centered) o << " center-v";
  o << "\n";
  if (!ps.header_footer.odd_header.empty())
    o << "header " << quote(ps.header_footer.odd_header) << "\n";
  if (!ps.header_footer.odd_footer.empty())
    o << "footer " << quote(ps.header_footer.odd_footer) << "\n";
  return o.str();
}

}  // namespace kelv::spreadsheet
