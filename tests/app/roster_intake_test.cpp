// Bringing a school's own files into a workspace: which list becomes which
// data workbook, the rooms an imported list lacks, photos copied in without
// losing one already there; and what a failure tells the person.
#include "app/core/roster_intake.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/core/data_import.h"
#include "app/core/failure_sentence.h"
#include "spreadsheet/engine.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;

TEST(RosterIntake, AListBecomesADataWorkbookInTheDataFolderAndIsOfferedOnceMade) {
  test::TempFolder temp("roster");
  fs::create_directories(temp.path() / host::file_path("数据"));
  test::write_bytes(temp.file("考务.xlsx"), "");
  const WorkspaceFolder folder = WorkspaceFolder::at_host_workbook(temp.file("考务.xlsx"));
  const std::string data = folder.data_folder();

  // From outside: NAME.xlsx in the data folder, whatever the list's kind.
  test::write_bytes(temp.file("高一名单.csv"), "姓名\n张三\n");
  const ListOffer outside = roster_offer(folder, temp.file("高一名单.csv"));
  EXPECT_EQ(outside.target, folder.data_file("高一名单.xlsx"));
  EXPECT_FALSE(outside.target_exists);
  // An .xlsx list of the data folder keeps its own name.
  EXPECT_EQ(roster_offer(folder, folder.data_file("名单.xlsx")).target,
            folder.data_file("名单（数据）.xlsx"));

  // Lists lying in the data folder wait until their workbook is made;
  // workbooks and other programs' lock files never wait.
  test::write_bytes(folder.data_file("初一.csv"), "姓名\n李四\n");
  test::write_bytes(folder.data_file("初二.xls"), "<table><tr><td>姓名</td></tr></table>");
  test::write_bytes(folder.data_file("~$初三.xlsx"), "");
  test::write_bytes(folder.data_file("照片说明.docx"), "");
  EXPECT_EQ(rosters_waiting(folder), (std::vector<std::string>{"初一.csv", "初二.xls"}));
  import_data_file(folder.data_file("初一.csv"), "", false);
  EXPECT_EQ(rosters_waiting(folder), (std::vector<std::string>{"初二.xls"}));
  EXPECT_TRUE(roster_offer(folder, folder.data_file("初一.csv")).target_exists);

  // The lists at a folder's top, the host workbook left out.
  EXPECT_EQ(rosters_in(host::path_text(temp.path())),
            (std::vector<std::string>{temp.file("高一名单.csv")}));
  EXPECT_TRUE(is_photo_file("a/2024001.JPG"));
  EXPECT_FALSE(is_roster_file("a/帮助.doc"));
}

TEST(RosterIntake, RoomsAreMadeForEveryExamineeOnceAndOnlyIntoAnEmptyRoomSheet) {
  test::TempFolder temp("roster");
  std::string csv = "学号,姓名,班级\n";
  for (int i = 1; i <= 65; ++i)
    csv += std::to_string(1000 + i) + ",学生" + std::to_string(i) + ",1\n";
  csv += ",,\n";  // a blank line at the end is nobody
  test::write_bytes(temp.file("名单.csv"), csv);
  const std::string made = import_data_file(temp.file("名单.csv"), "", false).output;
  spreadsheet::Engine engine(std::make_shared<xlsx::XlsxFormat>());
  host::Workbook& book = engine.open_host_workbook(made);
  EXPECT_FALSE(has_rooms(book));
  EXPECT_EQ(examinee_count(book), 65);
  EXPECT_EQ(fill_rooms(book, 0), 0);
  EXPECT_EQ(fill_rooms(book, 30), 3);
  host::Worksheet& rooms = book.sheet("考场表");
  EXPECT_EQ(rooms.cells(2, 1).value(), host::Variant("01"));
  EXPECT_EQ(rooms.cells(4, 1).value(), host::Variant("03"));
  EXPECT_EQ(rooms.cells(2, 2).value(), host::Variant(30));
  EXPECT_EQ(rooms.cells(4, 2).value(), host::Variant(5));  // the rest
  EXPECT_TRUE(rooms.cells(5, 1).value().to_text().empty());
  EXPECT_TRUE(has_rooms(book));
  // Rooms the school wrote are never written over.
  EXPECT_EQ(fill_rooms(book, 40), 0);
  EXPECT_EQ(rooms.cells(2, 2).value(), host::Variant(30));
}

TEST(RosterIntake, APhotoAlreadyInTheFolderIsReplacedOnlyWhenThePersonSaysSo) {
  test::TempFolder temp("photos");
  const std::string photos = host::path_text(temp.path() / host::file_path("照片"));
  fs::create_directories(temp.path() / host::file_path("拍照"));
  const std::string a = host::path_text(temp.path() / host::file_path("拍照/1001.jpg"));
  const std::string b = host::path_text(temp.path() / host::file_path("拍照/1002.png"));
  test::write_bytes(a, "new-a");
  test::write_bytes(b, "new-b");
  fs::create_directories(host::file_path(photos));
  const std::string old_a = host::path_text(host::file_path(photos) / "1001.jpg");
  test::write_bytes(old_a, "old-a");

  std::vector<std::string> asked;
  PhotoCopyReport r = copy_photos({a, b}, photos, [&](const std::string& name) {
    asked.push_back(name);
    return false;
  });
  EXPECT_EQ(asked, (std::vector<std::string>{"1001.jpg"}));
  EXPECT_EQ(r.copied, (std::vector<std::string>{"1002.png"}));
  EXPECT_EQ(r.kept, (std::vector<std::string>{"1001.jpg"}));
  EXPECT_EQ(test::read_bytes(old_a), "old-a");
  EXPECT_EQ(r.text(), "已把 1 张照片复制到“照片”文件夹；保留了原有的“1001.jpg”");

  r = copy_photos({a}, photos, [](const std::string&) { return true; });
  EXPECT_EQ(r.copied, (std::vector<std::string>{"1001.jpg"}));
  EXPECT_EQ(test::read_bytes(old_a), "new-a");
  // A photo of the folder dropped onto itself is nothing to ask about.
  r = copy_photos({old_a}, photos, nullptr);
  EXPECT_TRUE(r.copied.empty() && r.kept.empty() && r.failed.empty());
}

TEST(FailureSentence, NamesWhatIsWrongAndWhatToDoWithoutTheBareNumber) {
  const host::HostError gone = host::HostError::host(host::kFileNotFound, "文件未找到：名单.csv");
  const std::string text = failure_sentence(gone);
  EXPECT_EQ(text.rfind("文件未找到：名单.csv。请检查文件", 0), 0u) << text;
  EXPECT_EQ(text.find("(53)"), std::string::npos);
  const host::HostError held =
      host::HostError::host(host::kPermissionDenied, "无法写入“考务.xlsx”！");
  EXPECT_NE(failure_sentence(held).find("无法写入“考务.xlsx”！文件可能正被其他程序打开"),
            std::string::npos);
  // The component's error box, as a window shows it.
  EXPECT_EQ(error_box_sentence("kelv.torb：(53)文件未找到：帮助.doc"),
            "文件未找到：帮助.doc。请检查文件是否已被移走或改名，再重新选择。");
  EXPECT_EQ(error_box_sentence("考场表：(共 3 个)"), "考场表：(共 3 个)");
  // Without a text of its own the error's standard one is used.
  EXPECT_FALSE(failure_sentence(host::HostError::host(host::kOutOfMemory, "")).empty());
}

}  // namespace
}  // namespace kelv::app
