// Fonts for cells on screen and paper. A workbook names fonts of the
// machine it was made on (宋体, Calibri, Arial); each name is drawn with
// that font when installed, else with an installed font of the same metrics
// or kind, and Chinese text always has a CJK font to fall back on.
#pragma once

#include <QFont>
#include <QString>

#include "spreadsheet/model.h"

namespace kelv::print {

// The CJK font used for Chinese text: the first installed of a list that
// prefers TrueType fonts, whose embedded subsets keep text extractable.
QString cjk_family();

// "" when font name `name` draws with its own face or the face chosen for
// it; else a note for the user naming the face that is missing, the one
// used instead and the package that brings the missing one.
std::string font_note(const std::string& name);

// The installed family that draws font name `name` (for a Chinese font
// name that is not installed: its Latin text; Chinese text always falls
// back to cjk_family()).
QString resolve_family(const std::string& name);

// A font for the cell format `f` at `units_per_point` device units per
// point (its size rounded to whole device pixels).
QFont cell_font(const spreadsheet::Font& f, double units_per_point);

// Makes `font` bold or not; bold text in a face Qt cannot embolden (the
// Ming and Kai faces) is drawn with a Hei face instead.
void set_bold(QFont& font, bool bold);

// A font drawing font name `name` at `points` points, at `units_per_point`
// device units per point.
QFont text_font(const std::string& name, double points, double units_per_point);

}  // namespace kelv::print
