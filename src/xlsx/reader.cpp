#include <expat.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <type_traits>
#include <unordered_map>

#include "host/file_path.h"
#include "host/host_error.h"
#include "spreadsheet/cell_values.h"
#include "xlsx/drawing_part.h"
#include "xlsx/opc.h"
#include "xlsx/plain_strings.h"
#include "xlsx/styles_part.h"
#include "xlsx/workbook_part.h"
#include "xlsx/worksheet_part.h"
#include "xlsx/xlsx_format.h"
#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

using spreadsheet::RawRelationship;
using spreadsheet::Workbook;

// Shared strings, streamed: runs joined, phonetic runs skipped.
class SharedStringReader {
 public:
  explicit SharedStringReader(std::vector<std::string>& out) : out_(out) {}

  void run(PackageReader& package, const std::string& part) {
    const uint64_t before = package.counted();
    try {
      read(package, part, true);
    } catch (const host::HostError&) {
      if (!skipped_) throw;
      // The parser was handed the part with the plain items left out: what
      // is wrong is told, where it is, by reading the whole part with it.
      package.refund(package.counted() - before);
      out_.clear();
      SharedStringReader(out_).read(package, part, false);
    }
  }

 private:
  // A prolog longer than this is left to the parser.
  static constexpr size_t kPrologLimit = size_t{1} << 20;

  // Reads the part with the parser; with `plain`, the plain items are read
  // without it (read_plain_strings) and only the rest is parsed.
  void read(PackageReader& package, const std::string& part, bool plain) {
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> owner(
        XML_ParserCreate(nullptr), &XML_ParserFree);
    XML_Parser p = owner.get();
    XML_SetUserData(p, this);
    XML_SetElementHandler(p, &on_start, &on_end);
    XML_SetCharacterDataHandler(p, &on_text);
    XML_SetStartDoctypeDeclHandler(
        p, [](void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
          static_cast<SharedStringReader*>(self)->doctype_ = true;
          XML_StopParser(static_cast<SharedStringReader*>(self)->parser_, XML_FALSE);
        });
    parser_ = p;
    auto feed = [&](const char* d, size_t n, bool last) {
      if (XML_Parse(p, d, static_cast<int>(n), last) == XML_STATUS_ERROR) {
        if (!foreign_.empty()) package.fail(part, "使用了无法识别的命名空间“" + foreign_ + "”");
        if (too_deep_) package.fail(part, "XML 嵌套超过 " + std::to_string(kMaxXmlDepth) + " 层");
        package.fail(part, doctype_
                               ? std::string("不允许 DOCTYPE 声明")
                               : "XML 格式错误（第 " + std::to_string(XML_GetCurrentLineNumber(p)) +
                                     " 行第 " + std::to_string(XML_GetCurrentColumnNumber(p)) +
                                     " 列）：" + XML_ErrorString(XML_GetErrorCode(p)));
      }
    };
    // The parser reads the prolog and the root's start tag; then the items
    // are read here while they are plain; the parser reads on from the
    // first that is not, or from the root's end.
    enum class Phase { Prolog, Plain, Parser };
    Phase phase = plain ? Phase::Prolog : Phase::Parser;
    std::string pending;  // bytes come but not yet read
    package.stream(part, [&](const char* d, size_t n) {
      if (phase == Phase::Parser) return feed(d, n, false);
      pending.append(d, n);
      if (phase == Phase::Prolog) {
        const size_t root_end = root_start_tag_end(pending);
        if (root_end == 0 && pending.size() < kPrologLimit) return;
        if (root_end == 0 || root_end == std::string::npos) {
          phase = Phase::Parser;
          feed(pending.data(), pending.size(), false);
          pending = std::string();
          return;
        }
        feed(pending.data(), root_end, false);
        pending.erase(0, root_end);
        phase = Phase::Plain;
      }
      const PlainStrings r = read_plain_strings(pending, out_);
      skipped_ = skipped_ || r.read > 0;
      if (r.stop == PlainStrings::Stop::More) {
        pending.erase(0, r.read);
        return;
      }
      phase = Phase::Parser;
      feed(pending.data() + r.read, pending.size() - r.read, false);
      pending = std::string();
    });
    feed(pending.data(), pending.size(), false);
    feed("", 0, true);
  }

