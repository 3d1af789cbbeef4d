#include "spreadsheet/palette.h"

#include "host/constants.h"
#include "host/host_error.h"

namespace kelv::spreadsheet {
namespace {

constexpr uint32_t kPalette[56] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

host::HostError bad_value(std::string_view what) {
  return host::HostError::host(host::kRefused, "无效的" + std::string(what) + "值");
}

}  // namespace

uint32_t palette_rgb(int32_t color_index) {
  if (color_index < 1 || color_index > 56) throw bad_value("颜色索引");
  return 0xFF000000u | kPalette[color_index - 1];
}

Color color_from_index(int32_t color_index, bool automatic_is_auto) {
  if (color_index == 0) return automatic_is_auto ? Color::automatic() : Color{};
  if (color_index == -4105) return Color::automatic();  // xlColorIndexAutomatic
  if (color_index == -4142) return Color{};             // xlColorIndexNone
  if (color_index < 1 || color_index > 56) throw bad_value("颜色索引");
  return Color::indexed(static_cast<uint32_t>(color_index + 7));
}

int32_t color_index_of(const Color& c) {
  switch (c.kind) {
    case Color::Kind::Indexed:
      if (c.value >= 8 && c.value <= 63) return static_cast<int32_t>(c.value) - 7;
      if (c.value < 8) return static_cast<int32_t>(c.value) + 1;
      return 0;
    case Color::Kind::Rgb:
      for (int32_t i = 0; i < 56; ++i)
        if ((c.value & 0xFFFFFF) == kPalette[i]) return i + 1;
      return 0;
    default:
      return 0;
  }
}

std::string horizontal_name(int32_t xl) {
  switch (xl) {
    case host::xlGeneral:
      return "";
    case host::xlLeft:
      return "left";
    case host::xlCenter:
      return "center";
    case host::xlRight:
      return "right";
    case 5:
      return "fill";
    case -4130:
      return "justify";
    case 7:
      return "centerContinuous";
    case -4117:
      return "distributed";
    default:
      throw bad_value("水平对齐");
  }
}

int32_t horizontal_constant(std::string_view name) {
  if (name == "left") return host::xlLeft;
  if (name == "center") return host::xlCenter;
  if (name == "right") return host::xlRight;
  if (name == "fill") return 5;
  if (name == "justify") return -4130;
  if (name == "centerContinuous") return 7;
  if (name == "distributed") return -4117;
  return host::xlGeneral;
}

std::string vertical_name(int32_t xl) {
  switch (xl) {
    case host::xlTop:
      return "top";
    case host::xlCenter:
      return "center";
    case host::xlBottom:
      return "";
    case -4130:
      return "justify";
    case -4117:
      return "distributed";
    default:
      throw bad_value("垂直对齐");
  }
}

int32_t vertical_constant(std::string_view name) {
  if (name == "top") return host::xlTop;
  if (name == "center") return host::xlCenter;
  if (name == "justify") return -4130;
  if (name == "distributed") return -4117;
  return host::xlBottom;
}

std::string underline_name(int32_t xl) {
  switch (xl) {
    case -4142:
      return "";
    case 2:
      return "single";
    case -4119:
      return "double";
    case 4:
      return "singleAccounting";
    case 5:
      return "doubleAccounting";
    default:
      throw bad_value("下划线");
  }
}

int32_t underline_constant(std::string_view name) {
  if (name == "single") return 2;
  if (name == "double") return -4119;
  if (name == "singleAccounting") return 4;
  if (name == "doubleAccounting") return 5;
  return -4142;
}

}  // namespace kelv::spreadsheet
