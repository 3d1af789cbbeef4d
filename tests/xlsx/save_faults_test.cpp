// A save that fails, at any step and for any reason, loses nothing: the old
// file stays byte for byte, no temporary file is left, and the error names
// the file. A save killed at any moment leaves the old file or the complete
// new one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "host/file_system.h"
#include "host/host_error.h"
#include "support/faulty_file_system.h"
#include "xlsx/xlsx_format.h"
#include "xlsx_test_util.h"

namespace kelv::xlsx {
namespace {

using host::FileSystem;
using host::FileSystemError;
using host::WritableFile;

namespace fsys = std::filesystem;
using Kind = FileSystemError::Kind;
using spreadsheet::Workbook;

std::string bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// A sheet of `rows` rows of exam records; A1 says which book it is.
std::unique_ptr<Workbook> record_book(int32_t rows, const std::string& marker) {
  auto b = std::make_unique<Workbook>();
  auto s = std::make_unique<spreadsheet::Sheet>();
  s->name = "考生表";
  s->rows.resize(static_cast<size_t>(rows));
  for (int32_t r = 1; r <= rows; ++r) {
    auto& cells = s->rows[static_cast<size_t>(r - 1)].cells;
    const host::Variant values[] = {
        host::Variant(r == 1 ? marker : "考生" + std::to_string(r * 7919)), host::Variant(r * 1.5),
        host::Variant("初" + std::to_string(r % 3 + 1) + "年级"),
        host::Variant(static_cast<double>(20240000 + r))};
    for (int32_t c = 1; c <= 4; ++c) {
      spreadsheet::Cell cell;
      cell.col = c;
      cell.value = values[c - 1];
      cells.push_back(std::move(cell));
    }
  }
  b->sheets.push_back(std::move(s));
  return b;
}

// A book whose package takes several of the writer's 1 MB writes: texts
// of random letters, which compress poorly.
std::unique_ptr<Workbook> noisy_book() {
  auto b = record_book(2, "新");
  auto& rows = b->sheets[0]->rows;
  std::mt19937 random(11);
  rows.resize(60000);
  for (size_t r = 2; r < rows.size(); ++r) {
    std::string text(64, ' ');
    for (char& c : text) c = static_cast<char>('a' + random() % 26);
    spreadsheet::Cell cell;
    cell.col = 1;
    cell.value = text;
    rows[r].cells.push_back(std::move(cell));
  }
  return b;
}

// What a save left beside its file: temporary files, by their prefix.
size_t leftovers(const fsys::path& folder, const std::string& file) {
  size_t n = 0;
  for (const auto& e : fsys::directory_iterator(folder))
    n += e.path().filename().string().starts_with("." + file + ".kelv-");
  return n;
}

using kelv::test::FaultyFileSystem;
using Step = FaultyFileSystem::Step;

class SaveFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    write_workbook(*record_book(50, "旧"), path);
    old = bytes_of(path);
  }

  // Saves the new book with the failure set; expects a refusal naming the
  // file and containing `words`, the old file as it was, no leftovers.
  void expect_refused(int32_t number, const std::string& words, const Workbook* book = nullptr) {
    try {
      write_workbook(book ? *book : *record_book(300, "新"), path, faulty);
      ADD_FAILURE() << "the save succeeded";
    } catch (const host::HostError& e) {
      EXPECT_EQ(e.number(), number) << e.description();
      EXPECT_NE(e.description().find("“" + path + "”"), std::string::npos) << e.description();
      EXPECT_NE(e.description().find(words), std::string::npos) << e.description();
    }
    EXPECT_EQ(bytes_of(path), old);
    EXPECT_EQ(leftovers(dir.path(), "考务.xlsx"), 0u);
  }

  test::TempFolder dir{"xlsx"};
  const std::string path = dir.file("考务.xlsx");
  std::string old;
  FaultyFileSystem faulty;
};

