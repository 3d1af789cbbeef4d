// Text services of the engine, all on UTF-8: Unicode case folding for names
// and look-ups, PRC collation keys for sorting, case-insensitive search for
// Replace and COUNTIF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelv::spreadsheet::text {

// Full Unicode case folding; two names are the same ignoring case when their
// foldings are equal.
std::string fold_case(std::string_view s);
bool equal_ignore_case(std::string_view a, std::string_view b);

// Length in Unicode code points, and the first n code points.
int32_t length(std::string_view s);
std::string prefix(std::string_view s, int32_t n);

// Appends the sort key of s under the Chinese (PRC) collation at secondary
// strength: pinyin order for Han characters, letter case and width ignored.
// Keys compare with memcmp; equal keys mean equal texts for sorting.
void append_sort_key(std::string_view s, std::string& out);

// Replaces what by replacement ignoring letter case (simple per-character
// folding, so positions map one to one). Whole: only a text equal to what is
// replaced. Returns false and leaves out untouched when nothing matched.
bool replace_ignore_case(std::string_view s, std::string_view what, std::string_view replacement,
                         bool whole, std::string* out);

// The simple case folding of s, position-preserving (used as a look-up key).
std::string simple_fold(std::string_view s);

// Pattern match with * (any run), ? (one character) and ~ (escapes the next
// character), ignoring letter case.
bool wildcard_match(std::string_view pattern, std::string_view s);
bool has_wildcards(std::string_view pattern);

}  // namespace kelv::spreadsheet::text
