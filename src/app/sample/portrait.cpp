// Synthetic photos for the sample workspace.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "app/sample/sample_workspace.h"
#include "host/file_path.h"

namespace kelv::sample {
namespace {

struct Rgb {
  uint8_t r, g, b;
};

Rgb pick(uint32_t v, const Rgb* table, int n) {
  return table[v % static_cast<uint32_t>(n)];
}

}  // namespace

bool write_portrait_jpeg(const std::string& path, uint32_t variant, int32_t width, int32_t height) {
  static const Rgb kBackgrounds[] = {
      {214, 228, 245}, {238, 238, 238}, {250, 235, 215}, {225, 240, 225}, {240, 228, 240}};
  static const Rgb kSkins[] = {{241, 205, 178}, {234, 192, 160}, {222, 180, 146}};
  static const Rgb kHair[] = {{30, 26, 24}, {52, 40, 32}, {20, 20, 28}};
  static const Rgb kShirts[] = {{40, 70, 140}, {200, 200, 205}, {150, 40, 50}, {40, 110, 80}};
  const Rgb bg = pick(variant, kBackgrounds, 5);
  const Rgb skin = pick(variant / 5, kSkins, 3);
  const Rgb hair = pick(variant / 15, kHair, 3);
  const Rgb shirt = pick(variant / 45, kShirts, 4);

  std::vector<uint8_t> pixels(static_cast<size_t>(width * height * 3));
  const double cx = width / 2.0;
  const double head_y = height * 0.40, head_rx = width * 0.22, head_ry = height * 0.20;
  const double shoulder_y = height * 0.98, shoulder_rx = width * 0.48, shoulder_ry = height * 0.30;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      Rgb c = bg;
      const double dx = (x - cx), hy = (y - head_y), sy = (y - shoulder_y);
      const bool in_shoulders =
          dx * dx / (shoulder_rx * shoulder_rx) + sy * sy / (shoulder_ry * shoulder_ry) <= 1.0;
      const bool in_head = dx * dx / (head_rx * head_rx) + hy * hy / (head_ry * head_ry) <= 1.0;
      const bool in_hair =
          dx * dx / ((head_rx + 3) * (head_rx + 3)) + (hy + 6) * (hy + 6) / (head_ry * head_ry) <=
              1.0 &&
          y < head_y - head_ry * 0.35;
      if (in_shoulders) c = shirt;
      if (in_hair) c = hair;
      if (in_head && !(in_hair && y < head_y - head_ry * 0.55)) c = skin;
      if (in_head && (y > head_y - head_ry * 0.15 && y < head_y - head_ry * 0.02) &&
          (std::abs(dx) > head_rx * 0.25 && std::abs(dx) < head_rx * 0.55)) {
        c = {40, 30, 30};  // eyes
      }
      uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
    }
  }
  std::string jpeg;
  const auto append = [](void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<size_t>(size));
  };
  if (stbi_write_jpg_to_func(append, &jpeg, width, height, 3, pixels.data(), 85) == 0) return false;
  std::ofstream out(host::file_path(path), std::ios::binary | std::ios::trunc);
  out << jpeg;
  return static_cast<bool>(out.flush());
}

}  // namespace kelv::sample
