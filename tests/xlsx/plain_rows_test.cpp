// Plain rows read without the XML parser must read exactly as the parser
// reads them, and anything the parser would refuse must be given up.
#include "xlsx/plain_rows.h"

#include <expat.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace kelv::xlsx {
namespace {

const std::string kStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:x14ac=\"urn:x14ac\" xmlns:mc=\"urn:mc\"><sheetData>";
const std::string kEnd = "</sheetData></worksheet>";

// One line per row, cell, value and cell end, with the unprefixed
// attributes, in the order they come.
using Events = std::vector<std::string>;

std::string joined(const char** atts) {
  std::string s;
  for (int i = 0; atts[i]; i += 2) s.append(" ").append(atts[i]).append("=").append(atts[i + 1]);
  return s;
}

struct Recorder : PlainRowsHandler {
  Events events;
  bool row(const char** atts) override {
    events.push_back(std::string("row").append(joined(atts)));
    return true;
  }
  bool cell(const char** atts) override {
    events.push_back(std::string("c").append(joined(atts)));
    return true;
  }
  void value(std::string_view text) override {
    events.push_back(std::string("v[").append(text).append("]"));
  }
  bool cell_end() override {
    events.push_back("/c");
    return true;
  }
};

// The same events from expat, reading the rows inside the document's start
// and end with namespaces, as the worksheet reader does; "other" for any
// other element. Empty with `ok` false when expat refuses the document.
struct ExpatEvents {
  Events events;
  int depth = 0;
  bool in_value = false;
  std::string text;

  static std::string local(const char* name) {
    std::string_view n(name);
    const size_t a = n.find('\x01');
    if (a == std::string_view::npos) return std::string(n);
    const size_t b = n.find('\x01', a + 1);
    return std::string(n.substr(a + 1, b == std::string_view::npos ? b : b - a - 1));
  }
  static std::string plain_atts(const char** atts) {
    std::string s;
    for (int i = 0; atts[i]; i += 2) {
      if (std::string_view(atts[i]).find('\x01') != std::string_view::npos) continue;
      s.append(" ").append(atts[i]).append("=").append(atts[i + 1]);
    }
    return s;
  }
  static void start(void* self, const char* name, const char** atts) {
    auto* e = static_cast<ExpatEvents*>(self);
    const std::string n = local(name);
    ++e->depth;
    if (e->depth <= 2) return;  // worksheet, sheetData
    if (e->depth == 3 && n == "row") {
      e->events.push_back(std::string("row").append(plain_atts(atts)));
    } else if (e->depth == 4 && n == "c") {
      e->events.push_back(std::string("c").append(plain_atts(atts)));
    } else if (e->depth == 5 && n == "v") {
      e->in_value = true;
      e->text.clear();
    } else {
      e->events.push_back("other");
    }
  }
  static void end(void* self, const char*) {
    auto* e = static_cast<ExpatEvents*>(self);
    if (e->depth == 5 && e->in_value) {
      e->events.push_back(std::string("v[").append(e->text).append("]"));
      e->in_value = false;
    } else if (e->depth == 4) {
      e->events.push_back("/c");
    }
    --e->depth;
  }
  static void chars(void* self, const char* s, int n) {
    auto* e = static_cast<ExpatEvents*>(self);
    if (e->in_value) e->text.append(s, static_cast<size_t>(n));
  }

