// An in-memory data workbook with 考场表 and 考生表, the component, a form and
// recorded dialogs: the stage most arrangement tests play on.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "arrange/assign_exam_numbers.h"
#include "component/component.h"
#include "host/form_model.h"
#include "host/recording_dialogs.h"
#include "host/system_environment.h"
#include "spreadsheet/engine.h"

namespace kelv::host {
inline void PrintTo(const Variant& v, std::ostream* os) {
  static const char* kinds[] = {"empty", "null", "boolean", "number", "text", "error"};
  *os << kinds[static_cast<int>(v.kind())] << " " << (v.is_error() ? "" : v.to_text());
}
}  // namespace kelv::host

namespace kelv::arrange::testing {

struct Room {
  std::string name;
  host::Variant places;
};

inline std::string ExamineeName(int32_t i) {
  char name[16];
  std::snprintf(name, sizeof name, "%03d", i);
  return "考生" + std::string(name);
}

class DataBook {
 public:
  // The form of the earlier tests has no seating controls: they pin down
  // the assignment as it runs on such a form.
  explicit DataBook(uint64_t seed = 1, host::FormModel::SeatingControls seating =
                                           host::FormModel::SeatingControls::Without)
      : env_(seed), self(dialogs, env_), form(host::FormModel::standard_form(seating)) {
    book = &engine.add_workbook("/nowhere/数据/考试.xlsx");
    rooms = &book->sheet_at(0);
    rooms->set_name("考场表");
    examinees = &book->add_sheet_after(*rooms);
    examinees->set_name("考生表");
    self.DataBookName = book->name();
    self.WorkColumn = 168;
  }

  // The room sheet as opening the workbook leaves it: columns 1, 6 and 7
  // formatted as text.
  void SetRooms(const std::vector<Room>& list) {
    for (int32_t c : {1, 6, 7}) rooms->columns(c).set_number_format_local("@");
    const char* headers[] = {"考场", "场人", "考室", "监考甲", "监考乙", "首考号", "尾考号"};
    for (int c = 0; c < 7; ++c) rooms->cells(1, c + 1).set_value(headers[c]);
    int32_t r = 2;
    for (const Room& room : list) {
      rooms->cells(r, 1).set_value(room.name);
      rooms->cells(r, 2).set_value(room.places);
      rooms->cells(r, 3).set_value("教室" + room.name);
      rooms->cells(r, 4).set_value("甲" + room.name);
      rooms->cells(r, 5).set_value("乙" + room.name);
      ++r;
    }
  }

  // Examinees 考生001.. with a school, grade and class in a fixed pattern.
  void SetExaminees(int32_t n,
                    const std::vector<std::string>& headers = {"姓名", "学校", "年级", "班级"}) {
    for (size_t c = 0; c < headers.size(); ++c)
      examinees->cells(1, static_cast<int32_t>(c) + 1).set_value(headers[c]);
    const char* schools[] = {"一中", "二中", "三中"};
    const char* grades[] = {"高一", "高二"};
    const char* classes[] = {"1班", "2班", "3班", "4班"};
    for (int32_t i = 1; i <= n; ++i) {
      examinees->cells(i + 1, 1).set_value(ExamineeName(i));
      if (headers.size() > 1) examinees->cells(i + 1, 2).set_value(schools[i % 3]);
      if (headers.size() > 2) examinees->cells(i + 1, 3).set_value(grades[(i / 3) % 2]);
      if (headers.size() > 3) examinees->cells(i + 1, 4).set_value(classes[(i / 6) % 4]);
    }
  }

  void Run(const std::string& start, const std::string& cycle, bool per_room_seats,
           bool random_order = false) {
    (*form)["TxtSKHao"].set_value(start);
    (*form)["TxtXHShu"].set_value(cycle);
    (*form)[per_room_seats ? "OptACZuoHao" : "OptXHZuoHao"].set_value(true);
    (*form)[random_order ? "OptSJKaoHao" : "OptSXKaoHao"].set_value(true);
    AssignExamNumbers(self, engine, *form);
  }

  // The column of a header in row 1 of the examinee sheet, 0 when missing.
  int32_t Column(const std::string& header) const {
    for (int32_t c = 1; c <= 64; ++c)
      if (host::text_equals(examinees->cell_value(1, c), header)) return c;
    return 0;
  }
  host::Variant At(int32_t row, const std::string& header) const {
    return examinees->cell_value(row, Column(header));
  }
  std::string Text(int32_t row, const std::string& header) const {
    return At(row, header).to_text();
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const host::DialogRecord& m : dialogs.messages()) out.push_back(m.text);
    return out;
  }
  int Tones() const {
    int n = 0;
    for (const host::DialogRecord& r : dialogs.records())
      if (r.kind == "tone" && r.hertz == 360 && r.milliseconds == 36) ++n;
    return n;
  }

  spreadsheet::Engine engine{nullptr};
  host::RecordingDialogs dialogs;

 private:
  host::SystemEnvironment env_;

 public:
  component::Component self;
  std::unique_ptr<host::FormModel> form;
  host::Workbook* book = nullptr;
  host::Worksheet* rooms = nullptr;
  host::Worksheet* examinees = nullptr;
};

}  // namespace kelv::arrange::testing
