// The workbook part: the sheet list (sheets of other kinds, such as chart
// sheets, kept with their relationships and places), the defined names, the
// window's book view, workbookPr and the elements the model does not hold,
// kept as written and put back in their places. Calculation settings are
// written fresh: the application recalculates on opening.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "spreadsheet/model.h"

namespace kelv::xlsx {

class PackageReader;

// Reads one sheet's part into the sheet given.
using SheetReader = std::function<void(const std::string& part, spreadsheet::Sheet& sheet)>;

// Reads the workbook part into `book`, each worksheet through read_sheet in
// the order of the list. sheet_rels are the workbook's relationships to
// worksheet parts by id; an entry naming any other relationship is a sheet of
// another kind, whose relationship moves from the book's kept relationships
// to the kept sheet. A sheet index out of range is repaired and reported in
// book.repairs; a part without sheets or without a sheet list fails.
void read_workbook_part(PackageReader& package, const std::string& part,
                        const std::map<std::string, spreadsheet::RawRelationship>& sheet_rels,
                        spreadsheet::Workbook& book, const SheetReader& read_sheet);

// The workbook part's XML; sheet_rel_ids[i] is the relationship id of the
// part of book.sheets[i].
std::string write_workbook_part(const spreadsheet::Workbook& book,
                                const std::vector<std::string>& sheet_rel_ids);

}  // namespace kelv::xlsx
