// Pictures.Insert: JPEG and PNG files, sized from their headers (stb_image
// reads only the header here), stored once per workbook. A file is read
// whole only when its first bytes say JPEG or PNG and it is no larger than
// a photo can sensibly be.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>

#include <filesystem>
#include <fstream>

#include "host/environment.h"
#include "host/file_path.h"
#include "host/host_error.h"
#include "spreadsheet/engine_impl.h"
#include "spreadsheet/picture_file.h"

namespace kelv::spreadsheet {
namespace {

using host::HostError;

std::string in_quotes(std::string_view s) {
  return "“" + std::string(s) + "”";
}

// The file format a picture's first bytes announce: "jpeg", "png" or "".
std::string announced_format(const unsigned char* head, size_t n) {
  if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return "jpeg";
  if (n >= 8 && head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G') return "png";
  return "";
}

// The pixel size a JPEG or PNG header gives; false when it gives none.
bool picture_size(std::string_view bytes, int& w, int& h) {
  int comp = 0;
  const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
  return stbi_info_from_memory(data, static_cast<int>(bytes.size()), &w, &h, &comp) && w > 0 &&
         h > 0;
}

}  // namespace

PictureFileState probe_picture_file(std::string_view path) {
  const std::filesystem::path file = host::file_path(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return PictureFileState::Missing;
  const uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec) return PictureFileState::Unopenable;
  if (size == 0) return PictureFileState::Empty;
  std::ifstream in(file, std::ios::binary);
  if (!in) return PictureFileState::Unopenable;
  unsigned char head[8] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const auto n = static_cast<size_t>(in.gcount());
  if (announced_format(head, n).empty()) {
    if (n >= 2 && head[0] == 'B' && head[1] == 'M') return PictureFileState::Bmp;
    if (n >= 4 && head[0] == 'G' && head[1] == 'I' && head[2] == 'F' && head[3] == '8')
      return PictureFileState::Gif;
    return PictureFileState::OtherFormat;
  }
  if (size > kMaxPictureBytes) return PictureFileState::TooLarge;
  std::string bytes(static_cast<size_t>(size), '\0');
  in.clear();
  in.seekg(0);
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return PictureFileState::Damaged;
  int w = 0, h = 0, comp = 0;
  if (!stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                             static_cast<int>(bytes.size()), &w, &h, &comp) ||
      w <= 0 || h <= 0)
    return PictureFileState::Damaged;
  return PictureFileState::Readable;
}

void EnginePicture::set_alternative_text(std::string_view text) {
  model().description = std::string(text);
}

void EnginePicture::set_top(double pt) {
  model().top = pt;
}
void EnginePicture::set_left(double pt) {
  model().left = pt;
}

void EnginePicture::set_width(double pt) {
  if (!(pt >= 0)) throw HostError::host(host::kRefused, "图片宽度无效");
  PictureModel& m = model();
  if (m.lock_aspect_ratio && m.width > 0) m.height *= pt / m.width;
  m.width = pt;
}

void EnginePicture::set_height(double pt) {
  if (!(pt >= 0)) throw HostError::host(host::kRefused, "图片高度无效");
  PictureModel& m = model();
  if (m.lock_aspect_ratio && m.height > 0) m.width *= pt / m.height;
  m.height = pt;
}

host::Picture& EngineSheet::insert_picture_at_active_cell(std::string_view path) {
  const std::string native = host::native_path(path);
  const std::filesystem::path file = host::file_path(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec))
    throw HostError::host(host::kFileNotFound, "找不到图片文件" + in_quotes(native));
  std::ifstream in(file, std::ios::binary);
  if (!in) throw HostError::host(host::kRefused, "无法读取图片文件" + in_quotes(native));
  const HostError unreadable = HostError::host(
      host::kRefused, "无法插入图片" + in_quotes(native) + "：不是可读的 JPEG 或 PNG 文件");
  unsigned char head[8] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const std::string ext = announced_format(head, static_cast<size_t>(in.gcount()));
  const uintmax_t size = std::filesystem::file_size(file, ec);
  if (ext.empty() || ec || size > kMaxPictureBytes) throw unreadable;
  auto whole = std::make_shared<std::string>(static_cast<size_t>(size), '\0');
  in.clear();
  in.seekg(0);
  if (!in.read(whole->data(), static_cast<std::streamsize>(size))) throw unreadable;
  std::shared_ptr<const std::string> bytes = std::move(whole);
  int w = 0, h = 0;
  if (!picture_size(*bytes, w, h)) throw unreadable;
  Image image;
  image.bytes = std::move(bytes);
  image.extension = ext;
  image.width_px = w;
  image.height_px = h;
  return place_picture(std::move(image), host::path_text(file.filename()));
}

host::Picture& EngineSheet::insert_picture_bytes_at_active_cell(std::string_view bytes,
                                                                std::string_view file_name) {
  const std::string ext =
      announced_format(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  int w = 0, h = 0;
  if (ext.empty() || bytes.size() > kMaxPictureBytes || !picture_size(bytes, w, h)) {
    throw HostError::host(host::kRefused,
                          "无法插入图片" + in_quotes(file_name) + "：不是可读的 JPEG 或 PNG 文件");
  }
  Image image;
  image.bytes = std::make_shared<const std::string>(bytes);
  image.extension = ext;
  image.width_px = w;
  image.height_px = h;
  return place_picture(std::move(image), std::string(file_name));
}

host::Picture& EngineSheet::place_picture(Image image, std::string description) {
  const int32_t w = image.width_px, h = image.height_px;
  const uint32_t id = book_->store_image(std::move(image));
  PictureModel pic;
  pic.image = id;
  pic.top = top_of(sheet_->view.active_row);
  pic.left = left_of(sheet_->view.active_col);
  pic.width = w * 0.75;
  pic.height = h * 0.75;
  if (pictures_counted_ != sheet_->pictures.size()) {
    next_picture_id_ = 1;
    for (const PictureModel& p : sheet_->pictures)
      next_picture_id_ = std::max(next_picture_id_, p.id + 1);
  }
  const int32_t next_id = next_picture_id_++;
  pic.id = next_id;
  pic.name = "图片 " + std::to_string(next_id);
  pic.description = std::move(description);
  sheet_->pictures.push_back(std::move(pic));
  pictures_counted_ = sheet_->pictures.size();
  book_->mark_modified();
  pictures_.push_back(std::make_unique<EnginePicture>(*sheet_, sheet_->pictures.size() - 1));
  pictures_.back()->select();
  return *pictures_.back();
}

}  // namespace kelv::spreadsheet
