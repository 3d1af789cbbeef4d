// Helpers of the xlsx tests: temporary folders, model comparison, parsed-XML
// comparison of parts.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "spreadsheet/model.h"

namespace kelv::xlsx::test {

std::string data_file(const std::string& name);  // tests/data/xlsx/NAME

// A fresh folder removed at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  // The UTF-8 path of `name` inside it, in the platform's form.
  std::string path(const std::string& name) const;

 private:
  std::filesystem::path dir_;
};

// Everything the model holds, compared field by field, with formats
// resolved through each workbook's style table.
void expect_same_book(const spreadsheet::Workbook& a, const spreadsheet::Workbook& b);

// XML compared as parsed: prefixes resolved to namespace names, namespace
// declarations and attribute order ignored, whitespace-only text between
// elements ignored.
std::string canonical_xml(const std::string& xml);

// The parts every hand-made test package shares: content types, the
// package relationships and the workbook's relationships to sheet1.xml and
// sharedStrings.xml. Tests add xl/workbook.xml and the rest.
std::map<std::string, std::string> package_skeleton();

// A part of a package file.
std::string read_part(const std::string& file, const std::string& part);
bool has_part(const std::string& file, const std::string& part);

}  // namespace kelv::xlsx::test
