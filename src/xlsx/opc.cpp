#include "xlsx/opc.h"

#include <algorithm>
#include <set>

#include "xlsx/package.h"
#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string percent_decode(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
      out.push_back(static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

std::vector<std::string> split(std::string_view s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i <= s.size()) {
    const size_t j = std::min(s.find('/', i), s.size());
    if (j > i) out.emplace_back(s.substr(i, j - i));
    i = j + 1;
  }
  return out;
}

}  // namespace

std::string part_folder(std::string_view part) {
  const size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash));
}

std::string rels_part(std::string_view part) {
  const std::string folder = part_folder(part);
  const std::string_view name = part.substr(folder.empty() ? 0 : folder.size() + 1);
  return (folder.empty() ? "" : folder + "/") + "_rels/" + std::string(name) + ".rels";
}

std::string resolve_target(std::string_view source_part, std::string_view target) {
  std::string t = percent_decode(target);
  if (const size_t hash = t.find('#'); hash != std::string::npos) t.resize(hash);
  std::vector<std::string> segs;
  if (t.empty() || t[0] != '/') segs = split(part_folder(source_part));
  for (const std::string& s : split(t)) {
    if (s == ".") continue;
    if (s == "..") {
      if (!segs.empty()) segs.pop_back();
      continue;
    }
    segs.push_back(s);
  }
  std::string out;
  for (const std::string& s : segs) {
    if (!out.empty()) out.push_back('/');
    out += s;
  }
  return out;
}

std::string relative_target(std::string_view source_part, std::string_view part) {
  const std::vector<std::string> from = split(part_folder(source_part));
  const std::vector<std::string> to = split(part);
  size_t common = 0;
  while (common < from.size() && common + 1 < to.size() && from[common] == to[common]) ++common;
  std::string out;
  for (size_t i = common; i < from.size(); ++i) out += "../";
  for (size_t i = common; i < to.size(); ++i) {
    out += to[i];
    if (i + 1 < to.size()) out.push_back('/');
  }
  return out;
}

std::string_view rel_kind(std::string_view type) {
  const size_t slash = type.rfind('/');
  return slash == std::string_view::npos ? type : type.substr(slash + 1);
}

std::vector<spreadsheet::RawRelationship> read_relationships(PackageReader& package,
                                                             std::string_view source_part) {
  std::vector<spreadsheet::RawRelationship> out;
  const std::string part = source_part.empty() ? "_rels/.rels" : rels_part(source_part);
  if (!package.has(part)) return out;
  pugi::xml_document doc = parse_part(package, part);
  for (pugi::xml_node n : doc.document_element().children()) {
    if (local_name(n.name()) != "Relationship") continue;
    spreadsheet::RawRelationship r;
    r.id = attr_str(n, "Id");
    r.type = attr_str(n, "Type");
    r.external = attr_str(n, "TargetMode") == "External";
    r.target = attr_str(n, "Target");
    if (!r.external) r.target = resolve_target(source_part, r.target);
    out.push_back(std::move(r));
  }
  return out;
}

void start_relationships(XmlOut& out) {
  out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Relationships xmlns=\"");
  out.raw(kPkgRelNs).raw("\">");
}

void append_relationship(XmlOut& out, std::string_view source_part, std::string_view id,
                         std::string_view type, std::string_view target, bool external) {
  out.raw("<Relationship").attr("Id", id).attr("Type", type);
  if (external) {
    out.attr("Target", target).attr("TargetMode", "External");
  } else {
    out.attr("Target",
             source_part.empty() ? std::string(target) : relative_target(source_part, target));
  }
  out.raw("/>");
}

void end_relationships(XmlOut& out) {
  out.raw("</Relationships>");
}

std::string write_relationships(std::string_view source_part,
                                const std::vector<spreadsheet::RawRelationship>& rels) {
  XmlOut out;
  start_relationships(out);
  for (const auto& r : rels)
    append_relationship(out, source_part, r.id, r.type, r.target, r.external);
  end_relationships(out);
  return std::move(out.str());
}

std::string fresh_rel_id(const std::vector<spreadsheet::RawRelationship>& rels) {
  std::set<std::string> used;
  for (const auto& r : rels) used.insert(r.id);
  for (size_t i = rels.size() + 1;; ++i) {
    std::string id = "rId" + std::to_string(i);
    if (!used.count(id)) return id;
  }
}

FreshRelIds::FreshRelIds(const std::vector<spreadsheet::RawRelationship>& rels)
    : count_(rels.size()) {
  for (const auto& r : rels) used_.insert(r.id);
}

std::string FreshRelIds::next() {
  // Every id given out is past the ones before it, so only the ids it was
  // given need looking at: a drawing of a hundred thousand pictures keeps
  // no set of their ids.
  for (;;) {
    std::string id = "rId" + std::to_string(++count_);
    if (!used_.count(id)) return id;
  }
}

std::string ContentTypes::type_of(const std::string& part) const {
  if (auto it = overrides.find(part); it != overrides.end()) return it->second;
  const size_t dot = part.rfind('.');
  if (dot != std::string::npos) {
    if (auto it = defaults.find(lower(part.substr(dot + 1))); it != defaults.end())
      return it->second;
  }
  return {};
}

ContentTypes read_content_types(PackageReader& package) {
  ContentTypes ct;
  pugi::xml_document doc = parse_part(package, "[Content_Types].xml");
  for (pugi::xml_node n : doc.document_element().children()) {
    const std::string_view name = local_name(n.name());
    if (name == "Default") {
      ct.defaults[lower(attr_str(n, "Extension"))] = attr_str(n, "ContentType");
    } else if (name == "Override") {
      std::string part = attr_str(n, "PartName");
      if (!part.empty() && part[0] == '/') part.erase(0, 1);
      ct.overrides[percent_decode(part)] = attr_str(n, "ContentType");
    }
  }
  return ct;
}

}  // namespace kelv::xlsx
