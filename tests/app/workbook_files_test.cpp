#include "app/core/workbook_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/file_path.h"
#include "host/host_error.h"
#include "spreadsheet/engine.h"
#include "support/faulty_file_system.h"
#include "support/temp_folder.h"
#include "xlsx/xlsx_format.h"

namespace kelv::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Paths the code under test hands back are UTF-8 text.
std::string read(const std::string& text) {
  return read(host::file_path(text));
}

std::chrono::system_clock::time_point at(int second) {
  return std::chrono::system_clock::from_time_t(1'700'000'000 + second);
}

TEST(Backups, EachCopyIsByteForByteAndOnlyTheNewestAreKept) {
  test::TempFolder dir("backups");
  const fs::path book = dir.path() / host::file_path("期末考试.xlsx");
  const std::string backups = host::path_text(dir.path() / host::file_path("备份"));
  for (int i = 0; i < 5; ++i) {
    write(book, "version " + std::to_string(i));
    const std::string copy = keep_backup(host::path_text(book), backups, at(i), 3);
    EXPECT_EQ(read(copy), "version " + std::to_string(i));
  }
  // Another workbook's copies are not pruned with these.
  write(dir.path() / host::file_path("考务.xlsx"), "host");
  keep_backup(host::path_text(dir.path() / host::file_path("考务.xlsx")), backups, at(0), 3);

  const std::vector<Backup> mine = list_backups(backups, "期末考试.xlsx");
  ASSERT_EQ(mine.size(), 3u);
  EXPECT_EQ(read(mine[0].path), "version 4");  // newest first
  EXPECT_EQ(read(mine[2].path), "version 2");
  EXPECT_EQ(list_backups(backups).size(), 4u);
  EXPECT_EQ(list_backups(backups, "考务.xlsx").size(), 1u);

  // Two saves in one second keep two copies, the later listed first.
  write(book, "again");
  keep_backup(host::path_text(book), backups, at(4), 3);
  EXPECT_EQ(read(list_backups(backups, "期末考试.xlsx")[0].path), "again");

  // A file that is not there yet has nothing to keep.
  EXPECT_EQ(keep_backup(host::path_text(dir.path() / host::file_path("新.xlsx")), backups, at(9)),
            "");
}

TEST(Backups, RestorePutsTheCopyBackAndKeepsWhatItReplaced) {
  test::TempFolder dir("restore");
  const fs::path book = dir.path() / host::file_path("期末考试.xlsx");
  const std::string backups = host::path_text(dir.path() / host::file_path("备份"));
  const std::string old_bytes("PK\x03\x04 old \0 bytes", 17);
  write(book, old_bytes);
  keep_backup(host::path_text(book), backups, at(0));
  write(book, "arranged");

  const Backup chosen = list_backups(backups).front();
  restore_backup(chosen, host::path_text(book), backups);
  EXPECT_EQ(read(book), old_bytes);
  // The arrangement that was replaced can be restored in turn.
  const std::vector<Backup> after = list_backups(backups, "期末考试.xlsx");
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(read(after[0].path), "arranged");
  restore_backup(after[0], host::path_text(book), backups);
  EXPECT_EQ(read(book), "arranged");
}

// Backups and restores replace files like a save does, through the one
// seam: a failure at any step leaves the workbook as it was, no half copy
// in the backup folder and no temporary file anywhere.
size_t temporary_files(const fs::path& folder) {
  size_t n = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    n += host::path_text(e.path().filename()).find(".kelv-") != std::string::npos;
  return n;
}

TEST(BackupFaults, EveryStepThatFailsKeepsNoHalfCopyAndLeavesTheWorkbook) {
  using Step = test::FaultyFileSystem::Step;
  test::TempFolder temp("backup-faults");
  const fs::path book = temp.path() / host::file_path("考试.xlsx");
  const fs::path folder = temp.path() / host::file_path("备份");
  write(book, std::string(200000, 'x'));
  test::FaultyFileSystem faulty;
  for (Step step : {Step::Create, Step::Write, Step::Sync, Step::Close, Step::Rename}) {
    faulty.fail(step, 1, test::Kind::NoSpace);
    EXPECT_THROW(keep_backup(host::path_text(book), host::path_text(folder), at(1),
                             kBackupsKept, faulty),
                 host::HostError);
    EXPECT_TRUE(list_backups(host::path_text(folder)).empty());
    EXPECT_EQ(temporary_files(folder), 0u);
  }
  EXPECT_EQ(read(book), std::string(200000, 'x'));
  // A saver whose backup fails does not replace the workbook.
  spreadsheet::Engine engine(std::make_shared<xlsx::XlsxFormat>());
  host::Workbook& wb = engine.add_workbook(host::path_text(temp.path() / host::file_path("新.xlsx")));
  wb.save();
  const std::string saved = read(temp.path() / host::file_path("新.xlsx"));
  GuardedSaver saver(host::path_text(folder), faulty);
  saver.files().remember(host::path_text(temp.path() / host::file_path("新.xlsx")));
  wb.sheet_at(0).set_value(host::Rect::cell(1, 1), host::Variant("改过"));
  faulty.fail(Step::Write, 1, test::Kind::NoSpace);
  SaveReport report;
  try {
    saver.save(
        {&wb}, [](const std::string&) { return ChangedChoice::Cancel; },
        [](const std::string&) { return std::string(); }, report);
    ADD_FAILURE() << "saved without its backup";
  } catch (const host::HostError& e) {
    EXPECT_NE(e.description().find("磁盘空间不足"), std::string::npos) << e.description();
    EXPECT_NE(e.description().find("工作簿未保存"), std::string::npos) << e.description();
  }
  EXPECT_TRUE(report.saved.empty());
  EXPECT_EQ(read(temp.path() / host::file_path("新.xlsx")), saved);
}

TEST(RestoreFaults, EveryStepThatFailsLeavesTheWorkbookAsItWas) {
  using Step = test::FaultyFileSystem::Step;
  test::TempFolder temp("restore-faults");
  const fs::path book = temp.path() / host::file_path("考试.xlsx");
  const std::string folder = host::path_text(temp.path() / host::file_path("备份"));
  write(book, "old version");
  keep_backup(host::path_text(book), folder, at(1));
  write(book, "current version");
  const Backup copy = list_backups(folder).front();
  test::FaultyFileSystem faulty;
  // Each step of the second replacement (the first backs up the current
  // file; the second writes the copy over it).
  for (Step step : {Step::Create, Step::Write, Step::Sync, Step::Close, Step::Rename}) {
    faulty.fail(step, 2);
    EXPECT_THROW(restore_backup(copy, host::path_text(book), folder, faulty), host::HostError);
    EXPECT_EQ(read(book), "current version");
    EXPECT_EQ(temporary_files(temp.path()), 0u);
  }
  faulty.fail(Step::Create, 0);
  restore_backup(copy, host::path_text(book), folder, faulty);
  EXPECT_EQ(read(book), "old version");
}

TEST(OpenedFiles, OnlyOtherBytesCountAsAChangeElsewhere) {
  test::TempFolder dir("identity");
  const fs::path file = dir.path() / host::file_path("a.xlsx");
  write(file, "one");
  OpenedFiles files;
  files.remember(host::path_text(file));
  EXPECT_FALSE(files.changed_elsewhere(host::path_text(file)));
  // Touched, same bytes: no change.
  fs::last_write_time(file, fs::last_write_time(file) + 5s);
  EXPECT_FALSE(files.changed_elsewhere(host::path_text(file)));
  // Same size and time, other bytes (a program that keeps the time stamp)
  // is not looked for; other bytes with a new time are.
  write(file, "two");
  fs::last_write_time(file, fs::last_write_time(file) + 10s);
  EXPECT_TRUE(files.changed_elsewhere(host::path_text(file)));
  files.remember(host::path_text(file));
  EXPECT_FALSE(files.changed_elsewhere(host::path_text(file)));
  fs::remove(file);
  EXPECT_FALSE(files.changed_elsewhere(host::path_text(file)));
  EXPECT_FALSE(
      files.changed_elsewhere(host::path_text(dir.path() / host::file_path("unknown.xlsx"))));
}

TEST(LockFiles, OtherProgramsLocksAreFound) {
  test::TempFolder dir("locks");
  const fs::path book = dir.path() / host::file_path("期末考试.xlsx");
  write(book, "x");
  EXPECT_TRUE(lock_files_of(host::path_text(book)).empty());
  write(dir.path() / host::file_path("~$期末考试.xlsx"), "");
  write(dir.path() / host::file_path(".~lock.期末考试.xlsx#"), "");
  const std::vector<std::string> locks = lock_files_of(host::path_text(book));
  ASSERT_EQ(locks.size(), 2u);
  EXPECT_NE(lock_warning(host::path_text(book), locks[1]).find("“.~lock.期末考试.xlsx#”"),
            std::string::npos);
}

// A workbook kelv opened, then another program rewrote: no save overwrites
// it unasked, whatever the answer.
class GuardedSave : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = host::path_text(dir_.path() / host::file_path("期末考试.xlsx"));
    {
      spreadsheet::Engine maker(std::make_shared<xlsx::XlsxFormat>());
      host::Workbook& b = maker.add_workbook(path_);
      b.sheet_at(0).cells(1, 1).set_value(host::Variant("kelv 读到的"));
      b.save();
    }
    engine_.set_open_listener([this](const std::string& p) { saver_.files().remember(p); });
    book_ = &engine_.open_workbook(path_);
    book_->sheet_at(0).cells(1, 1).set_value(host::Variant("kelv 改的"));
    // Another program saves its fix a little later.
    spreadsheet::Engine other(std::make_shared<xlsx::XlsxFormat>());
    host::Workbook& theirs = other.open_workbook(path_);
    theirs.sheet_at(0).cells(2, 1).set_value(host::Variant("别人的修正"));
    theirs.save();
    fs::last_write_time(host::file_path(path_), fs::last_write_time(host::file_path(path_)) + 3s);
    their_bytes_ = read(path_);
  }

  std::string first_cell_on_disk(const std::string& path) {
    spreadsheet::Engine reader(std::make_shared<xlsx::XlsxFormat>());
    return reader.open_workbook(path).sheet_at(0).cells(1, 1).value().to_text();
  }

  test::TempFolder dir_{"guarded"};
  std::string path_, their_bytes_;
  GuardedSaver saver_{host::path_text(dir_.path() / host::file_path("备份"))};
  spreadsheet::Engine engine_{std::make_shared<xlsx::XlsxFormat>()};
  host::Workbook* book_ = nullptr;
};

