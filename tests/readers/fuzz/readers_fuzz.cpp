// libFuzzer targets for the readers of other spreadsheet files, one binary
// per reader (KELV_FUZZ_READER: 1 .xls, 2 delimited text, 3 HTML, 4 XML
// spreadsheet). An input is the whole file. Whatever it holds, the reader
// either refuses it with a message (host::HostError) or returns a workbook
// that keeps the model's invariants.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/host_error.h"
#include "readers/biff.h"
#include "readers/text_table.h"
#include "spreadsheet/cells.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string name = "fuzz.xls";
  std::unique_ptr<kelv::spreadsheet::Workbook> book;
  try {
#if KELV_FUZZ_READER == 1
    book = kelv::readers::read_xls(bytes, name);
#elif KELV_FUZZ_READER == 2
    book = kelv::readers::read_delimited(bytes, name);
#elif KELV_FUZZ_READER == 3
    book = kelv::readers::read_html(bytes, name);
#else
    book = kelv::readers::read_spreadsheet_xml(bytes, name);
#endif
  } catch (const kelv::host::HostError& e) {
    if (e.number() != kelv::host::kRefused || e.description().empty()) std::abort();
    return 0;
  }
  if (!book || book->sheets.empty()) std::abort();
  for (const auto& sheet : book->sheets) {
    if (!kelv::spreadsheet::merges_disjoint(*sheet)) std::abort();
    for (const auto& row : sheet->rows)
      if (!kelv::spreadsheet::cells::sorted(row)) std::abort();
  }
  return 0;
}
