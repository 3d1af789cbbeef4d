#include "xlsx_test_util.h"

#include <zip.h>

#include <map>
#include <pugixml.hpp>
#include <random>
#include <sstream>

#include "host/file_path.h"
#include "spreadsheet/sheet_dump.h"

namespace kelv::xlsx::test {
namespace {

using spreadsheet::Sheet;
using spreadsheet::Workbook;

void canon(pugi::xml_node n, std::map<std::string, std::string> ns, std::ostringstream& out) {
  if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) {
    std::string t = n.value();
    if (t.find_first_not_of(" \t\r\n") != std::string::npos ||
        n.parent().first_child() == n.parent().last_child())
      out << "T[" << t << "]";
    return;
  }
  if (n.type() != pugi::node_element) return;
  std::map<std::string, std::string> attrs;
  for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
    const std::string name = a.name();
    if (name == "xmlns") ns[""] = a.value();
    if (name.rfind("xmlns:", 0) == 0) ns[name.substr(6)] = a.value();
  }
  auto resolve = [&](const std::string& q, bool attribute) {
    const size_t colon = q.find(':');
    if (colon == std::string::npos) return (attribute ? std::string() : "{" + ns[""] + "}") + q;
    return "{" + ns[q.substr(0, colon)] + "}" + q.substr(colon + 1);
  };
  for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
    const std::string name = a.name();
    if (name == "xmlns" || name.rfind("xmlns:", 0) == 0) continue;
    attrs[resolve(name, true)] = a.value();
  }
  out << "<" << resolve(n.name(), false);
  for (const auto& [k, v] : attrs) out << " " << k << "=\"" << v << "\"";
  out << ">";
  for (pugi::xml_node c : n.children()) canon(c, ns, out);
  out << "</>";
}

std::string style_text(const Workbook& b, uint32_t id) {
  const spreadsheet::Style& s = b.styles.get(id);
  std::ostringstream o;
  o << s.number_format << "|" << s.font.name << "," << s.font.size << "," << s.font.bold
    << s.font.italic << s.font.strike << s.font.underline << s.font.vert_align << ","
    << int(s.font.color.kind) << ":" << s.font.color.value << ":" << s.font.color.tint << "|"
    << s.fill.pattern << ":" << int(s.fill.fg.kind) << ":" << s.fill.fg.value << ":"
    << s.fill.fg.tint << ":" << int(s.fill.bg.kind) << ":" << s.fill.bg.value << s.fill.gradient_xml
    << "|";
  for (const auto* side :
       {&s.border.left, &s.border.right, &s.border.top, &s.border.bottom, &s.border.diagonal})
    o << side->style << ":" << int(side->color.kind) << ":" << side->color.value << ",";
  o << s.border.diagonal_up << s.border.diagonal_down << "|" << s.alignment.horizontal << ","
    << s.alignment.vertical << "," << s.alignment.wrap_text << s.alignment.shrink_to_fit << ","
    << s.alignment.indent << "," << s.alignment.text_rotation << "|" << s.protection.locked
    << s.protection.hidden << s.quote_prefix;
  return o.str();
}

