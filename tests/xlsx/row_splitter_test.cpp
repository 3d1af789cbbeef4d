// The lexical cut of a worksheet into the sheet and segments of rows.
#include "xlsx/row_splitter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kelv::xlsx {
namespace {

struct Cut {
  std::string sheet;
  std::vector<RowSplitter::Segment> segments;
  bool split = false;
  std::string start, end;
};

// Feeds the document in pieces of random sizes, some of one byte.
Cut cut(const std::string& doc, size_t segment_bytes, unsigned seed) {
  Cut c;
  RowSplitter s([&](std::string_view b) { c.sheet.append(b); },
                [&](RowSplitter::Segment&& seg) { c.segments.push_back(std::move(seg)); },
                segment_bytes);
  std::mt19937 g(seed);
  for (size_t at = 0; at < doc.size();) {
    const size_t n = std::min<size_t>(doc.size() - at, g() % 3 == 0 ? 1 : g() % 97 + 1);
    s.feed(std::string_view(doc).substr(at, n));
    at += n;
  }
  s.finish();
  c.split = s.split();
  c.start = s.document_start();
  c.end = s.document_end();
  return c;
}

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:x14ac=\"urn:x14ac\"><dimension ref=\"A1:C9\"/><sheetData>";
const std::string kTail = "</sheetData><mergeCells count=\"0\"/></worksheet>";

// Rows with the things a cut must not fall into: a comment and a CDATA
// section holding row tags and sheetData's end tag, an attribute value with
// '>' in it, a processing instruction, a row without r, an empty row.
std::string rows() {
  std::string r;
  for (int i = 1; i <= 40; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 5) {
      case 0:
        r += "<!-- <row r=\"" + n + "\"> </row></sheetData> -->";
        r += "<row r=\"" + n + "\" x14ac:dyDescent=\"a>b\"><c r=\"A" + n + "\"><v>" + n +
             "</v></c></row>";
        break;
      case 1:
        r += "<row r=\"" + n + "\"><c r=\"A" + n +
             "\" t=\"inlineStr\"><is><t><![CDATA[</row><row r=\"99\">]]></t></is></c></row>";
        break;
      case 2:
        r += "<row><?pi </row> ?><c><v>1</v></c></row>\n";
        break;
      case 3:
        r += "<row r=\"" + n + "\"/>";
        break;
      default:
        r += "<row r = '" + n + "' spans=\"1:3\" ><c><f>A1</f><v>2</v></c></row >";
    }
  }
  return r;
}

TEST(RowSplitter, CutsOnlyBeforeRowsThatNameTheirRow) {
  const std::string body = rows();
  const std::string doc = kHead + body + kTail;
  for (unsigned seed = 1; seed <= 20; ++seed) {
    const Cut c = cut(doc, 1 + seed * 7, seed);
    ASSERT_TRUE(c.split);
    EXPECT_EQ(c.sheet, kHead + kTail);
    std::string joined;
    for (size_t k = 0; k < c.segments.size(); ++k) {
      const auto& s = c.segments[k];
      joined += s.xml;
      if (k == 0) {
        EXPECT_EQ(s.first_row, 0);
        continue;
      }
      // Every later segment opens with the row it names.
      const std::string opening = "<row r=\"" + std::to_string(s.first_row) + "\"";
      const std::string opening2 = "<row r = '" + std::to_string(s.first_row) + "'";
      EXPECT_TRUE(s.xml.rfind(opening, 0) == 0 || s.xml.rfind(opening2, 0) == 0) << s.xml;
    }
    EXPECT_EQ(joined, body);
    EXPECT_GT(c.segments.size(), 5u);
  }
  const Cut c = cut(doc, 1, 1);
  // The declaration, the root's start tag and sheetData's, nothing between.
  EXPECT_EQ(c.start,
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
            "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:x14ac=\"urn:x14ac\"><sheetData>");
  EXPECT_EQ(c.end, "</sheetData></worksheet>");
}

TEST(RowSplitter, LeavesWholeWhatItCanNotCut) {
  const std::string latin =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><worksheet><sheetData><row r=\"1\"/>"
      "<row r=\"2\"/></sheetData></worksheet>";
  const std::string prefixed =
      "<x:worksheet xmlns:x=\"m\"><x:sheetData><x:row r=\"1\"/><x:row r=\"2\"/></x:sheetData>"
      "</x:worksheet>";
  const std::string empty = "<worksheet><sheetData/></worksheet>";
  const std::string unfinished = "<worksheet><sheetData><row r=\"1\"/><row r=\"2\"/>";
  const std::string utf16("\xFF\xFE<\0w\0", 6);
  for (const std::string& doc : {latin, prefixed, empty, unfinished, utf16}) {
    const Cut c = cut(doc, 1, 3);
    EXPECT_FALSE(c.split) << doc;
    std::string all = c.sheet;
    for (const auto& s : c.segments) all += s.xml;
    EXPECT_EQ(all.size(), doc.size()) << doc;
    if (c.segments.empty()) {
      EXPECT_EQ(c.sheet, doc);
    }
  }
}

}  // namespace
}  // namespace kelv::xlsx
