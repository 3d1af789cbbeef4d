// How a cell looks, independent of any drawing library: the text a value
// shows through its number format, and colours resolved from the forms a
// file gives them. The screen view and the printed page both draw from
// these, so a cell reads the same in both.
#pragma once

#include <cstdint>
#include <string>

#include "spreadsheet/model.h"
#include "spreadsheet/number_format.h"

namespace kelv::print {

// The text a cell shows (UTF-8) with the colour its format names: numbers
// and texts through their number format, Booleans as TRUE/FALSE, errors as
// their code. `options` give General numbers the width they may take.
spreadsheet::FormattedText formatted_text(const spreadsheet::Cell& cell,
                                          const spreadsheet::Style& style,
                                          const spreadsheet::FormatOptions& options);
// The text alone, with no width to fit.
std::string display_text(const spreadsheet::Cell& cell, const spreadsheet::Style& style);

// A colour as 0xRRGGBB; `fallback` for automatic and absent colours and the
// system colours. Indexed colours use the classic 64-entry palette, theme
// colours the default office theme; both take their tint.
uint32_t resolve_color(const spreadsheet::Color& c, uint32_t fallback);

}  // namespace kelv::print