void expect_same_sheet(const Workbook& ba, const Sheet& a, const Workbook& bb, const Sheet& b) {
  SCOPED_TRACE("sheet " + a.name);
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.visibility, b.visibility);
  EXPECT_EQ(a.tab_color, b.tab_color);
  EXPECT_EQ(a.default_row_height, b.default_row_height);
  EXPECT_EQ(a.default_column_width, b.default_column_width);
  const size_t rows = std::max(a.rows.size(), b.rows.size());
  for (size_t r = 0; r < rows; ++r) {
    static const spreadsheet::Row empty;
    const auto& ra = r < a.rows.size() ? a.rows[r] : empty;
    const auto& rb = r < b.rows.size() ? b.rows[r] : empty;
    SCOPED_TRACE("row " + std::to_string(r + 1));
    EXPECT_EQ(ra.height, rb.height);
    EXPECT_EQ(ra.hidden, rb.hidden);
    EXPECT_EQ(ra.custom_height, rb.custom_height);
    EXPECT_EQ(ra.style.has_value(), rb.style.has_value());
    if (ra.style && rb.style) {
      EXPECT_EQ(style_text(ba, *ra.style), style_text(bb, *rb.style));
    }
    ASSERT_EQ(ra.cells.size(), rb.cells.size());
    for (size_t i = 0; i < ra.cells.size(); ++i) {
      const auto& ca = ra.cells[i];
      const auto& cb = rb.cells[i];
      EXPECT_EQ(ca.col, cb.col);
      EXPECT_EQ(ca.value, cb.value) << "column " << ca.col;
      EXPECT_EQ(ca.formula != nullptr, cb.formula != nullptr);
      if (ca.formula && cb.formula) {
        EXPECT_EQ(ca.formula->text, cb.formula->text);
        EXPECT_EQ(ca.formula->array_ref, cb.formula->array_ref);
      }
      EXPECT_EQ(style_text(ba, ca.style), style_text(bb, cb.style)) << "column " << ca.col;
    }
  }
  EXPECT_EQ(a.columns.size(), b.columns.size());
  for (const auto& [c, info] : a.columns) {
    auto it = b.columns.find(c);
    ASSERT_NE(it, b.columns.end()) << "column " << c;
    EXPECT_EQ(info.width, it->second.width);
    EXPECT_EQ(info.hidden, it->second.hidden);
    EXPECT_EQ(info.style.has_value(), it->second.style.has_value());
  }
  EXPECT_EQ(a.merges, b.merges);
  EXPECT_EQ(a.row_breaks, b.row_breaks);
  const auto& pa = a.page_setup;
  const auto& pb = b.page_setup;
  EXPECT_EQ(pa.left_margin, pb.left_margin);
  EXPECT_EQ(pa.right_margin, pb.right_margin);
  EXPECT_EQ(pa.top_margin, pb.top_margin);
  EXPECT_EQ(pa.bottom_margin, pb.bottom_margin);
  EXPECT_EQ(pa.header_margin, pb.header_margin);
  EXPECT_EQ(pa.footer_margin, pb.footer_margin);
  EXPECT_EQ(pa.paper_size, pb.paper_size);
  EXPECT_EQ(pa.orientation, pb.orientation);
  EXPECT_EQ(pa.scale, pb.scale);
  EXPECT_EQ(pa.fit_to_page, pb.fit_to_page);
  EXPECT_EQ(pa.fit_to_width, pb.fit_to_width);
  EXPECT_EQ(pa.fit_to_height, pb.fit_to_height);
  EXPECT_EQ(pa.horizontal_dpi, pb.horizontal_dpi);
  EXPECT_EQ(pa.vertical_dpi, pb.vertical_dpi);
  EXPECT_EQ(pa.first_page_number, pb.first_page_number);
  EXPECT_EQ(pa.horizontal_centered, pb.horizontal_centered);
  EXPECT_EQ(pa.vertical_centered, pb.vertical_centered);
  EXPECT_EQ(pa.header_footer.odd_header, pb.header_footer.odd_header);
  EXPECT_EQ(pa.header_footer.odd_footer, pb.header_footer.odd_footer);
  EXPECT_EQ(pa.header_footer.first_footer, pb.header_footer.first_footer);
  const auto& va = a.view;
  const auto& vb = b.view;
  EXPECT_EQ(va.active_row, vb.active_row);
  EXPECT_EQ(va.active_col, vb.active_col);
  EXPECT_EQ(va.selection, vb.selection);
  EXPECT_EQ(va.top_row, vb.top_row);
  EXPECT_EQ(va.left_col, vb.left_col);
  EXPECT_EQ(va.split_rows, vb.split_rows);
  EXPECT_EQ(va.split_cols, vb.split_cols);
  EXPECT_EQ(va.frozen, vb.frozen);
  EXPECT_EQ(va.zoom, vb.zoom);
  EXPECT_EQ(va.show_grid_lines, vb.show_grid_lines);
  EXPECT_EQ(va.tab_selected, vb.tab_selected);
  ASSERT_EQ(a.pictures.size(), b.pictures.size());
  for (size_t i = 0; i < a.pictures.size(); ++i) {
    const auto& x = a.pictures[i];
    const auto& y = b.pictures[i];
    EXPECT_NEAR(x.top, y.top, 1e-3);
    EXPECT_NEAR(x.left, y.left, 1e-3);
    EXPECT_NEAR(x.width, y.width, 1e-3);
    EXPECT_NEAR(x.height, y.height, 1e-3);
    EXPECT_EQ(x.lock_aspect_ratio, y.lock_aspect_ratio);
    EXPECT_EQ(x.description, y.description);
    ASSERT_LT(x.image, ba.images.size());
    ASSERT_LT(y.image, bb.images.size());
    EXPECT_EQ(*ba.images[x.image].bytes, *bb.images[y.image].bytes);
  }
  EXPECT_EQ(a.passthrough.elements.size(), b.passthrough.elements.size());
  for (size_t i = 0; i < std::min(a.passthrough.elements.size(), b.passthrough.elements.size());
       ++i) {
    EXPECT_EQ(a.passthrough.elements[i].order, b.passthrough.elements[i].order);
    EXPECT_EQ(canonical_xml("<w" + a.passthrough.root_namespaces + ">" +
                            a.passthrough.elements[i].xml + "</w>"),
              canonical_xml("<w" + b.passthrough.root_namespaces + ">" +
                            b.passthrough.elements[i].xml + "</w>"));
  }
}

}  // namespace

