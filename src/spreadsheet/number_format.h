// Number formats: the text a value shows through a format code, as the
// office suites show it. The whole code language is understood: up to four
// sections (positive; negative; zero; text) or conditions ([>=60]), colours
// ([Red], [Color10]), locale and currency tags ([$-804], [$¥-804]), Chinese
// numerals ([DBNum1]-[DBNum3]), dates and times with English and Chinese
// names, elapsed time ([h]:mm), fractions, scientific notation, literals,
// `_` spacing and `*` fill, and General fitted to the width available.
//
// Numbers are rounded half away from zero on the decimal value of their 15
// significant digits, so 2.675 with 0.00 shows 2.68 and 1.005 shows 1.01.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "spreadsheet/cell_values.h"

namespace kelv::spreadsheet {

// What a value shows: the text (UTF-8) and the colour its section names.
struct FormattedText {
  std::string text;
  // 0xRRGGBB of [Red], [Color10], ...; none where the section names none.
  std::optional<uint32_t> color;
  // A `*` fill: the character repeated to fill the cell, standing at byte
  // `fill_at` of `text` (where it is written once).
  std::string fill;
  size_t fill_at = std::string::npos;
  // The number shows as General, which shortens itself to fit a width.
  bool general = false;
};

struct FormatOptions {
  // General numbers are shortened to fit this width (losing decimals, then
  // in scientific notation); unlimited by default.
  double width = std::numeric_limits<double>::infinity();
  // The width of a text in the units of `width`; by default one a character.
  std::function<double(std::string_view)> measure;
  // ARGB of palette entries 1..56 for [ColorN] (the workbook's palette);
  // null for the classic palette.
  const uint32_t* palette = nullptr;
};

// A number through a format code ("" and "General" alike).
FormattedText format_number(double value, std::string_view code, const FormatOptions& options = {});

// A text through a format code: the text section (the fourth, or the only
// one with @) when there is one, the text itself otherwise.
FormattedText format_text(std::string_view text, std::string_view code);

// General: up to 15 significant digits, or fewer and then scientific
// notation until it fits `options.width`. Returns "" when not even the
// shortest form fits.
std::string general_text(double value, const FormatOptions& options = {});

}  // namespace kelv::spreadsheet
