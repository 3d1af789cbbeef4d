#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "host/file_path.h"
#include "host/file_system.h"
#include "host/host_error.h"
#include "xlsx/deflate.h"
#include "xlsx/drawing_part.h"
#include "xlsx/opc.h"
#include "xlsx/styles_part.h"
#include "xlsx/workbook_part.h"
#include "xlsx/worksheet_part.h"
#include "xlsx/xlsx_format.h"
#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

using host::FileSystem;
using host::WritableFile;
using spreadsheet::RawPart;
using spreadsheet::RawRelationship;
using spreadsheet::Workbook;

const char* const kSheetType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
const char* const kDrawingType = "application/vnd.openxmlformats-officedocument.drawing+xml";

std::string image_type(const std::string& ext) {
  if (ext == "png") return "image/png";
  if (ext == "jpeg" || ext == "jpg" || ext == "jpe") return "image/jpeg";
  if (ext == "gif") return "image/gif";
  if (ext == "bmp") return "image/bmp";
  if (ext == "tif" || ext == "tiff") return "image/tiff";
  if (ext == "emf") return "image/x-emf";
  if (ext == "wmf") return "image/x-wmf";
  if (ext == "svg") return "image/svg+xml";
  return "application/octet-stream";
}

// Table names compare without regard to ASCII letter case.
std::string fold_ascii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

class BookWriter {
 public:
  BookWriter(const Workbook& book, PackageWriter& out) : book_(book), out_(out) {}

  void run() {
    for (const RawPart& p : book_.passthrough.parts) used_.insert(p.path);
    SharedStrings strings;
    const size_t style_count = book_.styles.size();

    // Images: one part per distinct image, "xl/media/imageN.EXT" by the N
    // each was given (a hundred thousand names are not kept).
    std::vector<int> image_numbers(book_.images.size(), 0);
    auto image_part = [&](uint32_t i) -> std::string {
      if (i >= image_numbers.size()) return {};
      const std::string ext =
          "." + (book_.images[i].extension.empty() ? "png" : book_.images[i].extension);
      if (image_numbers[i] == 0) {
        int number = 0;
        std::string name = allocate("xl/media/image", ext, false, &number);
        image_numbers[i] = number;
        // Pictures are compressed in their own formats already.
        out_.add_stored(name, book_.images[i].bytes);
        extensions_.insert(ext.substr(1));
        return name;
      }
      return "xl/media/image" + std::to_string(image_numbers[i]) + ext;
    };

    std::vector<RawRelationship> wb_rels = book_.passthrough.workbook_relationships;
    for (const auto& o : book_.passthrough.other_sheets) wb_rels.push_back(o.relationship);
    std::vector<std::string> sheet_rel_ids;
    std::map<std::string, int> shared_use;  // carried part -> sheets using it
    for (size_t i = 0; i < book_.sheets.size(); ++i) {
      const spreadsheet::Sheet& sheet = *book_.sheets[i];
      const std::string part = allocate("xl/worksheets/sheet", ".xml");
      overrides_[part] = kSheetType;
      std::vector<RawRelationship> rels = own_copies(sheet.passthrough.relationships, shared_use);
      std::string drawing_rel;
      if (!sheet.pictures.empty() || !sheet.passthrough.drawing_anchors.empty()) {
        const std::string drawing = allocate("xl/drawings/drawing", ".xml");
        overrides_[drawing] = kDrawingType;
        // The pictures' parts go first, so that each is written as it is
        // named and not held behind the drawing.
        for (const spreadsheet::PictureModel& p : sheet.pictures) image_part(p.image);
        write_drawing_parts(sheet, drawing, image_part, shared_use);
        drawing_rel = fresh_rel_id(rels);
        rels.push_back({drawing_rel, std::string(kRelTypeBase) + "drawing", drawing, false});
      }
      PackageWriter::Stream xml = out_.stream(part);
      std::string rest = write_worksheet(sheet, style_count, drawing_rel, strings,
                                         [&](std::string& piece) { xml.write(piece); });
      xml.write(rest);
      xml.finish();
      if (!rels.empty()) out_.add(rels_part(part), write_relationships(part, rels));
      const std::string id = fresh_rel_id(wb_rels);
      wb_rels.push_back({id, std::string(kRelTypeBase) + "worksheet", part, false});
      sheet_rel_ids.push_back(id);
    }
    const std::string styles = allocate("xl/styles", ".xml", true);
    out_.add(styles, write_styles(book_));
    overrides_[styles] = "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
    wb_rels.push_back({fresh_rel_id(wb_rels), std::string(kRelTypeBase) + "styles", styles, false});
    if (strings.size() > 0) {
      const std::string sst = allocate("xl/sharedStrings", ".xml", true);
      PackageWriter::Stream xml = out_.stream(sst);
      std::string rest = strings.xml([&](std::string& piece) { xml.write(piece); });
      xml.write(rest);
      xml.finish();
      overrides_[sst] =
          "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";
      wb_rels.push_back(
          {fresh_rel_id(wb_rels), std::string(kRelTypeBase) + "sharedStrings", sst, false});
    }
    const std::string workbook = allocate("xl/workbook", ".xml", true);
    overrides_[workbook] =
        book_.macro_enabled
            ? "application/vnd.ms-excel.sheet.macroEnabled.main+xml"
            : "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
    out_.add(workbook, write_workbook_part(book_, sheet_rel_ids));
    out_.add(rels_part(workbook), write_relationships(workbook, wb_rels));

    std::vector<RawRelationship> pkg_rels = book_.passthrough.package_relationships;
    pkg_rels.insert(
        pkg_rels.begin(),
        {fresh_rel_id(pkg_rels), std::string(kRelTypeBase) + "officeDocument", workbook, false});
    out_.add("_rels/.rels", write_relationships("", pkg_rels));

    for (const RawPart& p : book_.passthrough.parts) {
      out_.add(p.path, p.data);
      if (!p.content_type.empty()) overrides_[p.path] = p.content_type;
    }
    for (const RawPart& p : copies_) {
      out_.add(p.path, p.data);
      if (!p.content_type.empty()) overrides_[p.path] = p.content_type;
    }
    out_.add("[Content_Types].xml", content_types());
  }

