// One input of the reader's fuzz target, as the target and the regression
// tests both read it: any bytes either read (and what was read writes) or
// raise a HostError; nothing else may happen. Input starting like a zip is
// the file itself; anything else is one part (chosen by its first byte) of
// an otherwise sound package, so the XML readers get mutated XML directly.
// Everything happens in memory: the package is read from a buffer and what
// is written goes nowhere; the fuzzer tries the reader and writer, not the
// disk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "../zip_bytes.h"
#include "host/host_error.h"
#include "host/file_system.h"
#include "xlsx/package.h"
#include "xlsx/xlsx_format.h"

namespace kelv::xlsx::fuzz {

using host::FileSystem;
using host::WritableFile;

inline const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

inline std::map<std::string, std::string> sound_package() {
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

// A file system whose files keep nothing.
class NowhereFileSystem : public FileSystem {
 public:
  std::unique_ptr<WritableFile> create_temporary(const std::string& folder,
                                                 const std::string& prefix, const std::string&,
                                                 std::string* path) override {
    *path = folder + "/" + prefix + "nowhere";
    return std::make_unique<File>();
  }
  void rename(const std::string&, const std::string&) override {}
  void sync_folder(const std::string&) override {}
  void remove(const std::string&) noexcept override {}
  void remove_leftovers(const std::string&, const std::string&) noexcept override {}

 private:
  class File : public WritableFile {
   public:
    void write(const void*, size_t size) override {
      at_ += size;
      end_ = std::max(end_, at_);
    }
    void seek(uint64_t position) override { at_ = position; }
    uint64_t position() const override { return at_; }
    void sync() override {}
    void close() override {}

   private:
    uint64_t at_ = 0, end_ = 0;
  };
};

// Reads one input; `folder` is an existing folder the written workbook
// claims to go to.
inline void read_input(const uint8_t* data, size_t size, const std::string& folder) {
  UnpackLimits limits;
  limits.total_bytes = 64u << 20;  // small, so a bomb is refused quickly
  limits.part_bytes = 32u << 20;
  auto bytes = std::make_shared<std::string>();
  if (size >= 2 && data[0] == 'P' && data[1] == 'K') {
    bytes->assign(reinterpret_cast<const char*>(data), size);
  } else if (size > 0) {
    static const char* const parts[] = {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml",
                                        "xl/styles.xml", "xl/workbook.xml",
                                        "xl/drawings/drawing1.xml"};
    auto p = sound_package();
    p[parts[data[0] % 5]] = std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
    test::ZipBytes zip;
    for (const auto& [name, text] : p) zip.add(name, text);
    *bytes = zip.finish();
  } else {
    return;
  }
  try {
    auto book = read_workbook(std::move(bytes), folder + "/input.xlsx", limits);
    // What was read must also write.
    NowhereFileSystem nowhere;
    write_workbook(*book, folder + "/output.xlsx", nowhere);
  } catch (const host::HostError&) {
  }
}

}  // namespace kelv::xlsx::fuzz
