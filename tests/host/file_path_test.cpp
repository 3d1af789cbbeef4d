// File names travel as UTF-8 text and reach the file system unchanged, on
// Windows through the wide-character API: a Chinese name the system
// environment lists is the name that was created, and "\" and "/" both
// separate folders.
#include "host/file_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "host/system_environment.h"

namespace kelv::host {
namespace {

namespace fs = std::filesystem;

class ChineseFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    root = path_text(fs::temp_directory_path()) + "/kelv-路径-" +
           std::to_string(std::random_device()());
    fs::create_directories(file_path(root + "/数据/照片"));
    std::ofstream(file_path(root + "/数据/期末考试.xlsx")) << "x";
    std::ofstream(file_path(root + "/数据/.隐藏.xlsx")) << "x";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(file_path(root), ec);
  }
  std::string root;
};

TEST_F(ChineseFolder, ListedAndFoundUnderTheirOwnNames) {
  SystemEnvironment env;
  // Files only, hidden ones left out, names exactly as created.
  EXPECT_EQ(env.list_files(root + "\\数据\\"), std::vector<std::string>{"期末考试.xlsx"});
  EXPECT_TRUE(env.file_exists(root + "\\数据\\期末考试.xlsx"));
  EXPECT_TRUE(env.file_exists(root + "/数据/期末考试.xlsx"));
  EXPECT_FALSE(env.file_exists(root + "\\数据\\照片"));
  EXPECT_FALSE(env.file_exists(root + "\\数据\\期中考试.xlsx"));
  EXPECT_TRUE(env.list_files(root + "\\没有").empty());
}

TEST_F(ChineseFolder, AbsolutePathsAreNormalAndKeepTheText) {
  const std::string file = absolute_path_text(root + "/数据/照片/../期末考试.xlsx");
  EXPECT_EQ(path_text(file_path(file).filename()), "期末考试.xlsx");
  EXPECT_EQ(file.find(".."), std::string::npos) << file;
  EXPECT_EQ(file, absolute_path_text(root + "\\数据\\期末考试.xlsx"));
  EXPECT_TRUE(fs::is_regular_file(file_path(file)));
}

}  // namespace
}  // namespace kelv::host
