#include "app/core/script_saves.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/file_path.h"
#include "host/host_error.h"
#include "readers/format.h"
#include "spreadsheet/engine.h"
#include "support/temp_folder.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string bytes_of(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string first_cell(const std::string& path) {
  spreadsheet::Engine reader(std::make_shared<readers::AnyFormat>());
  return reader.open_workbook(path).sheet_at(0).cells(1, 1).value().to_text();
}

// A script's engine as kelv.Application makes it: every file it reads is
// noted by the saves.
class ScriptSave : public ::testing::Test {
 protected:
  ScriptSave() {
    engine_.set_open_listener([this](const std::string& p) { saves_.opened(p); });
  }

  std::string make_workbook(const fs::path& folder, const std::string& name,
                            const std::string& a1) {
    fs::create_directories(folder);
    const std::string path = host::path_text(folder / host::file_path(name));
    spreadsheet::Engine maker(std::make_shared<readers::AnyFormat>());
    host::Workbook& b = maker.add_workbook(path);
    b.sheet_at(0).cells(1, 1).set_value(host::Variant(a1));
    b.save();
    return path;
  }

  // Another program rewrites the file while the script has it open.
  void change_elsewhere(const std::string& path) {
    spreadsheet::Engine other(std::make_shared<readers::AnyFormat>());
    host::Workbook& theirs = other.open_workbook(path);
    theirs.sheet_at(0).cells(1, 1).set_value(host::Variant("别人的修正"));
    theirs.save();
    fs::last_write_time(host::file_path(path), fs::last_write_time(host::file_path(path)) + 3s);
  }

  static size_t files_in(const fs::path& folder) {
    if (!fs::exists(folder)) return 0;
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
  }

  test::TempFolder dir_{"script-saves"};
  ScriptSaves saves_;
  spreadsheet::Engine engine_{std::make_shared<readers::AnyFormat>()};
};

TEST_F(ScriptSave, EverySaveKeepsTheReplacedFileInTheWorkspacesBackups) {
  const fs::path root = dir_.path();
  make_workbook(root, "考务.xlsx", "host");
  const std::string data = make_workbook(root / host::file_path("数据"), "期末.xlsx", "第一版");
  host::Workbook& book = engine_.open_workbook(data);

  book.sheet_at(0).cells(1, 1).set_value(host::Variant("第二版"));
  saves_.save(book);
  book.sheet_at(0).cells(1, 1).set_value(host::Variant("第三版"));
  saves_.save(book);

  // The data file's copies go to the workspace's 备份/, not beside the file.
  const fs::path backups = root / host::file_path("备份");
  EXPECT_EQ(files_in(backups), 2u);
  EXPECT_FALSE(fs::exists(root / host::file_path("数据") / host::file_path("备份")));
  EXPECT_EQ(first_cell(data), "第三版");
  EXPECT_EQ(backup_folder_for(data), host::path_text(backups));
  // Outside a workspace, 备份/ beside the file.
  EXPECT_EQ(backup_folder_for(
                host::path_text(root / host::file_path("别处") / host::file_path("a.xlsx"))),
            host::path_text(root / host::file_path("别处") / host::file_path("备份")));
}

TEST_F(ScriptSave, AFileChangedElsewhereIsNeverOverwritten) {
  const std::string path = make_workbook(dir_.path(), "名单.xlsx", "kelv 读到的");
  host::Workbook& book = engine_.open_workbook(path);
  book.sheet_at(0).cells(1, 1).set_value(host::Variant("脚本改的"));
  change_elsewhere(path);
  const std::string theirs = bytes_of(host::file_path(path));

  for (int round = 0; round < 2; ++round) {
    try {
      if (round == 0)
        saves_.save(book);
      else
        saves_.save_as(book, path);
      ADD_FAILURE() << "the save went through";
    } catch (const host::HostError& e) {
      EXPECT_NE(std::string(e.what()).find("“名单.xlsx”在 kelv 读入之后被别的程序改过"),
                std::string::npos)
          << e.what();
    }
  }
  EXPECT_EQ(bytes_of(host::file_path(path)), theirs);
  EXPECT_EQ(files_in(dir_.path() / host::file_path("备份")), 0u);

  // Saving under another name is the way out, and leaves their file alone.
  const std::string copy = host::path_text(dir_.path() / host::file_path("名单-脚本.xlsx"));
  saves_.save_as(book, copy);
  EXPECT_EQ(first_cell(copy), "脚本改的");
  EXPECT_EQ(bytes_of(host::file_path(path)), theirs);
}

TEST_F(ScriptSave, AConvertedListBecomesAnXlsxBesideItAndNeverReplacesSomeoneElses) {
  const fs::path csv = dir_.path() / host::file_path("名单.csv");
  {
    std::ofstream out(csv, std::ios::binary);
    out << "姓名,班级\n张三,1\n";
  }
  const std::string csv_bytes = bytes_of(csv);
  host::Workbook& book = engine_.open_workbook(host::path_text(csv));
  saves_.save(book);
  const fs::path xlsx = dir_.path() / host::file_path("名单.xlsx");
  EXPECT_EQ(first_cell(host::path_text(xlsx)), "姓名");
  EXPECT_EQ(bytes_of(csv), csv_bytes);
  // A second save writes the .xlsx it became.
  book.sheet_at(0).cells(1, 1).set_value(host::Variant("考生姓名"));
  saves_.save(book);
  EXPECT_EQ(first_cell(host::path_text(xlsx)), "考生姓名");
  EXPECT_EQ(files_in(dir_.path() / host::file_path("备份")), 1u);

  // Another run: the .xlsx beside the list is not this run's.
  spreadsheet::Engine engine2(std::make_shared<readers::AnyFormat>());
  ScriptSaves saves2;
  engine2.set_open_listener([&](const std::string& p) { saves2.opened(p); });
  host::Workbook& again = engine2.open_workbook(host::path_text(csv));
  const std::string xlsx_bytes = bytes_of(xlsx);
  EXPECT_THROW(saves2.save(again), host::HostError);
  EXPECT_THROW(saves2.save_as(again, host::path_text(csv)), host::HostError);
  EXPECT_EQ(bytes_of(xlsx), xlsx_bytes);
  EXPECT_EQ(bytes_of(csv), csv_bytes);
}

}  // namespace
}  // namespace kelv::app
