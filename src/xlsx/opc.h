// Package plumbing: part names, relationship parts and content types.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/passthrough.h"

namespace kelv::xlsx {

class PackageReader;
class XmlOut;

// The folder of a part ("xl/worksheets/sheet1.xml" -> "xl/worksheets").
std::string part_folder(std::string_view part);
// The relationships part of a part ("xl/_rels/workbook.xml.rels").
std::string rels_part(std::string_view part);
// A relationship target resolved against its source part, as a part name
// without a leading "/" (".." and "%20" handled).
std::string resolve_target(std::string_view source_part, std::string_view target);
// A part name written as a target relative to the source part.
std::string relative_target(std::string_view source_part, std::string_view part);
// The last segment of a relationship type ("worksheet", "drawing", ...).
std::string_view rel_kind(std::string_view type);

// Reads a relationships part (empty when it is absent). Internal targets
// come back resolved to part names.
std::vector<spreadsheet::RawRelationship> read_relationships(PackageReader& package,
                                                             std::string_view source_part);
// Writes a relationships part; internal targets are part names.
std::string write_relationships(std::string_view source_part,
                                const std::vector<spreadsheet::RawRelationship>& rels);
// The same in steps, for a part of very many relationships written as it
// is made: the start, each relationship, the end.
void start_relationships(XmlOut& out);
void append_relationship(XmlOut& out, std::string_view source_part, std::string_view id,
                         std::string_view type, std::string_view target, bool external);
void end_relationships(XmlOut& out);

// A relationship id not yet among the given ones ("rId7").
std::string fresh_rel_id(const std::vector<spreadsheet::RawRelationship>& rels);

// fresh_rel_id for a list that grows by one relationship per id taken,
// without looking at the whole list again for each: a drawing with a
// hundred thousand pictures gets its ids in linear time, not quadratic.
class FreshRelIds {
 public:
  explicit FreshRelIds(const std::vector<spreadsheet::RawRelationship>& rels);
  // The id fresh_rel_id would give once the previous ids were added.
  std::string next();

 private:
  std::set<std::string> used_;  // the ids it was given
  size_t count_ = 0;            // the number of the last id given out, or of those it was given
};

struct ContentTypes {
  std::map<std::string, std::string> defaults;   // extension (lower case) -> type
  std::map<std::string, std::string> overrides;  // part name -> type
  std::string type_of(const std::string& part) const;
};
ContentTypes read_content_types(PackageReader& package);

}  // namespace kelv::xlsx
