// Helpers of the xlsx tests: model comparison, parsed-XML comparison of
// parts, hand-made packages.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "spreadsheet/model.h"
#include "support/outside_tools.h"
#include "support/temp_folder.h"

namespace kelv::xlsx::test {

std::string data_file(const std::string& name);  // tests/data/xlsx/NAME

using TempFolder = kelv::test::TempFolder;
using kelv::test::openpyxl_accepts;
using kelv::test::python_script_passes;

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
