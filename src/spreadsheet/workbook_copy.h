// A workbook's whole content copied, and put back in place of what an open
// workbook of the engine holds: what undoing long work is made of.
#pragma once

#include <memory>

#include "host/workbook.h"
#include "spreadsheet/model.h"

namespace kelv::spreadsheet {

// A copy of everything `book` holds, each sheet copied (image bytes and
// formulas are shared, as every copy of them shares them).
std::unique_ptr<Workbook> copy_workbook(const Workbook& book);

// Puts `model` in place of everything the engine's workbook `book` holds
// (sheets, styles, names, views), as if it had been read anew; the workbook
// keeps its place among the open ones and stays `ThisWorkbook` when it was.
// Handles to its old sheets must not be used again. `model` must have a
// sheet; HostError (kInvalidArgument) for a workbook of no engine.
void replace_model(host::Workbook& book, std::unique_ptr<Workbook> model);

}  // namespace kelv::spreadsheet