TEST_F(GuardedSave, CancelLeavesTheOtherProgramsFileAlone) {
  SaveReport report;
  int asked = 0;
  saver_.save(
      {book_}, [&](const std::string&) { return ++asked, ChangedChoice::Cancel; },
      [](const std::string&) { return std::string(); }, report);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(read(path_), their_bytes_);
  EXPECT_EQ(report.cancelled, std::vector<std::string>{path_});
  EXPECT_TRUE(report.saved.empty());
  EXPECT_TRUE(list_backups(saver_.backup_folder()).empty());
}

TEST_F(GuardedSave, SaveAsWritesKelvsVersionBesideIt) {
  SaveReport report;
  const std::string copy = copy_name_beside(path_);
  EXPECT_EQ(host::path_text(host::file_path(copy).filename()), "期末考试（kelv 副本）.xlsx");
  saver_.save(
      {book_}, [](const std::string&) { return ChangedChoice::SaveAs; },
      [&](const std::string&) { return copy; }, report);
  EXPECT_EQ(read(path_), their_bytes_);
  EXPECT_EQ(first_cell_on_disk(copy), "kelv 改的");
  EXPECT_EQ(report.saved, std::vector<std::string>{copy});
  // The next name is free again.
  EXPECT_EQ(host::path_text(host::file_path(copy_name_beside(path_)).filename()),
            "期末考试（kelv 副本 2）.xlsx");
}

TEST_F(GuardedSave, ReloadReadsTheOtherProgramsVersion) {
  SaveReport report;
  saver_.save(
      {book_}, [](const std::string&) { return ChangedChoice::Reload; },
      [](const std::string&) { return std::string(); }, report);
  EXPECT_EQ(report.reload, std::vector<std::string>{path_});
  reload_workbook(engine_, path_);
  host::Workbook& again = engine_.workbook("期末考试.xlsx");
  EXPECT_EQ(again.sheet_at(0).cells(2, 1).value().to_text(), "别人的修正");
  EXPECT_EQ(again.sheet_at(0).cells(1, 1).value().to_text(), "kelv 读到的");
  // Read again, it is kelv's to save: the save backs up the file it replaces.
  SaveReport second;
  saver_.save(
      {&again}, [](const std::string&) { return ChangedChoice::Cancel; },
      [](const std::string&) { return std::string(); }, second);
  EXPECT_EQ(second.saved, std::vector<std::string>{path_});
  ASSERT_EQ(list_backups(saver_.backup_folder()).size(), 1u);
  EXPECT_EQ(read(list_backups(saver_.backup_folder())[0].path), their_bytes_);
}

}  // namespace
}  // namespace kelv::app
