// libFuzzer target: any bytes handed to the reader either read or raise a
// HostError; nothing else may happen. Input starting like a zip is the
// file itself; anything else is one part (chosen by its first byte) of an
// otherwise sound package, so the XML readers get mutated XML directly.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "host/host_error.h"
#include "xlsx/package.h"
#include "xlsx/xlsx_format.h"

namespace {

const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::map<std::string, std::string> sound_package() {
  const std::string rt = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  std::map<std::string, std::string> p;
  p["[Content_Types].xml"] =
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";
  p["_rels/.rels"] =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"" +
      rt +
      "officeDocument\" Target=\"xl/workbook.xml\"/>"
      "</Relationships>";
  p["xl/_rels/workbook.xml.rels"] =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"" +
      rt +
      "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
      "<Relationship Id=\"rId2\" Type=\"" +
      rt +
      "sharedStrings\" Target=\"sharedStrings.xml\"/>"
      "<Relationship Id=\"rId3\" Type=\"" +
      rt + "styles\" Target=\"styles.xml\"/></Relationships>";
  p["xl/worksheets/_rels/sheet1.xml.rels"] =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"" +
      rt +
      "drawing\" Target=\"../drawings/drawing1.xml\"/>"
      "</Relationships>";
  p["xl/workbook.xml"] =
      std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + kRel +
      "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
  p["xl/sharedStrings.xml"] = std::string("<sst xmlns=\"") + kMain + "\"><si><t>a</t></si></sst>";
  p["xl/styles.xml"] = std::string("<styleSheet xmlns=\"") + kMain + "\"/>";
  p["xl/worksheets/sheet1.xml"] = std::string("<worksheet xmlns=\"") + kMain + "\" xmlns:r=\"" +
                                  kRel + "\"><sheetData/><drawing r:id=\"rId1\"/></worksheet>";
  p["xl/drawings/drawing1.xml"] =
      "<xdr:wsDr "
      "xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\"/>";
  return p;
}

// The input and the workbook written from it, in the temporary folder and
// removed when the fuzzer exits.
const std::string* scratch = nullptr;

void remove_scratch() {
  std::remove(scratch->c_str());
  std::remove((*scratch + ".out.xlsx").c_str());
}

const std::string& scratch_file() {
  if (!scratch) {
    scratch = new std::string((std::filesystem::temp_directory_path() /
                               ("kelv-fuzz-" + std::to_string(getpid()) + ".xlsx"))
                                  .string());
    std::atexit(remove_scratch);
  }
  return *scratch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = scratch_file();
  kelv::xlsx::UnpackLimits limits;
  limits.total_bytes = 64u << 20;  // small, so a bomb is refused quickly
  limits.part_bytes = 32u << 20;
  try {
    if (size >= 2 && data[0] == 'P' && data[1] == 'K') {
      FILE* f = std::fopen(path.c_str(), "wb");
      if (!f) return 0;
      std::fwrite(data, 1, size, f);
      std::fclose(f);
    } else if (size > 0) {
      static const char* const parts[] = {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml",
                                          "xl/styles.xml", "xl/workbook.xml",
                                          "xl/drawings/drawing1.xml"};
      auto p = sound_package();
      p[parts[data[0] % 5]] = std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
      kelv::xlsx::PackageWriter w(path);
      for (auto& [name, text] : p) w.add(name, std::move(text));
      w.close();
    } else {
      return 0;
    }
    auto book = kelv::xlsx::read_workbook(path, limits);
    // What was read must also write.
    kelv::xlsx::write_workbook(*book, path + ".out.xlsx");
  } catch (const kelv::host::HostError&) {
  }
  return 0;
}
