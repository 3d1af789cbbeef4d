#include "xlsx/drawing_part.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <utility>

#include "host/constants.h"
#include "spreadsheet/geometry.h"
#include "xlsx/deflate.h"
#include "xlsx/opc.h"
#include "xlsx/package.h"
#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

constexpr double kEmuPerPoint = 12700;

// Finds the first descendant element with this local name.
pugi::xml_node find(pugi::xml_node node, std::string_view local) {
  for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_element) continue;
    if (local_name(n.name()) == local) return n;
    if (pugi::xml_node d = find(n, local)) return d;
  }
  return {};
}

double child_number(pugi::xml_node node, std::string_view local) {
  double v = 0;
  pugi::xml_node c = child(node, local);
  return c && parse_number(c.text().get(), &v) ? v : 0;
}

void marker(const spreadsheet::SheetEdges& g, pugi::xml_node m, double* x, double* y) {
  const double col = std::clamp(child_number(m, "col"), 0.0, 16383.0);
  const double row = std::clamp(child_number(m, "row"), 0.0, 1048575.0);
  *x = g.column_left(static_cast<int32_t>(col) + 1) + child_number(m, "colOff") / kEmuPerPoint;
  *y = g.row_top(static_cast<int32_t>(row) + 1) + child_number(m, "rowOff") / kEmuPerPoint;
}

// Where the corners of a sheet's pictures fall, found by stepping from the
// line of the last corner found: pictures come one label after another, a
// few rows apart, where a search from the top reads some forty row edges
// for each corner. Gives what SheetEdges::locate_row and locate_column give.
class CornerFinder {
 public:
  explicit CornerFinder(const spreadsheet::SheetEdges& g) : g_(g) {}

  void row(double y, int32_t* row, double* offset) {
    if (!step(y, row_, host::kMaxRows, [&](int32_t r) { return g_.row_top(r); })) {
      g_.locate_row(y, &row_, offset);
    }
    *row = row_;
    *offset = std::max(0.0, y - g_.row_top(row_));
  }
  void column(double x, int32_t* col, double* offset) {
    if (!step(x, col_, host::kMaxColumns, [&](int32_t c) { return g_.column_left(c); })) {
      g_.locate_column(x, &col_, offset);
    }
    *col = col_;
    *offset = std::max(0.0, x - g_.column_left(col_));
  }

 private:
  // Moves `at` to the last line in 1 .. last whose edge is at or before
  // `v`, a few lines at most; false when that is farther (or `v` is below
  // the first edge or not a number), for the full search.
  template <typename Edge>
  static bool step(double v, int32_t& at, int32_t last, const Edge& edge) {
    constexpr int kMostSteps = 16;
    if (!(v >= 0)) return false;
    int steps = 0;
    if (edge(at) <= v) {
      while (at < last && edge(at + 1) <= v)
        if (++at, ++steps > kMostSteps) return false;
    } else {
      while (at > 1 && edge(at) > v)
        if (--at, ++steps > kMostSteps) return false;
    }
    return edge(at) <= v;
  }

  const spreadsheet::SheetEdges& g_;
  int32_t row_ = 1, col_ = 1;
};

void write_marker(XmlOut& out, const char* tag, CornerFinder& corners, double x, double y) {
  int32_t col = 1, row = 1;
  double dx = 0, dy = 0;
  corners.column(x, &col, &dx);
  corners.row(y, &row, &dy);
  out.raw("<").raw(tag).raw("><col>").integer(col - 1).raw("</col><colOff>");
  out.integer(std::llround(dx * kEmuPerPoint)).raw("</colOff><row>").integer(row - 1);
  out.raw("</row><rowOff>").integer(std::llround(dy * kEmuPerPoint));
  out.raw("</rowOff></").raw(tag).raw(">");
}

}  // namespace

