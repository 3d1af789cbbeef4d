#include <map>

#include "engine_fixture.h"
#include "host/environment.h"
#include "host/file_path.h"
#include "spreadsheet/file_format.h"

namespace kelv::spreadsheet {
namespace {

// Files in memory: a loaded workbook has one sheet named after the file;
// saving records the path and the model's sheet names.
class MemoryFormat : public FileFormat {
 public:
  std::unique_ptr<Workbook> load(const std::string& path) override {
    loads.push_back(path);
    if (path.find("missing") != std::string::npos)
      throw host::HostError::host(host::kFileNotFound, "找不到文件“" + path + "”");
    auto book = std::make_unique<Workbook>();
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".xls") == 0) {
      book->source_kind = SourceKind::Xls;
      book->source_path = host::absolute_path_text(path);
    }
    auto sheet = std::make_unique<Sheet>();
    sheet->name = "考生表";
    book->sheets.push_back(std::move(sheet));
    return book;
  }
  void save(const Workbook& book, const std::string& path) override {
    if (fail_saves) throw host::HostError::host(host::kPermissionDenied, "无法写入“" + path + "”");
    saved[path] = book.sheets.size();
    macro[path] = book.macro_enabled;
  }
  std::vector<std::string> loads;
  std::map<std::string, size_t> saved;
  std::map<std::string, bool> macro;
  bool fail_saves = false;
};

class WorkbookTest : public ::testing::Test {
 protected:
  WorkbookTest() : format(std::make_shared<MemoryFormat>()), engine(format) {}
  static int error_number(const std::function<void()>& f) {
    try {
      f();
    } catch (const host::HostError& e) {
      return e.number();
    }
    return 0;
  }
  std::shared_ptr<MemoryFormat> format;
  Engine engine;
};

TEST_F(WorkbookTest, OpenNamesTheWorkbookAfterItsFile) {
  host::Workbook& host_book = engine.open_host_workbook("/work/ws/考务.xlsx");
  host::Workbook& data = engine.workbooks().open("\\work\\ws\\数据\\考生.xlsx");
  // Loaded by its name in the platform's form, placed by its absolute path.
  EXPECT_EQ(format->loads.back(), host::native_path("/work/ws/数据/考生.xlsx"));
  EXPECT_EQ(data.name(), "考生.xlsx");
  EXPECT_EQ(data.path(), host::absolute_path_text("/work/ws/数据"));
  EXPECT_EQ(&engine.this_workbook(), &host_book);
  EXPECT_EQ(&engine.active_workbook(), &data);
  EXPECT_EQ(engine.workbooks().count(), 2);
  host_book.activate();
  EXPECT_EQ(&engine.active_workbook(), &host_book);
}

TEST_F(WorkbookTest, ASecondWorkbookOfTheSameNameIsRefused) {
  engine.workbooks().open("/a/数据.xlsx");
  EXPECT_EQ(error_number([&] { engine.workbooks().open("/b/数据.XLSX"); }), 1004);
  EXPECT_EQ(format->loads.size(), 1u);
}

TEST_F(WorkbookTest, AnAddedWorkbookIsNamedAfterItsFileAndWrittenOnlyWhenSaved) {
  engine.open_host_workbook("/work/ws/考务.xlsx");
  host::Application& EA = engine;
  host::Workbook& added = EA.add_workbook("\\work\\ws\\数据\\初一（第1场）.xlsx");
  EXPECT_EQ(added.name(), "初一（第1场）.xlsx");
  EXPECT_EQ(added.path(), host::absolute_path_text("/work/ws/数据"));
  EXPECT_EQ(&EA.active_workbook(), &added);
  EXPECT_EQ(added.sheet_count(), 1);
  EXPECT_TRUE(format->saved.empty());
  EXPECT_EQ(format->loads.size(), 1u);  // nothing read for it
  added.save();
  EXPECT_EQ(format->saved.count(host::absolute_path_text("/work/ws/数据/初一（第1场）.xlsx")), 1u);
  EXPECT_EQ(error_number([&] { EA.add_workbook("/elsewhere/初一（第1场）.XLSX"); }), 1004);
}

