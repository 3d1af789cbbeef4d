// The order a sort puts rows in, from each row's key value.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "spreadsheet/cell_value.h"

namespace kelv::spreadsheet {

// The rows' new order, stable: order[i] is the row (an index into keys) that
// goes to place i. Numbers come first, then texts in Chinese collation
// order, then Booleans, then errors (all equal to each other); descending
// reverses that. A missing or blank key (nullptr, empty, or empty text)
// always goes last, in the order it came.
std::vector<uint32_t> sorted_order(std::span<const CellValue* const> keys, bool descending);

}  // namespace kelv::spreadsheet
