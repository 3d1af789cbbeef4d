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

Rgb Pick(uint32_t v, const Rgb* table, int n) {
  return table[v % static_cast<uint32_t>(n)];
}

}  // namespace

bool WritePortraitJpeg(const std::string& path, uint32_t variant, int32_t width, int32_t height) {
  static const Rgb kBackgrounds[] = {
      {214, 228, 245}, {238, 238, 238}, {250, 235, 215}, {225, 240, 225}, {240, 228, 240}};
  static const Rgb kSkins[] = {{241, 205, 178}, {234, 192, 160}, {222, 180, 146}};
  static const Rgb kHair[] = {{30, 26, 24}, {52, 40, 32}, {20, 20, 28}};
  static const Rgb kShirts[] = {{40, 70, 140}, {200, 200, 205}, {150, 40, 50}, {40, 110, 80}};
  const Rgb bg = Pick(variant, kBackgrounds, 5);
  const Rgb skin = Pick(variant / 5, kSkins, 3);
  const Rgb hair = Pick(variant / 15, kHair, 3);
  const Rgb shirt = Pick(variant / 45, kShirts, 4);

  std::vector<uint8_t> pixels(static_cast<size_t>(width * height * 3));
  const double cx = width / 2.0;
  const double headY = height * 0.40, headRx = width * 0.22, headRy = height * 0.20;
  const double shoulderY = height * 0.98, shoulderRx = width * 0.48, shoulderRy = height * 0.30;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      Rgb c = bg;
      const double dx = (x - cx), hy = (y - headY), sy = (y - shoulderY);
      const bool inShoulders =
          dx * dx / (shoulderRx * shoulderRx) + sy * sy / (shoulderRy * shoulderRy) <= 1.0;
      const bool inHead = dx * dx / (headRx * headRx) + hy * hy / (headRy * headRy) <= 1.0;
      const bool inHair =
          dx * dx / ((headRx + 3) * (headRx + 3)) + (hy + 6) * (hy + 6) / (headRy * headRy) <=
              1.0 &&
          y < headY - headRy * 0.35;
      if (inShoulders) c = shirt;
      if (inHair) c = hair;
      if (inHead && !(inHair && y < headY - headRy * 0.55)) c = skin;
      if (inHead && (y > headY - headRy * 0.15 && y < headY - headRy * 0.02) &&
          (std::abs(dx) > headRx * 0.25 && std::abs(dx) < headRx * 0.55)) {
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
