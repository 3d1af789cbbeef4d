// The system environment's file look-ups.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/file_path.h"
#include "host/system_environment.h"

namespace kelv::host {
namespace {

// Asking for many paths at once answers as asking one by one: files, a
// folder, a missing name, a file in a sub-folder (written with "\"), a
// folder that is not there.
TEST(SystemEnvironment, ManyLookUpsAnswerAsOneByOne) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("kelv-env-" + std::to_string(::getpid()));
  fs::create_directories(dir / file_path("班级"));
  std::ofstream(dir / "a.jpg") << "x";
  std::ofstream(dir / file_path("班级/张三.jpg")) << "x";
  const std::string root = path_text(dir) + "/";
  const std::vector<std::string> paths = {
      root + "a.jpg",          root + "b.jpg",     root + "班级", root + "班级\\张三.jpg",
      root + "班级\\李四.jpg", root + "无\\a.jpg", root + "a.jpg"};
  SystemEnvironment env;
  const std::vector<bool> many = env.files_exist(paths);
  ASSERT_EQ(many.size(), paths.size());
  for (size_t i = 0; i < paths.size(); ++i)
    EXPECT_EQ(many[i], env.file_exists(paths[i])) << paths[i];
  EXPECT_EQ(many, (std::vector<bool>{true, false, false, true, false, false, true}));
  fs::remove_all(dir);
}

// A camera's IMG_0001.JPG and a copy's Photo.Jpg are found by the names
// the data gives (img_0001.jpg, photo.jpg), as Windows finds them; a name
// found exactly keeps its own spelling, and a missing one gives "".
TEST(SystemEnvironment, FindsFilesIgnoringLetterCase) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("kelv-find-" + std::to_string(::getpid()));
  fs::create_directories(dir / file_path("班级"));
  std::ofstream(dir / "IMG_0001.JPG") << "x";
  std::ofstream(dir / file_path("班级/Photo.Jpg")) << "x";
  std::ofstream(dir / "a.jpg") << "x";
  const std::string root = path_text(dir) + "/";
  SystemEnvironment env;
  const std::vector<std::string> found = env.find_files(
      {root + "img_0001.jpg", root + "班级\\photo.jpg", root + "a.jpg", root + "b.jpg", ""});
  EXPECT_EQ(found, (std::vector<std::string>{root + "IMG_0001.JPG", root + "班级\\Photo.Jpg",
                                             root + "a.jpg", "", ""}));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kelv::host
