// What the system writes on the examinee sheet "考生表", in one place: the
// assignment columns and the group counts. The sheet's other columns are the
// user's; every column is found by its heading in row 1.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelv::sheets {

inline constexpr const char* kExamineeSheet = "考生表";

// The assignment columns, in the order they are looked up and, when
// missing, appended at the right edge of the table.
enum AssignmentColumn : int32_t {
  kAssignedRoom,
  kAssignedPlaces,
  kAssignedLocation,
  kAssignedInvigilatorA,
  kAssignedInvigilatorB,
  kAssignedExamNumber,
  kAssignedSeatNumber,
};
inline constexpr int32_t kAssignmentColumnCount = 7;
inline constexpr const char* kAssignmentHeadings[kAssignmentColumnCount] = {
    "考场", "场人", "考室", "监考甲", "监考乙", "考号", "座号"};

inline constexpr const char* kExamNumberHeading = "考号";

// A group column and the column that counts its members. A class is headed
// 班级, or 班次 where a school calls it so; both count into 班人.
struct GroupCount {
  std::string_view group;
  std::string_view count;
};
inline constexpr GroupCount kSchoolCount{"学校", "校人"};
inline constexpr GroupCount kGradeCount{"年级", "级人"};
inline constexpr GroupCount kClassCount{"班级", "班人"};
inline constexpr GroupCount kClassCountAlternative{"班次", "班人"};

// The random order's key column, appended at the right edge and cleared
// after the sort.
inline constexpr const char* kShuffleKeyHeading = "sj";

}  // namespace kelv::sheets