  static std::string_view local(const char* name) { return local_name(name); }
  static void on_start(void* self, const char* name, const char** atts) {
    auto* r = static_cast<SharedStringReader*>(self);
    const std::string_view l = local(name);
    if (++r->depth_ > kMaxXmlDepth) {
      r->too_deep_ = true;
      XML_StopParser(r->parser_, XML_FALSE);
      return;
    }
    if (!r->seen_root_) {
      r->seen_root_ = true;
      // The parser is not namespace-aware: the root's own declaration counts.
      const std::string_view q(name);
      const size_t colon = q.find(':');
      const std::string declaration =
          colon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(q.substr(0, colon));
      for (int i = 0; atts[i]; i += 2) {
        if (declaration == atts[i] && !is_spreadsheet_namespace(atts[i + 1])) {
          r->foreign_ = atts[i + 1];
          XML_StopParser(r->parser_, XML_FALSE);
          return;
        }
      }
    }
    if (l == "si") {
      r->cur_.clear();
    } else if (l == "rPh") {
      ++r->phonetic_;
    } else if (l == "t" && !r->phonetic_) {
      r->in_t_ = true;
    }
  }
  static void on_end(void* self, const char* name) {
    auto* r = static_cast<SharedStringReader*>(self);
    const std::string_view l = local(name);
    --r->depth_;
    if (l == "si") {
      r->out_.push_back(decode_escapes(r->cur_));
    } else if (l == "rPh") {
      --r->phonetic_;
    } else if (l == "t") {
      r->in_t_ = false;
    }
  }
  static void on_text(void* self, const char* s, int n) {
    auto* r = static_cast<SharedStringReader*>(self);
    if (r->in_t_) r->cur_.append(s, static_cast<size_t>(n));
  }

  std::vector<std::string>& out_;
  XML_Parser parser_ = nullptr;
  std::string cur_;
  int phonetic_ = 0;
  bool in_t_ = false;
  bool doctype_ = false;
  bool seen_root_ = false;
  int32_t depth_ = 0;
  bool too_deep_ = false;
  std::string foreign_;   // the root's namespace when the reader does not know it
  bool skipped_ = false;  // items were read without the parser
};

// A workbook in the 1904 date system: its dates are moved into the 1900
// system the model counts in, and the file is written back in that one, so
// no reader has to know which system a file uses.
void move_out_of_1904(Workbook& book) {
  std::string& pr = book.passthrough.workbook_pr_xml;
  if (pr.find("date1904") == std::string::npos) return;
  pugi::xml_document doc;
  if (!doc.load_string(pr.c_str())) return;
  pugi::xml_node node = doc.document_element();
  pugi::xml_attribute flag = node.attribute("date1904");
  if (!flag) return;
  const bool in_1904 = flag.as_bool();
  node.remove_attribute(flag);
  pr = node_xml(node);
  if (!in_1904) return;
  std::vector<bool> date(book.styles.size());
  for (size_t i = 0; i < date.size(); ++i)
    date[i] = spreadsheet::is_date_format(book.styles.get(static_cast<uint32_t>(i)).number_format);
  for (const auto& sheet : book.sheets) {
    for (spreadsheet::Row& row : sheet->rows) {
      for (spreadsheet::Cell& cell : row.cells) {
        if (!cell.value.is_number() || cell.style >= date.size() || !date[cell.style]) continue;
        // A time of day alone (below 1) is the same in both systems.
        const double v = cell.value.as_number();
        if (v < 0 || v >= 1) cell.value = v + spreadsheet::k1904Offset;
      }
    }
  }
}

bool is_kind(const RawRelationship& r, std::string_view kind) {
  return rel_kind(r.type) == kind;
}

std::string extension_of(const std::string& part) {
  const size_t dot = part.rfind('.');
  std::string e = dot == std::string::npos ? std::string() : part.substr(dot + 1);
  for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return e;
}

class BookReader {
 public:
  BookReader(const std::string& path, const UnpackLimits& limits, ReadScope scope = {})
      : pkg_(path, limits), scope_(std::move(scope)) {}
  BookReader(std::shared_ptr<const std::string> bytes, const std::string& name,
             const UnpackLimits& limits)
      : pkg_(std::move(bytes), name, limits) {}

