// The styles part: reading cellXfs into the style table (ids follow the
// file's order) and writing the table back with shared fonts, fills,
// borders and number formats.
#pragma once

#include <pugixml.hpp>
#include <string>

#include "spreadsheet/model.h"

namespace kelv::xlsx {

class PackageReader;

void read_styles(PackageReader& package, const std::string& part, spreadsheet::Workbook& book);
std::string write_styles(const spreadsheet::Workbook& book);

// Pieces shared with the tests and other parts.
spreadsheet::Color read_color(pugi::xml_node node);
spreadsheet::Font read_font(pugi::xml_node node);
// Maximum digit width in pixels of a font at 96 dpi.
int32_t max_digit_width(const spreadsheet::Font& font);

}  // namespace kelv::xlsx