TEST_F(SaveFaults, EveryStepThatFailsLeavesTheOldFile) {
  faulty.fail(Step::Create, 1);
  expect_refused(host::kRefused, "无法创建临时文件");
  // Every single write of the package in turn.
  const std::unique_ptr<Workbook> noisy = noisy_book();
  faulty.fail(Step::Write, 0);
  write_workbook(*noisy, dir.file("count.xlsx"), faulty);
  const int writes = faulty.calls();
  ASSERT_GT(writes, 2);
  for (int n = 1; n <= writes; ++n) {
    faulty.fail(Step::Write, n);
    expect_refused(host::kRefused, "写入失败", noisy.get());
  }
  faulty.fail(Step::Sync, 1);
  expect_refused(host::kRefused, "写入磁盘失败");
  faulty.fail(Step::Close, 1);
  expect_refused(host::kRefused, "写入磁盘失败");
  faulty.fail(Step::Rename, 1);
  expect_refused(host::kRefused, "无法替换原文件");
  // After the rename the new file is complete; the error says it may not
  // be on the disk yet.
  faulty.fail(Step::SyncFolder, 1);
  EXPECT_THROW(write_workbook(*record_book(300, "新"), path, faulty), host::HostError);
  EXPECT_EQ(read_workbook(path)->sheets[0]->rows.size(), 300u);
}

TEST_F(SaveFaults, TheReasonDecidesTheErrorNumber) {
  faulty.fail(Step::Write, 2, Kind::NoSpace);
  expect_refused(host::kRefused, "磁盘空间不足", noisy_book().get());
  faulty.fail(Step::Create, 1, Kind::Denied);
  expect_refused(host::kPermissionDenied, "没有写入权限");
  faulty.fail(Step::Rename, 1, Kind::InUse);
  expect_refused(host::kPermissionDenied, "正被其他程序写入");
}

// Another program holding the file open for writing: the save is refused
// and the file left to that program.
TEST_F(SaveFaults, AFileOpenForWritingElsewhereIsLeftAlone) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = ::open(path.c_str(), O_WRONLY);
    if (fd < 0) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  // The child has the file open once /proc shows a descriptor on it.
  bool open = false;
  for (int i = 0; i < 200 && !open; ++i) {
    std::error_code ec;
    for (const auto& e : fsys::directory_iterator("/proc/" + std::to_string(child) + "/fd", ec))
      open = open || fsys::read_symlink(e.path(), ec) == fsys::path(path);
    if (!open) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(open);
  try {
    write_workbook(*record_book(300, "新"), path);
    ADD_FAILURE() << "saved over a file another program is writing";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kPermissionDenied);
    EXPECT_NE(e.description().find("正被其他程序写入"), std::string::npos) << e.description();
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(bytes_of(path), old);
  EXPECT_EQ(leftovers(dir.path(), "考务.xlsx"), 0u);
  // Once it is closed, the save goes through.
  write_workbook(*record_book(300, "新"), path);
  EXPECT_EQ(read_workbook(path)->sheets[0]->rows.size(), 300u);
}