  std::unique_ptr<Workbook> run() {
    auto book = std::make_unique<Workbook>();
    book_ = book.get();
    book->file_path = host::absolute_path_text(pkg_.file());

    if (!pkg_.has("[Content_Types].xml"))
      pkg_.fail("[Content_Types].xml", "部件缺失，不是有效的 xlsx 文件");
    types_ = read_content_types(pkg_);
    consumed_.insert("[Content_Types].xml");
    consumed_.insert("_rels/.rels");

    const std::string workbook_part = find_workbook_part();
    book->macro_enabled = types_.type_of(workbook_part).find("macroEnabled") != std::string::npos;
    consumed_.insert(workbook_part);
    consumed_.insert(rels_part(workbook_part));

    std::map<std::string, RawRelationship> sheet_rels;
    std::string styles_part, strings_part;
    for (auto& r : read_relationships(pkg_, workbook_part)) {
      if (is_kind(r, "worksheet") && !r.external) {
        sheet_rels[r.id] = r;
      } else if (is_kind(r, "styles") && styles_part.empty()) {
        styles_part = r.target;
      } else if (is_kind(r, "sharedStrings") && strings_part.empty()) {
        strings_part = r.target;
      } else if (is_kind(r, "calcChain")) {
        consumed_.insert(r.target);  // rebuilt by the application on load
      } else {
        book->passthrough.workbook_relationships.push_back(std::move(r));
      }
    }
    if (!styles_part.empty() && pkg_.has(styles_part)) {
      read_styles(pkg_, styles_part, *book);
      consumed_.insert(styles_part);
    }
    std::vector<std::string> strings;
    if (!strings_part.empty()) {
      SharedStringReader(strings).run(pkg_, strings_part);
      consumed_.insert(strings_part);
    }
    read_workbook_part(pkg_, workbook_part, sheet_rels, *book,
                       [&](const std::string& sheet_part, spreadsheet::Sheet& sheet) {
                         if (scope_.cells_of && !scope_.cells_of(sheet.name)) {
                           left_out_ = true;
                           return;
                         }
                         read_sheet(sheet_part, strings, sheet);
                       });
    move_out_of_1904(*book);
    if (!left_out_) collect_raw_parts();
    return book;
  }

 private:
  // The workbook part the package relationships name. When they are
  // missing, broken or point nowhere, the part at its usual place is taken
  // and the repair reported; the document properties keep their links.
  std::string find_workbook_part() {
    auto& pass = book_->passthrough;
    std::vector<RawRelationship> rels;
    std::string defect;
    if (!pkg_.has("_rels/.rels")) {
      defect = "缺失";
    } else {
      try {
        rels = read_relationships(pkg_, "");
      } catch (const host::HostError&) {
        defect = "损坏";
      }
    }
    std::string workbook_part;
    for (auto& r : rels) {
      if (is_kind(r, "officeDocument") && !r.external && workbook_part.empty()) {
        workbook_part = r.target;
      } else {
        pass.package_relationships.push_back(std::move(r));
      }
    }
    if (!workbook_part.empty() && pkg_.has(workbook_part)) return workbook_part;
    std::string usual = "xl/workbook.xml";
    if (!pkg_.has(usual)) {
      if (workbook_part.empty()) pkg_.fail("_rels/.rels", "找不到工作簿部件");
      pkg_.fail(workbook_part, "部件缺失");
    }
    if (defect.empty()) defect = workbook_part.empty() ? "未指向工作簿" : "指向的工作簿部件不存在";
    book_->repairs.push_back("包关系部件 _rels/.rels " + defect + "，已从标准位置 " + usual +
                             " 读入工作簿");
    if (defect == "缺失" || defect == "损坏") {
      static const std::pair<const char*, const char*> kProperties[] = {
          {"docProps/core.xml",
           "http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
           "core-properties"},
          {"docProps/app.xml",
           "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
           "extended-properties"}};
      for (const auto& [part, type] : kProperties) {
        if (!pkg_.has(part)) continue;
        pass.package_relationships.push_back(
            {fresh_rel_id(pass.package_relationships), type, part, false});
      }
    }
    return usual;
  }

