// Drawing parts: pictures become PictureModel boxes in points; every other
// anchor (charts, shapes) is kept as written.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/model.h"

namespace kelv::xlsx {

class PackageReader;

// Reads the drawing part of a sheet. image_of turns an image part name into
// an index of Workbook::images.
void read_drawing(PackageReader& package, const std::string& part, spreadsheet::Sheet& sheet,
                  int32_t max_digit_width,
                  const std::function<uint32_t(const std::string& image_part)>& image_of);

struct DrawingOut {
  std::string xml;
  // Relationships of the drawing: the carried ones plus one per image,
  // whose target is image_parts[image index].
  std::vector<spreadsheet::RawRelationship> relationships;
};

// Writes the drawing of a sheet; image_part names the part of each image.
DrawingOut write_drawing(const spreadsheet::Sheet& sheet, int32_t max_digit_width,
                         const std::function<std::string(uint32_t image)>& image_part);
// The same for a drawing of many pictures (one a seat label), made and
// handed over piece by piece: `flush` takes each piece of the drawing part
// of about kDeflatePiece bytes (it takes the text out) and the rest is
// returned; `image_relationship` hears each image's relationship as its id
// is given out. The sheet's carried relationships are not repeated.
std::string write_drawing(
    const spreadsheet::Sheet& sheet, int32_t max_digit_width,
    const std::function<std::string(uint32_t image)>& image_part,
    const std::function<void(std::string&)>& flush,
    const std::function<void(std::string_view id, std::string_view target)>& image_relationship);

}  // namespace kelv::xlsx
