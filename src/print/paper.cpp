#include "print/paper.h"

namespace kelv::print {
namespace {

struct Entry {
  int32_t code;
  double width, height;
  bool millimetres;  // else inches
  const char* name;
};

// The codes spreadsheet files use, with the sizes their printers give them.
constexpr Entry kPapers[] = {
    {1, 8.5, 11, false, "Letter"},
    {2, 8.5, 11, false, "Letter Small"},
    {3, 11, 17, false, "Tabloid"},
    {4, 17, 11, false, "Ledger"},
    {5, 8.5, 14, false, "Legal"},
    {6, 5.5, 8.5, false, "Statement"},
    {7, 7.25, 10.5, false, "Executive"},
    {8, 297, 420, true, "A3"},
    {9, 210, 297, true, "A4"},
    {10, 210, 297, true, "A4 Small"},
    {11, 148, 210, true, "A5"},
    {12, 257, 364, true, "B4 (JIS)"},
    {13, 182, 257, true, "B5 (JIS)"},
    {14, 8.5, 13, false, "Folio"},
    {15, 215, 275, true, "Quarto"},
    {16, 10, 14, false, "10x14"},
    {17, 11, 17, false, "11x17"},
    {18, 8.5, 11, false, "Note"},
    {19, 3.875, 8.875, false, "Envelope #9"},
    {20, 4.125, 9.5, false, "Envelope #10"},
    {21, 4.5, 10.375, false, "Envelope #11"},
    {22, 4.75, 11, false, "Envelope #12"},
    {23, 5, 11.5, false, "Envelope #14"},
    {24, 17, 22, false, "C"},
    {25, 22, 34, false, "D"},
    {26, 34, 44, false, "E"},
    {27, 110, 220, true, "Envelope DL"},
    {28, 162, 229, true, "Envelope C5"},
    {29, 324, 458, true, "Envelope C3"},
    {30, 229, 324, true, "Envelope C4"},
    {31, 114, 162, true, "Envelope C6"},
    {32, 114, 229, true, "Envelope C65"},
    {33, 250, 353, true, "B4"},
    {34, 176, 250, true, "B5"},
    {35, 176, 125, true, "Envelope B6"},
    {36, 110, 230, true, "Envelope Italy"},
    {37, 3.875, 7.5, false, "Envelope Monarch"},
    {38, 3.625, 6.5, false, "Envelope 6 3/4"},
    {39, 14.875, 11, false, "US Std Fanfold"},
    {40, 8.5, 12, false, "German Std Fanfold"},
    {41, 8.5, 13, false, "German Legal Fanfold"},
    {42, 250, 353, true, "B4 (ISO)"},
    {43, 100, 148, true, "Japanese Postcard"},
    {66, 420, 594, true, "A2"},
    {70, 105, 148, true, "A6"},
};

}  // namespace

std::optional<Paper> paper_for_code(int32_t code) {
  for (const Entry& e : kPapers) {
    if (e.code != code) continue;
    const double unit = e.millimetres ? 72.0 / 25.4 : 72.0;
    return Paper{e.width * unit, e.height * unit, e.name};
  }
  return std::nullopt;
}

Paper a4_paper() {
  return *paper_for_code(9);
}

}  // namespace kelv::print
