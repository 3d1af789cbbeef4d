// An in-memory workspace for the generation tests: a host workbook (开始,
// DTB with catalogue headings, templates added by the test) and an open data
// workbook 考试.xlsx with 考场表 and 考生表, the component's data fields set
// as after opening it, the standard form and recorded dialogs.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "component/component.h"
#include "host/form_model.h"
#include "host/recording_dialogs.h"
#include "host/system_environment.h"
#include "sheets/settings_sheet.h"
#include "spreadsheet/engine.h"

namespace kelv::generate::testing {

struct CatalogueRow {
  std::string name;
  host::Variant rows = 2, cols = 1, row_gap = 20, col_gap = 20;
  host::Variant sort = "无", page = "无", across = true, source = true;
};

class GenerateHost {
 public:
  GenerateHost() : engine(nullptr), form(host::FormModel::standard_form()), self(dialogs, env) {
    host_book = &engine.add_workbook(folder + "/考务.xlsx");
    engine.set_this_workbook(*host_book);
    host_book->sheet_at(0).set_name(sheets::kStartSheet);
    host::Worksheet& dtb = host_book->add_sheet_after(host_book->sheet_at(0));
    dtb.set_name(sheets::kSettingsSheet);
    const char* headings[] = {"模板", "行", "列", "行距", "列距", "排序", "换页", "横排", "数据源"};
    for (int c = 0; c < 9; ++c) dtb.cells(1, sheets::kNameColumn + c).set_value(headings[c]);

    data_book = &engine.add_workbook(folder + "/数据/考试.xlsx");
    data_book->sheet_at(0).set_name("考场表");
    data_book->sheet_at(0).cells(1, 1).set_value("考场");
    host::Worksheet& examinees = data_book->add_sheet_after(data_book->sheet_at(0));
    examinees.set_name("考生表");
    self.DataBookName = "考试.xlsx";
    self.WorkColumn = 168;
    self.FormReady = true;
  }

  host::Worksheet& DTB() { return host_book->sheet(sheets::kSettingsSheet); }
  host::Worksheet& Examinees() { return data_book->sheet("考生表"); }

  // A catalogue row and an empty template sheet; the template list is
  // refilled and the new template selected, with its data source and
  // arrangement in the form.
  host::Worksheet& AddTemplate(const CatalogueRow& t) {
    host::Worksheet& d = DTB();
    const int32_t r = d.cells(1, sheets::kNameColumn).current_region().rows_count() + 1;
    d.cells(r, sheets::kNameColumn).set_value(t.name);
    const host::Variant values[] = {t.rows, t.cols, t.row_gap, t.col_gap,
                                    t.sort, t.page, t.across,  t.source};
    for (int i = 0; i < 8; ++i) d.cells(r, sheets::kRowsPerPageColumn + i).set_value(values[i]);
    host::Worksheet& sheet =
        host_book->add_sheet_after(host_book->sheet_at(host_book->sheet_count() - 1));
    sheet.set_name(t.name);
    host::Control& list = form->control("LtbMoBan");
    list.add_item(t.name);
    list.set_list_index(r - 2);
    form->control("ChbSJYuan").set_value(t.source);
    form->control("ChbHengPai").set_value(t.across);
    return sheet;
  }

  // Writes a table into 考生表 from A1: the headings, then the records.
  void Table(const std::vector<std::vector<host::Variant>>& rows) {
    for (size_t r = 0; r < rows.size(); ++r)
      for (size_t c = 0; c < rows[r].size(); ++c)
        Examinees()
            .cells(static_cast<int32_t>(r + 1), static_cast<int32_t>(c + 1))
            .set_value(rows[r][c]);
  }

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> out;
    for (const auto& m : dialogs.messages()) out.push_back(m.text);
    return out;
  }

  std::vector<std::string> DataSheetNames() {
    std::vector<std::string> out;
    for (int32_t i = 0; i < data_book->sheet_count(); ++i)
      out.push_back(data_book->sheet_at(i).name());
    return out;
  }

  bool ToneSounded() const {
    for (const auto& r : dialogs.records())
      if (r.kind == "tone") return true;
    return false;
  }

  std::string folder = (std::filesystem::temp_directory_path() / "kelv-generate-tests").string();
  host::RecordingDialogs dialogs;
  host::SystemEnvironment env{1};
  spreadsheet::Engine engine;
  std::unique_ptr<host::FormModel> form;
  component::Component self;
  host::Workbook* host_book = nullptr;
  host::Workbook* data_book = nullptr;
};

}  // namespace kelv::generate::testing
