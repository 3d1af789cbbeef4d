// AB 卷: two versions of a paper handed out so that nobody has the version
// of the desk in front, behind, left or right. A room's seats are numbered
// in its S (the first column front to back, the next back to front, ...),
// and both consecutive seats and seats side by side in neighbouring columns
// have numbers of different parity; so the version follows the seat's place
// in the room: A on the 1st, 3rd, 5th ... seat, B on the 2nd, 4th, ...
#pragma once

#include <cstdint>
#include <string>

#include "host/form.h"
#include "host/worksheet.h"

namespace kelv::arrange {

// Whether the run hands out versions: the form's AB 卷 check box, on a form
// that has it.
bool PaperVersionsWanted(host::Form& UF);

// The version of the seat with place `seat` in its room (0: the first seat).
const char* PaperVersion(int32_t seat);

// The grade column when the examinee sheet's 年级 holds exactly two grades
// (empty cells aside), so that with versions the two grades alternate as
// well; "" otherwise.
std::string TwoGradesColumn(host::Worksheet& examinees);

// The 试卷 column of the examinee sheet for one run: the column headed so,
// or a new one at the table's right edge, cleared, headed, and coloured and
// formatted like the assignment columns.
class PaperVersionColumn {
 public:
  explicit PaperVersionColumn(host::Worksheet& examinees);
  // Writes the versions of one room's rows, first_row holding its first
  // seat, in one write.
  void WriteRoom(int32_t first_row, int32_t last_row) const;

 private:
  host::Worksheet& sheet_;
  int32_t column_;
};

// What the run's notice says of the versions.
std::string PaperVersionNote();

}  // namespace kelv::arrange
