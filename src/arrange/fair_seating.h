// The ordering step of an assignment run on a form that has the seating
// controls: a random order drawn from a seed that is recorded and can be
// given again, classmates kept apart, and examinees held to a fixed room.
// A form without those controls, or with them left at their defaults in
// sheet order, leaves the run exactly as it was.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "arrange/seat_order.h"
#include "component/component.h"
#include "host/application.h"
#include "host/form.h"
#include "host/worksheet.h"

namespace kelv::arrange {

inline constexpr const char* kSeedControl = "TxtZhongZi";      // 随机种子
inline constexpr const char* kKeepApartControl = "CmbFenKai";  // 同组不相邻
inline constexpr const char* kFixedRoomHeader = "指定考场";    // examinee sheet, optional
inline constexpr const char* kRecordSheet = "排座记录";        // written into the data workbook
inline constexpr const char* kNoKeepApart = "无";

class SeatingPlan {
 public:
  // Reads the form and both sheets before anything is written. The plan is
  // inactive when the form has neither seating control, or when the run is
  // in sheet order with no keep-apart column chosen and no 指定考场 column,
  // unless the settings sheet asks to keep elective combinations together
  // and the examinee sheet has a 选考科目 column. In random order with AB 卷 and no keep-apart
  // column chosen, two grades (年级 holding exactly two values) are kept apart, so that they
  // alternate like the versions.
  // It is refused, after a notice naming what is wrong (and the rows), for a
  // seed that is not a number, a keep-apart column the examinee sheet lacks,
  // a 每列座数 that is not a whole number, a fixed room that is not on the
  // room sheet or is named twice there, or more fixed examinees than a room
  // receives.
  static SeatingPlan Prepare(component::Component& self, host::Application& EA, host::Form& UF,
                             host::Worksheet& rooms, host::Worksheet& examinees);

  bool active() const { return active_; }
  bool refused() const { return refused_; }

  // Puts the examinee rows into the planned order: a key column "sj" at the
  // table's right edge numbers each row's new place, the table is sorted by
  // it and the column cleared, as the plain shuffle does.
  void Reorder(host::Worksheet& examinees) const;

  // After the run: writes the record sheet "排座记录" of the data workbook
  // (seed, options, and per room the spread and shared neighbours when
  // keep-apart was on), leaves the examinee sheet active and shows a notice
  // with the seed, what keep-apart achieved and, with `versions`, that the
  // paper versions were written.
  void Report(component::Component& self, host::Workbook& book, host::Worksheet& examinees,
              bool versions = false) const;

 private:
  // The steps of Prepare; each adds what it finds wrong to `problems`.
  void ReadSeed(component::Component& self, host::Control* seed_box,
                std::vector<std::string>& problems);
  int32_t ReadKeepApart(host::Worksheet& examinees, const std::string& apart,
                        std::vector<std::string>& problems);
  std::map<std::string, std::vector<int32_t>> ReadRooms(host::Worksheet& rooms,
                                                        std::vector<std::string>& problems);
  std::vector<int32_t> ReadFixedRooms(host::Worksheet& examinees, int32_t fixed_col,
                                      const std::map<std::string, std::vector<int32_t>>& rows_named,
                                      std::vector<std::string>& problems);
  std::vector<int32_t> ReadGroups(host::Worksheet& examinees, int32_t group_col) const;
  std::vector<int32_t> ReadCombinations(host::Worksheet& examinees, int32_t combination_col);
  void SortByContent(host::Worksheet& examinees);

  bool active_ = false;
  bool refused_ = false;
  bool seed_drawn_ = false;
  bool apart_ignored_ = false;       // a keep-apart column chosen in sheet order
  bool apart_for_versions_ = false;  // two grades kept apart for the paper versions
  std::string apart_header_;
  int32_t fixed_count_ = 0;
  int32_t combinations_ = 0;
  std::string combination_header_;  // the elective column, when combinations are kept together
  std::vector<std::string> room_names_;
  SeatOrderRequest request_;
  std::vector<int32_t> sheet_row_;  // request index -> examinee index (0 = row 2)
  std::vector<int32_t> order_;      // request indices in filling order
};

}  // namespace kelv::arrange
