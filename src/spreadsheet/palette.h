// The object model's small vocabularies over the file's: the classic
// 56-colour palette (ColorIndex n is the file's indexed colour n + 7),
// alignment constants and underline styles.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "spreadsheet/model.h"

namespace kelv::spreadsheet {

// ARGB of palette entry 1..56.
uint32_t palette_rgb(int32_t color_index);
// ColorIndex 0 is automatic (Color{} / auto); 1..56 the palette; anything
// else throws HostError 1004.
Color color_from_index(int32_t color_index, bool automatic_is_auto);
// The ColorIndex of a colour: 0 for automatic, none, theme colours and RGB
// values outside the palette.
int32_t color_index_of(const Color& c);

// Horizontal / vertical alignment constants to the file's names and back.
// Unknown constants throw HostError 1004.
std::string horizontal_name(int32_t xl);
int32_t horizontal_constant(std::string_view name);
std::string vertical_name(int32_t xl);
int32_t vertical_constant(std::string_view name);

std::string underline_name(int32_t xl);
int32_t underline_constant(std::string_view name);

}  // namespace kelv::spreadsheet
