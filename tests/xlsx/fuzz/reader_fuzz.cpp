// libFuzzer target for the .xlsx reader: fuzz_input.h says what an input
// is and what must hold.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = std::filesystem::temp_directory_path().string();
  kelv::xlsx::fuzz::read_input(data, size, folder);
  return 0;
}