  void read_sheet(const std::string& part, const std::vector<std::string>& strings,
                  spreadsheet::Sheet& sheet) {
    consumed_.insert(part);
    consumed_.insert(rels_part(part));
    WorksheetRead r =
        read_worksheet(pkg_, part, strings, book_->styles.size(), sheet, book_->repairs);
    for (auto& rel : read_relationships(pkg_, part)) {
      if (!r.drawing_rel.empty() && rel.id == r.drawing_rel && !rel.external &&
          pkg_.has(rel.target)) {
        consumed_.insert(rel.target);
        consumed_.insert(rels_part(rel.target));
        read_drawing(pkg_, rel.target, sheet, book_->max_digit_width,
                     [&](const std::string& image_part) { return image(image_part); });
        continue;
      }
      sheet.passthrough.relationships.push_back(std::move(rel));
    }
  }

  uint32_t image(const std::string& part) {
    if (auto it = image_by_part_.find(part); it != image_by_part_.end()) return it->second;
    auto bytes = std::make_shared<const std::string>(pkg_.read(part));
    picture_media_.insert(part);
    // Identical images are held once.
    uint32_t index = 0;
    if (auto it = image_by_bytes_.find(*bytes); it != image_by_bytes_.end()) {
      index = it->second;
    } else {
      index = static_cast<uint32_t>(book_->images.size());
      spreadsheet::Image img;
      img.bytes = bytes;
      img.extension = extension_of(part);
      int w = 0, h = 0, comp = 0;
      if (bytes->size() < (1u << 30) &&
          stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(bytes->data()),
                                static_cast<int>(bytes->size()), &w, &h, &comp)) {
        img.width_px = w;
        img.height_px = h;
      }
      book_->images.push_back(img);
      image_by_bytes_.emplace(*bytes, index);
    }
    image_by_part_[part] = index;
    return index;
  }

  void collect_raw_parts() {
    auto& pass = book_->passthrough;
    // Media of pictures are modelled, unless something kept as written uses them too.
    std::set<std::string> referenced;
    auto note = [&](const std::vector<RawRelationship>& rels) {
      for (const auto& r : rels) {
        if (!r.external) referenced.insert(r.target);
      }
    };
    note(pass.package_relationships);
    note(pass.workbook_relationships);
    for (const auto& s : book_->sheets) {
      note(s->passthrough.relationships);
      note(s->passthrough.drawing_relationships);
    }
    std::vector<std::string> raw;
    for (const std::string& p : pkg_.parts()) {
      if (consumed_.count(p)) continue;
      if (picture_media_.count(p)) continue;
      raw.push_back(p);
      // "a/_rels/b.xml.rels" holds the relationships of "a/b.xml".
      const size_t slash = p.rfind("/_rels/");
      if (slash != std::string::npos && p.size() > slash + 7 + 5 &&
          p.compare(p.size() - 5, 5, ".rels") == 0) {
        note(read_relationships(
            pkg_, p.substr(0, slash + 1) + p.substr(slash + 7, p.size() - slash - 12)));
      }
    }
    for (const std::string& m : picture_media_) {
      if (referenced.count(m)) raw.push_back(m);
    }
    for (const std::string& p : raw) {
      spreadsheet::RawPart part;
      part.path = p;
      if (auto it = types_.overrides.find(p); it != types_.overrides.end())
        part.content_type = it->second;
      part.data = std::make_shared<const std::string>(pkg_.read(p));
      pass.parts.push_back(std::move(part));
    }
    for (const auto& [ext, type] : types_.defaults)
      pass.default_content_types.emplace_back(ext, type);
  }

  PackageReader pkg_;
  ReadScope scope_;
  bool left_out_ = false;  // a sheet's cells were not read
  Workbook* book_ = nullptr;
  ContentTypes types_;
  std::set<std::string> consumed_;
  std::set<std::string> picture_media_;
  std::map<std::string, uint32_t> image_by_part_;
  std::unordered_map<std::string, uint32_t> image_by_bytes_;
};

}  // namespace

std::unique_ptr<spreadsheet::Workbook> read_workbook(const std::string& path,
                                                     const UnpackLimits& limits) {
  return BookReader(path, limits).run();
}

std::unique_ptr<spreadsheet::Workbook> read_workbook(const std::string& path,
                                                     const ReadScope& scope,
                                                     const UnpackLimits& limits) {
  return BookReader(path, limits, scope).run();
}

std::unique_ptr<spreadsheet::Workbook> read_workbook(std::shared_ptr<const std::string> bytes,
                                                     const std::string& name,
                                                     const UnpackLimits& limits) {
  return BookReader(std::move(bytes), name, limits).run();
}

}  // namespace kelv::xlsx