void read_drawing(PackageReader& package, const std::string& part, spreadsheet::Sheet& sheet,
                  int32_t max_digit_width,
                  const std::function<uint32_t(const std::string& image_part)>& image_of) {
  pugi::xml_document doc = parse_part(package, part);
  pugi::xml_node root = doc.document_element();
  sheet.passthrough.drawing_namespaces = namespace_declarations(root);
  std::vector<spreadsheet::RawRelationship> rels = read_relationships(package, part);
  std::map<std::string, spreadsheet::RawRelationship> by_id;
  for (const auto& r : rels) by_id[r.id] = r;

  const spreadsheet::SheetEdges g(&sheet, max_digit_width);
  std::map<std::string, bool> image_rels;
  for (pugi::xml_node a = root.first_child(); a; a = a.next_sibling()) {
    if (a.type() != pugi::node_element) continue;
    const std::string_view kind = local_name(a.name());
    pugi::xml_node pic = child(a, "pic");
    pugi::xml_node blip = pic ? find(pic, "blip") : pugi::xml_node();
    const std::string embed = blip ? rel_attr(blip, "embed") : std::string();
    auto rel = by_id.find(embed);
    const bool picture =
        (kind == "twoCellAnchor" || kind == "oneCellAnchor" || kind == "absoluteAnchor") &&
        rel != by_id.end() && !rel->second.external && package.has(rel->second.target);
    if (!picture) {
      sheet.passthrough.drawing_anchors.push_back(standalone_xml(a));
      continue;
    }
    spreadsheet::PictureModel p;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (kind == "absoluteAnchor") {
      pugi::xml_node pos = child(a, "pos");
      x1 = attr_num(pos, "x", 0) / kEmuPerPoint;
      y1 = attr_num(pos, "y", 0) / kEmuPerPoint;
    } else {
      marker(g, child(a, "from"), &x1, &y1);
    }
    if (kind == "twoCellAnchor") {
      marker(g, child(a, "to"), &x2, &y2);
    } else {
      pugi::xml_node ext = child(a, "ext");
      x2 = x1 + attr_num(ext, "cx", 0) / kEmuPerPoint;
      y2 = y1 + attr_num(ext, "cy", 0) / kEmuPerPoint;
    }
    p.left = x1;
    p.top = y1;
    p.width = std::max(0.0, x2 - x1);
    p.height = std::max(0.0, y2 - y1);
    if (pugi::xml_node c = find(pic, "cNvPr")) {
      p.id = static_cast<int32_t>(attr_int(c, "id", 0));
      p.name = attr_str(c, "name");
      p.description = attr_str(c, "descr");
    }
    pugi::xml_node locks = find(pic, "picLocks");
    p.lock_aspect_ratio = locks ? attr_bool(locks, "noChangeAspect", false) : false;
    p.image = image_of(rel->second.target);
    image_rels[embed] = true;
    sheet.pictures.push_back(std::move(p));
  }
  for (const auto& r : rels) {
    if (!image_rels.count(r.id)) sheet.passthrough.drawing_relationships.push_back(r);
  }
}

