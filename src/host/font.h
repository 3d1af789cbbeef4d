// Font properties as the component reads and sets them (Range.Font,
// Application.ReplaceFormat.Font). A FontChange names only what it changes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kelv::host {

struct FontInfo {
  std::string name;
  double size = 11;
  bool bold = false;
  int32_t color_index = 0;    // 0: automatic (or a colour outside the palette)
  int32_t underline = -4142;  // xlUnderlineStyleNone; 2 single, -4119 double
};

struct FontChange {
  std::optional<std::string> name;
  std::optional<double> size;
  std::optional<bool> bold;
  std::optional<int32_t> color_index;  // 0 sets automatic
  std::optional<int32_t> underline;
  bool empty() const { return !name && !size && !bold && !color_index && !underline; }
};

// Application.ReplaceFormat: what Replace(..., ReplaceFormat:=True) applies
// to every cell it matched.
struct ReplaceFormat {
  FontChange font;
  std::optional<int32_t> horizontal_alignment;
  std::optional<int32_t> vertical_alignment;
};

}  // namespace kelv::host
