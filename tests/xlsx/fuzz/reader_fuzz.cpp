// libFuzzer target: any bytes handed to the reader as a file either read or
// raise a HostError; nothing else may happen.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "host/host_error.h"
#include "xlsx/xlsx_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/kelv-fuzz-" + std::to_string(getpid()) + ".xlsx";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  kelv::xlsx::UnpackLimits limits;
  limits.total_bytes = 64u << 20;  // small, so a bomb is refused quickly
  limits.part_bytes = 32u << 20;
  try {
    auto book = kelv::xlsx::read_workbook(path, limits);
  } catch (const kelv::host::HostError&) {
  }
  return 0;
}
