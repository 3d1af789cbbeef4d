// A host workbook in memory for the template and start-up tests: 开始, DTB
// with catalogue headings in E1:M1, MBB very hidden, and any number of
// templates, each a catalogue row plus a sheet copied from nothing but a
// caption. The form is the standard one; dialogs are recorded.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "component/component.h"
#include "host/form_model.h"
#include "host/host_error.h"
#include "host/recording_dialogs.h"
#include "host/system_environment.h"
#include "sheets/settings_sheet.h"
#include "spreadsheet/engine.h"
#include "support/temp_folder.h"

namespace kelv::testing {

struct TemplateRow {
  std::string name;
  host::Variant rows = 6, cols = 2, row_gap = 20, col_gap = 20;
  host::Variant sort = "无", page = "无", across = true, source = true;
};

class TemplateHost {
 public:
  // `folder` is where the host workbook claims to live ("" for a temporary
  // folder of its own, removed with the host).
  explicit TemplateHost(std::string folder = "")
      : scratch_(folder.empty() ? std::make_unique<test::TempFolder>("templates") : nullptr),
        folder_(scratch_ ? scratch_->path().string() : std::move(folder)),
        engine(nullptr),
        form(host::FormModel::standard_form()),
        self(dialogs, env) {
    book = &engine.add_workbook(folder_ + "/考务.xlsx");
    engine.set_this_workbook(*book);
    host::Worksheet& start = book->sheet_at(0);
    start.set_name(sheets::kStartSheet);
    host::Worksheet& dtb = book->add_sheet_after(start);
    dtb.set_name(sheets::kSettingsSheet);
    const char* headings[] = {"模板", "行", "列", "行距", "列距", "排序", "换页", "横排", "数据源"};
    for (int c = 0; c < 9; ++c) dtb.cells(1, sheets::kNameColumn + c).set_value(headings[c]);
    host::Worksheet& mbb = book->add_sheet_after(dtb);
    mbb.set_name(sheets::kBaseSheet);
    mbb.cells(2, 1).set_value("@");
    mbb.cells(2, 2).set_value("[姓名]");
    mbb.set_visible(host::SheetVisibility::VeryHidden);
    start.activate();
  }

  const std::string& folder() const { return folder_; }
  host::Worksheet& DTB() { return book->sheet(sheets::kSettingsSheet); }
  host::Control& control(std::string_view name) { return form->control(name); }

  // Appends a catalogue row (flagged when `flag`) and, when `with_sheet`, a
  // template sheet of that name at the end of the workbook.
  host::Worksheet* AddTemplate(const TemplateRow& t, bool flag = false, bool with_sheet = true) {
    host::Worksheet& d = DTB();
    const int32_t r = d.cells(1, sheets::kNameColumn).current_region().rows_count() + 1;
    if (flag) d.cells(r, sheets::kFlagColumn).set_value(true);
    d.cells(r, sheets::kNameColumn).set_value(t.name);
    const host::Variant values[] = {t.rows, t.cols, t.row_gap, t.col_gap,
                                    t.sort, t.page, t.across,  t.source};
    for (int i = 0; i < 8; ++i) d.cells(r, sheets::kRowsPerPageColumn + i).set_value(values[i]);
    if (!with_sheet) return nullptr;
    host::Worksheet& last = book->sheet_at(book->sheet_count() - 1);
    host::Worksheet& sheet = book->add_sheet_after(last);
    sheet.set_name(t.name);
    sheet.cells(1, 1).set_value("<" + t.name + " 模板设计>");
    book->sheet(sheets::kStartSheet).activate();
    return &sheet;
  }

  // Column E from row 2 down to the catalogue's end.
  std::vector<std::string> CatalogueNames() {
    host::Worksheet& d = DTB();
    const int32_t n = d.cells(1, sheets::kNameColumn).current_region().rows_count();
    std::vector<std::string> out;
    for (int32_t r = 2; r <= n; ++r) out.push_back(d.cells(r, sheets::kNameColumn).text());
    return out;
  }

  // The rows of column D holding True, over the first 50 rows.
  std::vector<int32_t> FlaggedRows() {
    std::vector<int32_t> out;
    for (int32_t r = 1; r <= 50; ++r)
      if (host::values_equal(DTB().cells(r, sheets::kFlagColumn).value(), true)) out.push_back(r);
    return out;
  }

  std::vector<std::string> SheetNames() {
    std::vector<std::string> out;
    for (int32_t i = 0; i < book->sheet_count(); ++i) out.push_back(book->sheet_at(i).name());
    return out;
  }

  std::vector<std::string> ListItems(std::string_view name) { return control(name).items(); }

 private:
  std::unique_ptr<test::TempFolder> scratch_;
  std::string folder_;

 public:
  host::RecordingDialogs dialogs;
  host::SystemEnvironment env{1};
  spreadsheet::Engine engine;
  std::unique_ptr<host::FormModel> form;
  component::Component self;
  host::Workbook* book = nullptr;
};

}  // namespace kelv::testing