// A small file system of its own, mounted by the test: needs root (and a
// system that lets it mount).
class OwnMount {
 public:
  OwnMount(const fsys::path& at, const char* options) : at_(at) {
    fsys::create_directories(at);
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", at.c_str(), "tmpfs", 0, options) == 0;
  }
  ~OwnMount() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  bool make_read_only() {
    return ::mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  fsys::path at_;
  bool mounted_ = false;
};

TEST(SaveOnAFullDisk, FailsNamingTheFileAndKeepsTheOldOne) {
  test::TempFolder dir("xlsx");
  OwnMount disk(dir.path() / "disk", "size=96k");
  if (!disk.mounted()) GTEST_SKIP() << "这个测试要以 root 身份挂载一个小 tmpfs，当前不能挂载，跳过";
  const std::string path = (dir.path() / "disk" / "考务.xlsx").string();
  write_workbook(*record_book(50, "旧"), path);
  const std::string old = bytes_of(path);
  try {
    write_workbook(*record_book(20000, "新"), path);
    ADD_FAILURE() << "a workbook larger than the disk was saved";
  } catch (const host::HostError& e) {
    EXPECT_TRUE(e.number() == host::kRefused || e.number() == host::kPermissionDenied);
    EXPECT_NE(e.description().find("“" + path + "”"), std::string::npos) << e.description();
    EXPECT_NE(e.description().find("磁盘空间不足"), std::string::npos) << e.description();
  }
  EXPECT_EQ(bytes_of(path), old);
  EXPECT_EQ(leftovers(dir.path() / "disk", "考务.xlsx"), 0u);
}

TEST(SaveInAReadOnlyFolder, FailsWith70AndKeepsTheOldFile) {
  test::TempFolder dir("xlsx");
  const fsys::path folder = dir.path() / "只读";
  OwnMount disk(folder, "size=1m");
  const std::string path = (folder / "考务.xlsx").string();
  if (disk.mounted()) {
    write_workbook(*record_book(50, "旧"), path);
    ASSERT_TRUE(disk.make_read_only());
  } else if (::geteuid() != 0) {
    write_workbook(*record_book(50, "旧"), path);
    fsys::permissions(folder, fsys::perms::owner_read | fsys::perms::owner_exec);
  } else {
    GTEST_SKIP() << "root 不受文件夹权限限制，又不能挂载只读的 tmpfs，跳过";
  }
  const std::string old = bytes_of(path);
  try {
    write_workbook(*record_book(300, "新"), path);
    ADD_FAILURE() << "saved into a read-only folder";
  } catch (const host::HostError& e) {
    EXPECT_EQ(e.number(), host::kPermissionDenied);
    EXPECT_NE(e.description().find("“" + path + "”"), std::string::npos) << e.description();
    EXPECT_NE(e.description().find("没有写入权限"), std::string::npos) << e.description();
  }
  EXPECT_EQ(bytes_of(path), old);
  std::error_code ec;
  if (!disk.mounted()) fsys::permissions(folder, fsys::perms::owner_all, ec);
}

// A child process saves a large workbook over an existing one and is killed
// at a random moment of the save, again and again: after every kill the
// file is the old one byte for byte or the complete new one, and what a
// killed save left beside it is gone after the next save.
TEST(SaveKilled, LeavesTheOldFileOrTheCompleteNewOne) {
  test::TempFolder dir("xlsx");
  const std::string path = dir.file("考务.xlsx");
  const auto old_book = record_book(40, "旧");
  const auto new_book = record_book(3000, "新");
  write_workbook(*old_book, path);
  const std::string old = bytes_of(path);

  // A child that saves and exits; how long one takes undisturbed spreads
  // the kills over the whole save.
  auto start_save = [&] {
    const pid_t child = ::fork();
    if (child == 0) {
      try {
        write_workbook(*new_book, path);
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
    return child;
  };
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t timed = start_save();
  ASSERT_GT(timed, 0);
  ::waitpid(timed, nullptr, 0);
  const auto save_us =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
          .count();
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int64_t> moment(0, save_us + save_us / 5);
  int olds = 0, news = 0;
  const int trials = 200;
  for (int trial = 0; trial < trials; ++trial) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << old;
    const pid_t child = start_save();
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "the save failed by itself";
    const std::string now = bytes_of(path);
    if (now == old) {
      ++olds;
      continue;
    }
    ++news;
    std::unique_ptr<Workbook> back;
    ASSERT_NO_THROW(back = read_workbook(path)) << "trial " << trial;
    ASSERT_EQ(back->sheets[0]->rows.size(), 3000u) << "trial " << trial;
    EXPECT_EQ(back->sheets[0]->rows[0].cells[0].value, host::Variant("新"));
  }
  // The moments spread over the save: some kills came before the rename,
  // some after.
  EXPECT_GT(olds, 0);
  EXPECT_GT(news, 0);
  const size_t left = leftovers(dir.path(), "考务.xlsx");
  RecordProperty("save_us", static_cast<int>(save_us));
  RecordProperty("old", olds);
  RecordProperty("new", news);
  RecordProperty("leftovers", static_cast<int>(left));
  write_workbook(*old_book, path);
  EXPECT_EQ(leftovers(dir.path(), "考务.xlsx"), 0u) << left << " left by the killed saves";
}

}  // namespace
}  // namespace kelv::xlsx