std::string data_file(const std::string& name) {
  return std::string(KELV_TEST_DATA) + "/xlsx/" + name;
}

void expect_same_book(const Workbook& a, const Workbook& b) {
  ASSERT_EQ(a.sheets.size(), b.sheets.size());
  EXPECT_EQ(a.active_sheet, b.active_sheet);
  EXPECT_EQ(a.tab_ratio, b.tab_ratio);
  EXPECT_EQ(a.macro_enabled, b.macro_enabled);
  EXPECT_EQ(a.max_digit_width, b.max_digit_width);
  ASSERT_EQ(a.defined_names.size(), b.defined_names.size());
  for (size_t i = 0; i < a.defined_names.size(); ++i) {
    EXPECT_EQ(a.defined_names[i].name, b.defined_names[i].name);
    EXPECT_EQ(a.defined_names[i].value, b.defined_names[i].value);
    EXPECT_EQ(a.defined_names[i].local_sheet, b.defined_names[i].local_sheet);
    EXPECT_EQ(a.defined_names[i].hidden, b.defined_names[i].hidden);
  }
  for (size_t i = 0; i < a.sheets.size(); ++i) {
    expect_same_sheet(a, *a.sheets[i], b, *b.sheets[i]);
    EXPECT_EQ(spreadsheet::dump_sheet(a, *a.sheets[i]), spreadsheet::dump_sheet(b, *b.sheets[i]));
  }
}

std::string canonical_xml(const std::string& xml) {
  pugi::xml_document doc;
  if (!doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata_single))
    return "unparsable: " + xml;
  std::ostringstream out;
  canon(doc.document_element(), {}, out);
  return out.str();
}

std::string read_part(const std::string& file, const std::string& part) {
  int err = 0;
  zip_t* z = zip_open(file.c_str(), ZIP_RDONLY, &err);
  if (!z) return {};
  std::string out;
  zip_stat_t st;
  if (zip_stat(z, part.c_str(), 0, &st) == 0) {
    zip_file_t* f = zip_fopen(z, part.c_str(), 0);
    out.resize(st.size);
    if (f) {
      zip_fread(f, out.data(), st.size);
      zip_fclose(f);
    }
  }
  zip_discard(z);
  return out;
}

bool has_part(const std::string& file, const std::string& part) {
  int err = 0;
  zip_t* z = zip_open(file.c_str(), ZIP_RDONLY, &err);
  if (!z) return false;
  const bool found = zip_name_locate(z, part.c_str(), 0) >= 0;
  zip_discard(z);
  return found;
}

std::map<std::string, std::string> package_skeleton() {
  std::map<std::string, std::string> p;
  p["[Content_Types].xml"] =
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";
  p["_rels/.rels"] =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
      "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
  p["xl/_rels/workbook.xml.rels"] =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
      "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
      "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
      "relationships/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
  return p;
}

}  // namespace kelv::xlsx::test