  bool read(const std::string& rows) {
    XML_Parser p = XML_ParserCreateNS(nullptr, '\x01');
    XML_SetReturnNSTriplet(p, 1);
    XML_SetUserData(p, this);
    XML_SetElementHandler(p, &start, &end);
    XML_SetCharacterDataHandler(p, &chars);
    const std::string doc = kStart + rows + kEnd;
    const bool ok =
        XML_Parse(p, doc.data(), static_cast<int>(doc.size()), XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(p);
    return ok;
  }
};

// Reads the rows both ways: when the plain read takes them, the parser must
// too, with the same events. Returns whether the plain read took them.
bool same_as_parser(const std::string& rows) {
  Recorder plain;
  const bool taken = read_plain_rows(kStart, rows, plain);
  if (!taken) return false;
  ExpatEvents parsed;
  EXPECT_TRUE(parsed.read(rows)) << "taken, but the parser refuses: " << rows;
  EXPECT_EQ(plain.events, parsed.events) << rows;
  return true;
}

TEST(PlainRows, ATableAsProducersWriteItReadsAsTheParserReadsIt) {
  const std::string rows =
      "<row r=\"1\" spans=\"1:3\" x14ac:dyDescent=\"0.25\">"
      "<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"3\" t=\"s\"><v>12</v></c>"
      "<c r=\"C1\" s=\"2\"/></row>\n"
      "<row r='2' ht=\"20.25\" customHeight=\"1\">\n  <c r = 'A2' >\n <v> 1.5E-3 </v> </c>"
      "<c r=\"B2\"><v/></c><c r=\"C2\" t=\"b\"><v xml:space=\"preserve\">1</v></c></row >"
      "<row r=\"3\"/><row r=\"4\"></row>";
  EXPECT_TRUE(same_as_parser(rows));
  Recorder r;
  ASSERT_TRUE(read_plain_rows(kStart, rows, r));
  EXPECT_EQ(r.events.front(), "row r=1 spans=1:3");
  EXPECT_EQ(r.events[7], "c r=C1 s=2");
  EXPECT_EQ(r.events[11], "v[ 1.5E-3 ]");
  EXPECT_TRUE(same_as_parser(""));
}

TEST(PlainRows, WhatIsNotPlainIsLeftToTheParser) {
  for (const char* rows : {
           "<row r=\"1\"><c r=\"A1\"><f>1+1</f><v>2</v></c></row>",  // a formula
           "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>x</t></is></c></row>",
           "<row r=\"1\"><c r=\"A1\" t=\"str\"><v>&amp;</v></c></row>",         // a reference
           "<row r=\"1\"><c r=\"A1\" t=\"str\"><v>\xe4\xb8\x80</v></c></row>",  // not ASCII
           "<row r=\"1\"><c r=\"A1\"><v>1\r\n</v></c></row>",  // normalised line ends
           "<row r=\"1\"><!-- a comment --></row>",
           "<row r=\"1\"><c r=\"A1\"><v><![CDATA[1]]></v></c></row>", "<row r=\"1\"><?pi x?></row>",
           "<row r=\"1\" xmlns:q=\"urn:q\" q:a=\"1\"/>",  // a namespace declared in a row
           "<row r=\"1\" o:a=\"1\"/>",                    // a prefix bound nowhere
           "<row r=\"1\" x14ac:a=\"1\" mc:a=\"2\"/>",     // one local name under two prefixes
           "<x14ac:row r=\"1\"/>", "<row r=\"1\">text</row>",
           "<row r=\"1\"><c r=\"A1\"><v>1</v><extLst/></c></row>",
           "<row r=\"1\"><c r=\"A1\" t=\"a\tb\"/></row>",  // a tab in a value is normalised
       }) {
    Recorder r;
    EXPECT_FALSE(read_plain_rows(kStart, rows, r)) << rows;
  }
  // Start tags the read can not be sure of give everything up.
  Recorder r;
  EXPECT_FALSE(read_plain_rows("<worksheet a=\"&amp;\"><sheetData>", "<row/>", r));
}

TEST(PlainRows, WhatTheParserRefusesIsNeverTaken) {
  for (const char* rows : {
           "<row r=\"1\" r=\"2\"/>",           // an attribute twice
           "<row r=\"1\"s=\"2\"/>",            // attributes not spaced apart
           "<row r=\"1\"><c r=\"A1\"></row>",  // a cell not closed
           "<row r=\"1\"><c r=\"A1\"/></c>",   // an end tag out of place
           "<row r=\"1\"><c r=\"A1\"><v>1</c></row>",
           "<row r=\"1\"",  // cut off
           "<row r=\"1\"><c r=\"A1\"><v>1",
           "<row r=\"1><c/></row>",  // an unclosed quote
           "<row r=\"1\" a=\"<\"/>",
           "<row r=\"1\"><c r=\"A1\"><v>]]></v></c></row>",
           "<row r=\"1\"><c r=\"A1\"><v>\x01</v></c></row>",
           "<row r=\"1\" :a=\"1\"/>",
           "<row r=\"1\" a:=\"1\"/>",
           "<row r=\"1\" 1a=\"1\"/>",
           "<row r=\"1\" a=1/>",
           "</row>",
           "<row/ >",
       }) {
    EXPECT_FALSE(same_as_parser(rows)) << rows;
    ExpatEvents parsed;
    EXPECT_FALSE(parsed.read(rows)) << "the parser takes it: " << rows;
  }
}

// Rows made of pieces of plain rows, the odd things around them and
// mangled bytes: whatever the plain read takes, the parser reads the same.
TEST(PlainRows, RandomRowsReadTheSameBothWaysOrAreLeftToTheParser) {
  const std::vector<std::string> pieces = {"<row r=\"1\">",
                                           "<row r=\"2\" spans=\"1:2\">",
                                           "<row>",
                                           "</row>",
                                           "<row r=\"3\"/>",
                                           "<c r=\"A1\" t=\"s\">",
                                           "<c s=\"1\">",
                                           "<c r='B2' t='n' >",
                                           "<c r=\"C3\"/>",
                                           "</c>",
                                           "<v>",
                                           "</v>",
                                           "<v/>",
                                           "12",
                                           "0.5",
                                           " ",
                                           "\n",
                                           "\t",
                                           "\r",
                                           "<f>",
                                           "</f>",
                                           "&amp;",
                                           "]]>",
                                           "]",
                                           ">",
                                           "<",
                                           "/>",
                                           "\"",
                                           "'",
                                           "=",
                                           "x14ac:dyDescent=\"1\"",
                                           " r=\"A1\"",
                                           "q:a=\"1\"",
                                           "xmlns:q=\"u\"",
                                           "<!--c-->",
                                           "<?p?>",
                                           "\xe4\xb8\x80",
                                           "\xff",
                                           std::string(1, '\0'),
                                           "<row r=\"4\"><c r=\"A4\"><v>7</v></c></row>"};
  std::mt19937 g(20261209);
  int taken = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string rows;
    if (g() % 2 == 0) {
      // Mostly well-formed: rows of cells, each cell with or without a value.
      const int row_count = static_cast<int>(g() % 4);
      for (int r = 1; r <= row_count; ++r) {
        rows += "<row r=\"" + std::to_string(r) + "\">";
        for (int c = static_cast<int>(g() % 4); c > 0; --c)
          rows += g() % 3 == 0 ? "<c r=\"A1\"/>" : "<c r=\"B1\" t=\"s\"><v>3</v></c>";
        rows += "</row>";
      }
      // Then a mangled byte or piece, now and then.
      if (!rows.empty() && g() % 2 == 0) {
        const size_t at = g() % rows.size();
        if (g() % 2 == 0) {
          rows.erase(at, 1);
        } else {
          rows.insert(at, pieces[g() % pieces.size()]);
        }
      }
    } else {
      for (int n = static_cast<int>(g() % 12); n > 0; --n) rows += pieces[g() % pieces.size()];
    }
    if (same_as_parser(rows)) ++taken;
    if (HasFailure()) return;
  }
  // The plain read is there to take most well-formed rows.
  EXPECT_GT(taken, 5000);
}

}  // namespace
}  // namespace kelv::xlsx