 private:
  // A part name not used yet: stem + number + suffix, or stem + suffix
  // first when plain_first.
  // `number`, when given, is told the number in the name.
  std::string allocate(const std::string& stem, const std::string& suffix, bool plain_first = false,
                       int* number = nullptr) {
    if (plain_first && used_.insert(stem + suffix).second) return stem + suffix;
    // The first free number never goes down, so the search for the next
    // one starts where the last ended (a hundred thousand images are named
    // in linear time). The names one stem and suffix number never meet
    // another's, so only the names given (carried parts, plain names) are
    // kept to be looked at, not the hundred thousand numbered ones.
    int& n = next_number_[stem + suffix];
    for (n = std::max(n, 1);; ++n) {
      std::string name = stem;
      name += std::to_string(n);
      name += suffix;
      if (!used_.count(name)) {
        if (number) *number = n;
        ++n;
        return name;
      }
    }
  }

  // The drawing part and its relationships, both written as they are made
  // (a sheet of seat labels has a picture on every label). Carried drawing
  // relationships (charts) get their own copies too.
  void write_drawing_parts(const spreadsheet::Sheet& sheet, const std::string& drawing,
                           const std::function<std::string(uint32_t)>& image_part,
                           std::map<std::string, int>& shared_use) {
    PackageWriter::Stream xml = out_.stream(drawing);
    PackageWriter::Stream rels = out_.stream(rels_part(drawing));
    XmlOut r;
    start_relationships(r);
    for (const RawRelationship& c : own_copies(sheet.passthrough.drawing_relationships, shared_use))
      append_relationship(r, drawing, c.id, c.type, c.target, c.external);
    const std::string image_type = std::string(kRelTypeBase) + "image";
    // The images are parts of one folder: the way there from the drawing is
    // found once, not split and joined again for each of a hundred thousand.
    const std::string type_attribute = " Type=\"" + image_type + "\"";
    std::string folder, way_to_folder;
    std::string relative;
    std::string rest = write_drawing(
        sheet, book_.max_digit_width, image_part, [&](std::string& piece) { xml.write(piece); },
        [&](std::string_view id, std::string_view target) {
          const size_t slash = target.rfind('/');
          if (slash == std::string_view::npos || slash + 1 == target.size()) {
            relative = relative_target(drawing, target);
          } else {
            if (target.substr(0, slash + 1) != folder) {
              folder = target.substr(0, slash + 1);
              way_to_folder = relative_target(drawing, folder + "x");
              way_to_folder.pop_back();
            }
            relative = way_to_folder;
            relative += target.substr(slash + 1);
          }
          // As append_relationship writes it, the type (a constant that
          // needs no escaping) put in whole.
          r.raw("<Relationship").attr("Id", id).raw(type_attribute).attr("Target", relative);
          r.raw("/>");
          if (r.str().size() >= kDeflatePiece) rels.write(r.str());
        });
    xml.write(rest);
    xml.finish();
    end_relationships(r);
    rels.write(r.str());
    rels.finish();
  }

