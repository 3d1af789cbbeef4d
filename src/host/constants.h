// Numeric constants of the host object model, under their usual names.
#pragma once

#include <cstdint>

namespace kelv::host {

inline constexpr int32_t kMaxRows = 1048576;
inline constexpr int32_t kMaxColumns = 16384;

enum class SortOrder : int32_t { Ascending = 1, Descending = 2 };  // xlAscending, xlDescending
enum class SortHeader : int32_t { Guess = 0, Yes = 1, No = 2 };    // xlGuess, xlYes, xlNo
enum class LookAt : int32_t { Whole = 1, Part = 2 };               // xlWhole, xlPart
enum class SheetVisibility : int32_t { Visible = -1, Hidden = 0, VeryHidden = 2 };

// Alignment constants (HorizontalAlignment / VerticalAlignment).
inline constexpr int32_t xlGeneral = 1;
inline constexpr int32_t xlLeft = -4131;
inline constexpr int32_t xlCenter = -4108;
inline constexpr int32_t xlRight = -4152;
inline constexpr int32_t xlTop = -4160;
inline constexpr int32_t xlBottom = -4107;

inline constexpr int32_t xlUp = -4162;           // Delete Shift
inline constexpr int32_t xlPasteValues = -4163;  // PasteSpecial Paste
inline constexpr int32_t xlCalculationAutomatic = -4105;
inline constexpr int32_t xlCalculationManual = -4135;
inline constexpr int32_t xlPortrait = 1;
inline constexpr int32_t xlLandscape = 2;
inline constexpr int32_t xlPaperA4 = 9;

}  // namespace kelv::host
