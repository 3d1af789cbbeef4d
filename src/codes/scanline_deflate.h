// The zlib stream of a code picture's scanlines. A code's picture is a few
// distinct rows, each repeated for the height of a module or of the bars:
// a Code 128 on a seat label is one row of bars and a hundred rows "as the
// row above". A general compressor spends tens of microseconds finding
// those repeats in twelve kilobytes; here they are taken as they are known
// to be, the row above (distance: one row) and runs of one byte (distance
// one), with one look back for the bytes of a row drawn afresh, and
// written as one deflate block, of codes made for it or of the fixed codes
// when those come out smaller, in a few microseconds and at about the same
// size.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelv::codes {

// A complete zlib stream (header, one final fixed-code deflate block,
// Adler-32) that inflates to `raw`, whose rows are `stride` bytes each.
std::string zlib_of_scanlines(std::string_view raw, size_t stride);

// The same stream for rows given in three parts: `head` (whole rows), then
// `repeats` rows each "as the row above" (the PNG filter byte 2 and zeros),
// then `tail` (whole rows). A code's bars are one row and a hundred
// repeats; they are neither drawn nor searched.
std::string zlib_of_rows(std::string_view head, size_t repeats, std::string_view tail,
                         size_t stride);

}  // namespace kelv::codes
