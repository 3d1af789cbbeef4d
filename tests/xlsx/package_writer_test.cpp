// The package writer's zip as another reader (libzip, through the package
// reader) takes it: many small parts past the 16-bit count, parts stored and
// deflated, a part streamed in pieces larger than the write buffer.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "host/host_error.h"
#include "xlsx/deflate.h"
#include "xlsx/package.h"
#include "xlsx_test_util.h"

namespace kelv::xlsx {
namespace {

TEST(PackageWriter, SeventyThousandPartsReadBack) {
  test::TempFolder dir("xlsx");
  const std::string path = dir.file("many.zip");
  constexpr int kParts = 70000;
  {
    PackageWriter w(path);
    for (int i = 0; i < kParts; ++i) {
      const std::string data = "picture " + std::to_string(i);
      if (i % 2 == 0) {
        w.add_stored("xl/media/image" + std::to_string(i) + ".png",
                     std::make_shared<const std::string>(data));
      } else {
        w.add("xl/media/image" + std::to_string(i) + ".xml", data);
      }
    }
    w.close();
  }
  PackageReader r(path);
  ASSERT_EQ(r.parts().size(), size_t{kParts});
  for (int i : {0, 1, 65534, 65535, 65536, kParts - 1}) {
    const std::string name = "xl/media/image" + std::to_string(i) + (i % 2 == 0 ? ".png" : ".xml");
    EXPECT_EQ(r.parts()[static_cast<size_t>(i)], name);
    EXPECT_EQ(r.read(name), "picture " + std::to_string(i));
  }
}

TEST(PackageWriter, AStreamedPartLargerThanTheBufferReadsBackWhole) {
  test::TempFolder dir("xlsx");
  const std::string path = dir.file("large.zip");
  std::mt19937 random(5);
  std::string whole;
  {
    PackageWriter w(path);
    w.add("before.xml", "<a/>");
    PackageWriter::Stream s = w.stream("xl/worksheets/sheet1.xml");
    // Pieces of text that compress poorly, so the part's header leaves the
    // write buffer long before the part ends.
    for (int k = 0; k < 6; ++k) {
      std::string piece(size_t{1} << 20, ' ');
      for (char& c : piece) c = static_cast<char>('a' + random() % 26);
      whole += piece;
      s.write(piece);
    }
    s.finish();
    w.add("after.xml", "<b/>");
    w.close();
  }
  PackageReader r(path);
  EXPECT_EQ(r.read("before.xml"), "<a/>");
  EXPECT_EQ(r.read("xl/worksheets/sheet1.xml"), whole);
  EXPECT_EQ(r.read("after.xml"), "<b/>");
}

// Past its first kFastDeflateAfter bytes a part is compressed at another
// level, piece by piece; the stream still inflates in one go to the part.
TEST(PackageWriter, APartCompressedAtTwoLevelsReadsBackWhole) {
  test::TempFolder dir("xlsx");
  const std::string path = dir.file("province.zip");
  std::string whole;
  {
    PackageWriter w(path);
    PackageWriter::Stream s = w.stream("xl/worksheets/sheet1.xml");
    std::string piece;
    for (int r = 1; whole.size() + piece.size() < kFastDeflateAfter + (size_t{5} << 20); ++r) {
      piece += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) +
               "\" t=\"s\"><v>" + std::to_string(r * 7 % 1000003) + "</v></c></row>";
      if (piece.size() >= kDeflatePiece) {
        whole += piece;
        s.write(piece);
        piece.clear();
      }
    }
    whole += piece;
    s.write(piece);
    s.finish();
    w.close();
  }
  PackageReader r(path);
  const std::string back = r.read("xl/worksheets/sheet1.xml");
  ASSERT_EQ(back.size(), whole.size());
  EXPECT_TRUE(back == whole);
}

TEST(PackageWriter, ASecondPartOfTheSameNameIsRefused) {
  test::TempFolder dir("xlsx");
  PackageWriter w(dir.file("twice.zip"));
  w.add("xl/media/image1.png", "a");
  try {
    w.add_stored("xl/media/image1.png", std::make_shared<const std::string>("b"));
    ADD_FAILURE() << "two parts of one name";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), 1004);
    EXPECT_NE(e.description().find("xl/media/image1.png"), std::string::npos) << e.description();
  }
}

}  // namespace
}  // namespace kelv::xlsx
