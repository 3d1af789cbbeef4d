// Reads the items of a shared-strings part without an XML parser where
// they are plain: <si><t>text</t></si>, the <t> perhaps with
// xml:space="preserve", its text well-formed UTF-8 with the predefined
// entities and character references. A workbook of a million examinees has
// some three million such items, and the parser takes several times as
// long over them.
//
// It stops at the first item it can not read exactly as the parser would
// (rich text, a phonetic reading, an unknown entity, a carriage return
// the parser would normalise, anything malformed) and leaves the rest to the
// parser. What it reads, it reads as the parser's text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelv::xlsx {

struct PlainStrings {
  enum class Stop {
    More,      // the bytes end inside an item: read on once more have come
    NotPlain,  // an item the parser must read
    End,       // an end tag (the root's, when the part is whole)
  };
  Stop stop = Stop::More;
  size_t read = 0;  // bytes read: everything before `read` is in the texts
};

// Reads items from the start of `xml` (the content of the root) and
// appends each item's text, as the parser gives it, to `texts`.
PlainStrings read_plain_strings(std::string_view xml, std::vector<std::string>& texts);

// Where the root's start tag ends in the bytes of a document's start (just
// past its '>'); 0 when it has not all come yet, and npos when the prolog
// holds anything but the XML declaration, processing instructions, comments
// and white space (a DOCTYPE, say) or the root is empty: the parser then
// reads the document alone.
size_t root_start_tag_end(std::string_view xml);

}  // namespace kelv::xlsx