std::string write_drawing(
    const spreadsheet::Sheet& sheet, int32_t max_digit_width,
    const std::function<std::string(uint32_t image)>& image_part,
    const std::function<void(std::string&)>& flush,
    const std::function<void(std::string_view id, std::string_view target)>& image_relationship) {
  XmlOut out;
  // The drawing's own elements in the default namespace, as openpyxl writes
  // them: "xdr:" on each of a picture anchor's thirty-four tags is a fifth
  // of its bytes, and a hundred thousand seat labels' anchors are tens of
  // megabytes to write and to compress.
  out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<wsDr");
  out.attr("xmlns", kDrawingNs).attr("xmlns:a", kDrawingMainNs).attr("xmlns:r", kRelNs);
  // The file's other declarations stay for the anchors kept as written
  // (each of which declares the prefixes it uses, the default one too).
  pugi::xml_document decl;
  const std::string probe = "<w" + sheet.passthrough.drawing_namespaces + "/>";
  if (decl.load_buffer(probe.data(), probe.size())) {
    for (pugi::xml_attribute a = decl.document_element().first_attribute(); a;
         a = a.next_attribute()) {
      const std::string_view n(a.name());
      if (n == "xmlns" || n == "xmlns:a" || n == "xmlns:r") continue;
      out.attr(n, a.value());
    }
  }
  out.raw(">");
  for (const std::string& xml : sheet.passthrough.drawing_anchors) out.raw(xml);

  const spreadsheet::SheetEdges g(&sheet, max_digit_width);
  CornerFinder corners(g);
  const std::vector<spreadsheet::PictureModel>& pictures = sheet.pictures;
  // Each image's relationship id, given out in the order the pictures
  // first show the image ("" until then); the carried relationships keep
  // theirs.
  uint32_t images = 0;
  for (const auto& p : pictures) images = std::max(images, p.image + 1);
  std::vector<std::string> rel_of_image(images);
  FreshRelIds fresh_ids(sheet.passthrough.drawing_relationships);
  // Shape ids are unique within a drawing: the kept anchors' ids stay, and
  // so does a picture's own id the first time it is met; a picture whose id
  // is taken (a copy) or missing gets the next free one, past them all.
  std::vector<int64_t> anchor_ids;
  for (const std::string& xml : sheet.passthrough.drawing_anchors) {
    for (size_t at = xml.find("cNvPr"); at != std::string::npos; at = xml.find("cNvPr", at + 5)) {
      const size_t id = xml.find(" id=\"", at);
      const size_t end = xml.find('>', at);
      if (id != std::string::npos && id < end)
        anchor_ids.push_back(std::atoll(xml.c_str() + id + 5));
    }
  }
  std::sort(anchor_ids.begin(), anchor_ids.end());
  std::vector<bool> keeps_id(pictures.size(), false);
  {
    std::vector<std::pair<int64_t, size_t>> by_id;  // (id, picture), first meetings first
    by_id.reserve(pictures.size());
    for (size_t i = 0; i < pictures.size(); ++i)
      if (pictures[i].id > 0) by_id.emplace_back(pictures[i].id, i);
    std::sort(by_id.begin(), by_id.end());
    for (size_t k = 0; k < by_id.size(); ++k)
      keeps_id[by_id[k].second] =
          (k == 0 || by_id[k - 1].first != by_id[k].first) &&
          !std::binary_search(anchor_ids.begin(), anchor_ids.end(), by_id[k].first);
  }
  int64_t next_id = 1;
  for (const auto& p : pictures) next_id = std::max<int64_t>(next_id, p.id + 1);
  for (int64_t i : anchor_ids) next_id = std::max(next_id, i + 1);
  std::string name;
  for (size_t k = 0; k < pictures.size(); ++k) {
    const spreadsheet::PictureModel& p = pictures[k];
    std::string& rid = rel_of_image[p.image];
    if (rid.empty()) {
      const std::string target = image_part(p.image);
      if (target.empty()) continue;  // no such image
      rid = fresh_ids.next();
      image_relationship(rid, target);
    }
    const int64_t id = keeps_id[k] ? p.id : next_id++;
    if (p.name.empty()) {
      name = "图片 ";
      name += std::to_string(id);
    }
    // A two-cell anchor says where the picture is; the shape's own
    // transform, which would say it again, is left out (readers place an
    // anchored picture by its anchor), and so are the empty locks and the
    // preset's empty list of adjustments.
    out.raw("<twoCellAnchor editAs=\"oneCell\">");
    write_marker(out, "from", corners, p.left, p.top);
    write_marker(out, "to", corners, p.left + p.width, p.top + p.height);
    out.raw("<pic><nvPicPr><cNvPr").attr("id", id);
    out.attr("name", p.name.empty() ? name : p.name);
    if (!p.description.empty()) out.attr("descr", p.description);
    out.raw(p.lock_aspect_ratio ? "/><cNvPicPr><a:picLocks noChangeAspect=\"1\"/></cNvPicPr>"
                                : "/><cNvPicPr/>");
    out.raw("</nvPicPr><blipFill><a:blip").attr("r:embed", rid);
    out.raw("/><a:stretch><a:fillRect/></a:stretch></blipFill><spPr><a:prstGeom prst=\"rect\"/>");
    out.raw("</spPr></pic><clientData/></twoCellAnchor>");
    if (flush && out.str().size() >= kDeflatePiece) flush(out.str());
  }
  out.raw("</wsDr>");
  return std::move(out.str());
}

DrawingOut write_drawing(const spreadsheet::Sheet& sheet, int32_t max_digit_width,
                         const std::function<std::string(uint32_t image)>& image_part) {
  DrawingOut d;
  d.relationships = sheet.passthrough.drawing_relationships;
  d.xml = write_drawing(
      sheet, max_digit_width, image_part, {}, [&](std::string_view id, std::string_view target) {
        d.relationships.push_back(
            {std::string(id), std::string(kRelTypeBase) + "image", std::string(target), false});
      });
  return d;
}

}  // namespace kelv::xlsx
