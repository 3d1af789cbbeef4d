#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "engine_fixture.h"
#include "host/file_path.h"
#include "support/temp_folder.h"

namespace kelv::spreadsheet {
namespace {

namespace fs = std::filesystem;

std::string be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

// The header of a PNG file: enough for its size.
std::string png(uint32_t w, uint32_t h) {
  std::string s = "\x89PNG\r\n\x1a\n";
  s += be32(13) + "IHDR" + be32(w) + be32(h);
  s += std::string("\x08\x02\x00\x00\x00", 5);
  s += be32(0);
  return s;
}

// The start of a baseline JPEG file: SOI and a frame header.
std::string jpeg(uint16_t w, uint16_t h) {
  std::string s("\xFF\xD8\xFF\xC0\x00\x11\x08", 7);
  s += static_cast<char>(h >> 8);
  s += static_cast<char>(h);
  s += static_cast<char>(w >> 8);
  s += static_cast<char>(w);
  s += std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10);
  return s;
}

class PictureTest : public EngineTest {
 protected:
  PictureTest() : temp("pictures"), dir(temp.path()) {
    fs::create_directories(dir / host::file_path("照片"));
  }
  std::string file(const std::string& name, const std::string& bytes) {
    const fs::path p = dir / host::file_path("照片/" + name);
    std::ofstream(p, std::ios::binary) << bytes;
    return host::path_text(p);
  }
  test::TempFolder temp;
  fs::path dir;
};

TEST_F(PictureTest, InsertsAtTheActiveCellWithItsNaturalSize) {
  const std::string path = file("张三.jpg", jpeg(120, 160));
  ws().rows(1).set_row_height(30);
  cell(2, 2).activate();
  host::Picture& pic = ws().insert_picture(path);
  EXPECT_DOUBLE_EQ(pic.top(), 30);
  EXPECT_DOUBLE_EQ(pic.left(), 48);
  EXPECT_DOUBLE_EQ(pic.width(), 90);
  EXPECT_DOUBLE_EQ(pic.height(), 120);
  ASSERT_EQ(model().pictures.size(), 1u);
  const Image& img = Engine::model_of(*book).images[model().pictures[0].image];
  EXPECT_EQ(img.width_px, 120);
  EXPECT_EQ(img.extension, "jpeg");
}

TEST_F(PictureTest, LockedAspectRatioScalesTheOtherSide) {
  host::Picture& pic = ws().insert_picture(file("a.png", png(200, 100)));
  EXPECT_TRUE(pic.shape_range().lock_aspect_ratio());
  pic.shape_range().set_width(75);
  EXPECT_DOUBLE_EQ(pic.height(), 37.5);
  pic.shape_range().set_lock_aspect_ratio(false);
  pic.shape_range().set_height(60);
  EXPECT_DOUBLE_EQ(pic.width(), 75);
  EXPECT_DOUBLE_EQ(pic.height(), 60);
  pic.set_top(10);
  pic.set_left(20);
  EXPECT_DOUBLE_EQ(model().pictures[0].top, 10);
  EXPECT_DOUBLE_EQ(model().pictures[0].left, 20);
}

TEST_F(PictureTest, IdenticalImagesAreStoredOnce) {
  const std::string a = file("a.png", png(10, 10));
  const std::string b = file("b.png", png(10, 10));
  const std::string c = file("c.png", png(10, 11));
  ws().insert_picture(a);
  ws().insert_picture(b);
  ws().insert_picture(c);
  EXPECT_EQ(model().pictures.size(), 3u);
  EXPECT_EQ(Engine::model_of(*book).images.size(), 2u);
}

TEST_F(PictureTest, BackslashPathsAreAccepted) {
  std::string path = file("d.png", png(4, 4));
  std::replace(path.begin(), path.end(), '/', '\\');
  EXPECT_NO_THROW(ws().insert_picture(path));
}

TEST_F(PictureTest, MissingAndUnreadableFilesFailNamingTheFile) {
  try {
    ws().insert_picture(host::path_text(dir) + "/照片/无.jpg");
    FAIL();
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), 53);
    EXPECT_NE(e.description().find("无.jpg"), std::string::npos);
  }
  const std::string junk = file("坏.jpg", "not an image at all");
  try {
    ws().insert_picture(junk);
    FAIL();
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), 1004);
    EXPECT_NE(e.description().find("坏.jpg"), std::string::npos);
  }
  EXPECT_EQ(error_number([&] { ws().insert_picture(file("gif.jpg", "GIF89a\x01\x00\x01\x00")); }),
            1004);
  EXPECT_TRUE(model().pictures.empty());
}

// A photo larger than any sensible photo, or one whose first bytes are not
// JPEG or PNG, is refused as unreadable without being read whole.
TEST_F(PictureTest, OversizedAndFakePhotosAreUnreadablePhotos) {
  auto message = [&](const std::string& path) {
    try {
      ws().insert_picture(path);
    } catch (const host::HostError& e) {
      return std::to_string(e.number()) + " " + e.description();
    }
    return std::string("inserted");
  };
  const std::string junk = file("坏.jpg", "not an image at all");
  const std::string expected = message(junk);
  EXPECT_NE(expected, "inserted");
  // A real JPEG header followed by 21 MB (a sparse file: nothing to write).
  const std::string big = file("大.jpg", jpeg(120, 160));
  fs::resize_file(host::file_path(big), 21u << 20);
  EXPECT_EQ(message(big), std::regex_replace(expected, std::regex("坏"), "大"));
  // A PNG by its name, something else by its bytes.
  const std::string fake = file("假.png", "\x89PNX\r\n\x1a\n" + std::string(64, 'x'));
  EXPECT_EQ(message(fake), std::regex_replace(expected, std::regex("坏.jpg"), "假.png"));
  // A photo of an ordinary size reads.
  const std::string ok = file("真.jpg", jpeg(120, 160));
  fs::resize_file(host::file_path(ok), 19u << 20);
  EXPECT_EQ(message(ok), "inserted");
}

}  // namespace
}  // namespace kelv::spreadsheet
