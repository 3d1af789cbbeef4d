// Joins two PDF files held in memory: the second's pages after the first's.
// Its own piece, built as C++17 with nothing of kelv's but this header:
// qpdf's headers do not compile as C++20 under clang.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace kelv::print {

// Writes the joined file to `sink` in blocks. The first file's catalogue
// and document information are the result's; the streams (pages, pictures,
// fonts) are copied as they are, not compressed again. Throws
// std::runtime_error (qpdf's words) for a file it cannot read, and passes on
// what `sink` throws.
void join_pdfs(std::string_view first, std::string_view second,
               const std::function<void(const char*, size_t)>& sink);

}  // namespace kelv::print