TEST_F(WorkbookTest, EveryNameReachesTheFormatAndAnotherKindIsNeverSavedOver) {
  // The format tells the kind of file by its bytes; the name only marks macros.
  host::Workbook& old = engine.workbooks().open("/a/考生.xls");
  EXPECT_EQ(format->loads.size(), 1u);
  EXPECT_EQ(error_number([&] { old.save(); }), 1004);
  EXPECT_TRUE(format->saved.empty());
  old.save_as("/a/考生.xlsx");
  EXPECT_EQ(format->saved.count(host::absolute_path_text("/a/考生.xlsx")), 1u);
  // Once saved as .xlsx, the original stays out of reach all the same.
  EXPECT_EQ(error_number([&] { old.save_as("/a/考生.xls"); }), 1004);
  engine.workbooks().open("/a/宏.xlsm");
  EXPECT_TRUE(Engine::model_of(engine.workbook("宏.xlsm")).macro_enabled);
}

TEST_F(WorkbookTest, LoadFailuresReachTheCaller) {
  EXPECT_EQ(error_number([&] { engine.workbooks().open("/a/missing.xlsx"); }), 53);
  EXPECT_EQ(engine.workbook_count(), 0);
}

TEST_F(WorkbookTest, SaveClearsTheModifiedFlag) {
  host::Workbook& b = engine.add_workbook("/out/新.xlsx");
  b.active_sheet().cells(1, 1).set_value("x");
  EXPECT_TRUE(b.modified());
  b.save();
  EXPECT_FALSE(b.modified());
  EXPECT_EQ(format->saved.count(host::absolute_path_text("/out/新.xlsx")), 1u);
  b.save_as("/out/另存.xlsm");
  EXPECT_EQ(b.name(), "另存.xlsm");
  EXPECT_TRUE(format->macro[host::absolute_path_text("/out/另存.xlsm")]);
}

TEST_F(WorkbookTest, AFailedSaveKeepsTheOldNameAndTheFlag) {
  host::Workbook& b = engine.add_workbook("/out/a.xlsx");
  b.active_sheet().cells(1, 1).set_value("x");
  format->fail_saves = true;
  EXPECT_EQ(error_number([&] { b.save_as("/out/b.xlsx"); }), 70);
  EXPECT_EQ(b.name(), "a.xlsx");
  EXPECT_TRUE(b.modified());
  EXPECT_EQ(error_number([&] { b.save_as("/out/b.txt"); }), 1004);
}

TEST_F(WorkbookTest, SheetsOfAClosedOrDeletedOwnerStayUsable) {
  host::Workbook& b = engine.add_workbook("/out/a.xlsx");
  host::Worksheet& s = b.worksheets().add_after(b.active_sheet());
  s.cells(1, 1).set_value("x");
  s.delete_sheet();
  EXPECT_EQ(s.name(), "Sheet2");
  EXPECT_EQ(b.sheet_count(), 1);
  EXPECT_EQ(error_number([&] { s.activate(); }), 1004);
}

TEST_F(WorkbookTest, CopyIntoAnotherWorkbookCarriesFormatsAndImages) {
  host::Workbook& a = engine.add_workbook("/out/a.xlsx");
  host::Workbook& b = engine.add_workbook("/out/b.xlsx");
  host::Worksheet& src = a.active_sheet();
  src.cells(1, 1).font().set_bold(true);
  src.cells(1, 1).set_value("x");
  src.copy_after(b.active_sheet());
  host::Worksheet& copy = b.active_sheet();
  EXPECT_EQ(copy.name(), "Sheet1 (2)");
  EXPECT_TRUE(copy.cells(1, 1).font().get().bold);
  EXPECT_EQ(&engine.active_workbook(), &b);
}

}  // namespace
}  // namespace kelv::spreadsheet
