// Whether a file on disk is a picture Pictures.Insert can place: a JPEG or
// PNG by its first bytes, no larger than kMaxPictureBytes, with a header
// that gives its size. Lets a caller look at every picture before any is
// inserted.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelv::spreadsheet {

inline constexpr uint64_t kMaxPictureBytes = 20u << 20;

enum class PictureFileState : uint8_t {
  Readable,
  Missing,      // no such file (or a folder of that name)
  Unopenable,   // present but cannot be read (permissions)
  Empty,        // 0 bytes
  TooLarge,     // above kMaxPictureBytes
  Bmp,          // a BMP picture, whatever its name says
  Gif,          // a GIF picture
  OtherFormat,  // neither JPEG nor PNG by its first bytes
  Damaged,      // announces JPEG or PNG but its header gives no size
};

// Looks at the file at `path` ("\" and "/" both separate) as
// insert_picture_at_active_cell would, without keeping anything.
PictureFileState probe_picture_file(std::string_view path);

}  // namespace kelv::spreadsheet
