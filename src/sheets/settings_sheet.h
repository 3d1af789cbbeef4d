// The layout of the settings sheet "DTB" of the host workbook, in one place.
// Cells are (row, column); letters are given as a reading aid.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelv::sheets {

inline constexpr const char* kSettingsSheet = "DTB";
inline constexpr const char* kBaseSheet = "MBB";
inline constexpr const char* kStartSheet = "开始";

// Column A: the data-file list, heading in A1, names from A2 down.
inline constexpr int32_t kDataListColumn = 1;
inline constexpr const char* kDataListHeading = "数据表";

// The template catalogue: row 1 headings, one template per row from row 2.
// The selected template's row is LtbMoBan.ListIndex + 2.
inline constexpr int32_t kCatalogueFirstRow = 2;
inline constexpr int32_t kFlagColumn = 4;            // D: True on the selected template
inline constexpr int32_t kNameColumn = 5;            // E: template name
inline constexpr int32_t kRowsPerPageColumn = 6;     // F: TxtHang
inline constexpr int32_t kColsAcrossColumn = 7;      // G: TxtLie
inline constexpr int32_t kRowSpacingColumn = 8;      // H: TxtHJv
inline constexpr int32_t kColSpacingColumn = 9;      // I: TxtLJv
inline constexpr int32_t kSortNameColumn = 10;       // J: CmbPaiXv
inline constexpr int32_t kPageNameColumn = 11;       // K: CmbHuanYe
inline constexpr int32_t kAcrossFirstColumn = 12;    // L: ChbHengPai
inline constexpr int32_t kDataSourceColumn = 13;     // M: ChbSJYuan
inline constexpr int32_t kRoomLayoutColumn = 14;     // N: True: blocks laid out as the room's desks
inline constexpr int32_t kPageSetupColumn = 20;      // U..AC: column kPageSetupColumn + k, k = 1..9
inline constexpr int32_t kCatalogueLastColumn = 40;  // AN: a catalogue row spans D..AN

// The catalogue's extent is the current region of this cell (E1); its row
// count includes the heading row.
inline constexpr int32_t kCatalogueHeadingRow = 1;

// What a new template's row holds in F..M.
inline constexpr int32_t kNewRowsPerPage = 6;
inline constexpr int32_t kNewColsAcross = 2;
inline constexpr int32_t kNewRowSpacing = 20;
inline constexpr int32_t kNewColSpacing = 20;
inline constexpr const char* kNoColumn = "无";  // J and K: no sort / page-change column
inline constexpr bool kNewAcrossFirst = true;
inline constexpr bool kNewDataSource = true;  // 考生表

// The eight per-template settings and the controls that show them, in the
// order selection loads them.
struct SettingColumn {
  int32_t column;
  std::string_view control;
};
inline constexpr SettingColumn kTemplateSettings[] = {
    {kRowsPerPageColumn, "TxtHang"},    {kColsAcrossColumn, "TxtLie"},
    {kRowSpacingColumn, "TxtHJv"},      {kColSpacingColumn, "TxtLJv"},
    {kSortNameColumn, "CmbPaiXv"},      {kPageNameColumn, "CmbHuanYe"},
    {kAcrossFirstColumn, "ChbHengPai"}, {kDataSourceColumn, "ChbSJYuan"},
};

// The exam settings block, shared by all templates.
inline constexpr int32_t kStartNumberRow = 2, kStartNumberColumn = 61;  // BI2: TxtSKHao
inline constexpr int32_t kCycleRow = 2, kCycleColumn = 62;              // BJ2: TxtXHShu
inline constexpr int32_t kOptionPairRow = 3;                            // BI3/BI4, BJ3/BJ4
inline constexpr int32_t kNumberOrderColumn = 61;  // BI3 OptSXKaoHao, BI4 OptSJKaoHao
inline constexpr int32_t kSeatModeColumn = 62;     // BJ3 OptXHZuoHao, BJ4 OptACZuoHao
// The seating settings below the block: BI5 TxtZhongZi (the random seed as
// typed) and BJ5 CmbFenKai (the keep-apart column).
inline constexpr int32_t kSeatingRow = 5;
inline constexpr int32_t kSeedColumn = 61;
inline constexpr int32_t kKeepApartColumn = 62;
// Settings of kelv's own exam-level work, below the seating settings, each
// a True/False cell (empty reads as the default the work names):
// BI6 keep each elective combination together in the main arrangement,
// BJ6 the AB paper versions; BI7 and BJ7 the invigilation rules "not the
// paper of one's own subject" and "not a room where a class one teaches
// sits" (empty: on).
inline constexpr int32_t kCombinationRow = 6;
inline constexpr int32_t kKeepCombinationColumn = 61;
inline constexpr int32_t kPaperVersionColumn = 62;
inline constexpr int32_t kInvigilationRuleRow = 7;
inline constexpr int32_t kOwnSubjectRuleColumn = 61;
inline constexpr int32_t kOwnClassRuleColumn = 62;

// The page-setup capture: the carry-over flag in CL2 and the nine captured
// values in CM2..CU2 (column kCaptureFlagColumn + k, k = 1..9).
inline constexpr int32_t kCaptureRow = 2;
inline constexpr int32_t kCaptureFlagColumn = 90;

// The nine page-setup values, in their stored order (k = 1..9).
inline constexpr int32_t kPageSetupValueCount = 9;

}  // namespace kelv::sheets
