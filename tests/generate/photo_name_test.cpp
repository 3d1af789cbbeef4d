#include <gtest/gtest.h>

#include "generate/render_template.h"
#include "generate/template_layout.h"

namespace kelv::generate {
namespace {

TEST(PhotoFileName, SubFolderAndValueWithJpg) {
  EXPECT_EQ(PhotoFileName("A1", "1001"), "A1\\1001.jpg");
  EXPECT_EQ(PhotoFileName("", "1001"), "1001.jpg");
  EXPECT_EQ(PhotoFileName("A1\\", "1001"), "A1\\\\1001.jpg");
  EXPECT_EQ(PhotoFileName("", ""), ".jpg");
}

TEST(PhotoFileName, NamesThatLeaveThePhotoFolderAreRecognised) {
  EXPECT_TRUE(StaysInPhotoFolder("1001.jpg"));
  EXPECT_TRUE(StaysInPhotoFolder("A1\\\\1001.jpg"));
  EXPECT_TRUE(StaysInPhotoFolder("..a.jpg"));
  EXPECT_FALSE(StaysInPhotoFolder("..\\secret.jpg"));
  EXPECT_FALSE(StaysInPhotoFolder("A1\\..\\..\\x.jpg"));
  EXPECT_FALSE(StaysInPhotoFolder("a/../../x.jpg"));
  EXPECT_FALSE(StaysInPhotoFolder("\\etc\\x.jpg"));
  EXPECT_FALSE(StaysInPhotoFolder("/etc/x.jpg"));
  EXPECT_FALSE(StaysInPhotoFolder("C:\\x.jpg"));
}

TEST(FieldName, DropsFirstAndLastCharacter) {
  EXPECT_EQ(FieldName("[姓名]"), "姓名");
  EXPECT_EQ(FieldName("{考号}"), "考号");
  EXPECT_EQ(FieldName("[X]Y"), "X]");
  EXPECT_EQ(FieldName("[姓名"), "姓");
  EXPECT_EQ(FieldName("[]"), "");
  EXPECT_EQ(FieldName("["), "");
}

TEST(ColumnSpacing, ThirteenTakesTheNarrowBranch) {
  EXPECT_FLOAT_EQ(ColumnSpacingWidth(13), 13 * 0.08f);
  EXPECT_FLOAT_EQ(ColumnSpacingWidth(21), 2.0f);
  EXPECT_FLOAT_EQ(ColumnSpacingWidth(0), 0.0f);
}

}  // namespace
}  // namespace kelv::generate