  // A carried part belongs to one source; a second sheet (a copy made by the
  // engine) gets its own copy of the part, with the part's relationships.
  std::vector<RawRelationship> own_copies(std::vector<RawRelationship> rels,
                                          std::map<std::string, int>& use) {
    for (RawRelationship& r : rels) {
      if (r.external) continue;
      const RawPart* part = find_part(r.target);
      if (!part) continue;
      if (use[r.target]++ == 0) continue;
      const size_t dot = r.target.rfind('.');
      const std::string stem = dot == std::string::npos ? r.target : r.target.substr(0, dot);
      const std::string ext = dot == std::string::npos ? "" : r.target.substr(dot);
      const std::string copy = allocate(stem + "_", ext);
      copies_.push_back(
          {copy, part->content_type,
           r.type == std::string(kRelTypeBase) + "table" ? own_table(*part->data) : part->data});
      if (const RawPart* pr = find_part(rels_part(r.target))) {
        // Targets in it are relative to the same folder, so it reads the same.
        copies_.push_back({rels_part(copy), pr->content_type, pr->data});
        used_.insert(rels_part(copy));
      }
      r.target = copy;
    }
    return rels;
  }

  // A table copied with its sheet: the workbook's tables need distinct ids
  // and names, so the copy takes the next free id and its name plus a number.
  std::shared_ptr<const std::string> own_table(const std::string& xml) {
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size())) return std::make_shared<const std::string>(xml);
    pugi::xml_node table = doc.document_element();
    if (table_names_.empty()) {
      for (const RawPart& p : book_.passthrough.parts) {
        pugi::xml_document d;
        if (p.path.find("tables/") == std::string::npos ||
            !d.load_buffer(p.data->data(), p.data->size()))
          continue;
        pugi::xml_node t = d.document_element();
        if (local_name(t.name()) != "table") continue;
        next_table_id_ = std::max(next_table_id_, attr_int(t, "id", 0) + 1);
        table_names_.insert(fold_ascii(attr_str(t, "name")));
        table_names_.insert(fold_ascii(attr_str(t, "displayName")));
      }
    }
    if (local_name(table.name()) != "table") return std::make_shared<const std::string>(xml);
    const std::string base = attr_str(table, "displayName", attr_str(table, "name", "Table"));
    std::string name;
    for (int n = 2;; ++n) {
      name = base + "_" + std::to_string(n);
      if (!table_names_.count(fold_ascii(name))) break;
    }
    table_names_.insert(fold_ascii(name));
    auto set = [&](const char* a, const std::string& v) {
      pugi::xml_attribute at = table.attribute(a);
      if (!at) at = table.append_attribute(a);
      at.set_value(v.c_str());
    };
    set("id", std::to_string(next_table_id_++));
    set("name", name);
    set("displayName", name);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    out += node_xml(table);
    return std::make_shared<const std::string>(std::move(out));
  }

  const RawPart* find_part(const std::string& path) {
    if (index_.empty()) {
      for (const RawPart& p : book_.passthrough.parts) index_[p.path] = &p;
    }
    auto it = index_.find(path);
    return it == index_.end() ? nullptr : it->second;
  }

  std::string content_types() {
    std::map<std::string, std::string> defaults;
    for (const auto& [ext, type] : book_.passthrough.default_content_types) defaults[ext] = type;
    defaults["rels"] = "application/vnd.openxmlformats-package.relationships+xml";
    defaults["xml"] = "application/xml";
    for (const std::string& ext : extensions_) {
      if (!defaults.count(ext)) defaults[ext] = image_type(ext);
    }
    XmlOut out;
    out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Types xmlns=\"");
    out.raw("http://schemas.openxmlformats.org/package/2006/content-types\">");
    for (const auto& [ext, type] : defaults)
      out.raw("<Default").attr("Extension", ext).attr("ContentType", type).raw("/>");
    for (const auto& [part, type] : overrides_)
      out.raw("<Override").attr("PartName", "/" + part).attr("ContentType", type).raw("/>");
    out.raw("</Types>");
    return std::move(out.str());
  }

  const Workbook& book_;
  PackageWriter& out_;
  std::set<std::string> used_;
  std::map<std::string, int> next_number_;  // stem + suffix -> where the last search ended
  std::set<std::string> extensions_;
  std::map<std::string, std::string> overrides_;
  std::vector<RawPart> copies_;
  std::map<std::string, const RawPart*> index_;
  std::set<std::string> table_names_;  // case-folded, of every table written
  int64_t next_table_id_ = 1;
};

}  // namespace

void write_workbook(const spreadsheet::Workbook& book, const std::string& path, FileSystem& fs) {
  host::replace_file(
      path,
      [&](WritableFile& file) {
        PackageWriter out(file, path);
        BookWriter(book, out).run();
        out.close();
      },
      fs);
}

}  // namespace kelv::xlsx
