// Shared strings read without the XML parser must read exactly as the
// parser reads them, and what the parser would refuse must be left to it.
#include "xlsx/plain_strings.h"

#include <expat.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "xlsx/xml_util.h"

namespace kelv::xlsx {
namespace {

const std::string kStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"9\">";
const std::string kEnd = "</sst>";

// The items' texts as expat gives them (each <si>'s <t> texts joined, the
// phonetic runs left out, the escapes undone), or nothing with `ok` false.
struct Parsed {
  std::vector<std::string> texts;
  bool ok = false;
};

Parsed parse(const std::string& items) {
  struct State {
    std::vector<std::string> texts;
    std::string cur;
    bool in_t = false;
    int depth = 0;
  } st;
  XML_Parser p = XML_ParserCreate(nullptr);
  XML_SetUserData(p, &st);
  XML_SetElementHandler(
      p,
      [](void* u, const char* name, const char**) {
        auto* s = static_cast<State*>(u);
        ++s->depth;
        const std::string_view n(name);
        if (n == "si") s->cur.clear();
        if (n == "t") s->in_t = true;
      },
      [](void* u, const char* name) {
        auto* s = static_cast<State*>(u);
        --s->depth;
        const std::string_view n(name);
        if (n == "si") s->texts.push_back(decode_escapes(s->cur));
        if (n == "t") s->in_t = false;
      });
  XML_SetCharacterDataHandler(p, [](void* u, const char* t, int n) {
    auto* s = static_cast<State*>(u);
    if (s->in_t) s->cur.append(t, static_cast<size_t>(n));
  });
  const std::string doc = kStart + items + kEnd;
  Parsed r;
  r.ok = XML_Parse(p, doc.data(), static_cast<int>(doc.size()), XML_TRUE) == XML_STATUS_OK;
  XML_ParserFree(p);
  if (r.ok) r.texts = std::move(st.texts);
  return r;
}

// Reads the items both ways; the parser reads what is left after the plain
// items. A document the parser refuses must be refused from what is left;
// otherwise the plain texts and those that follow must be the parser's.
// Returns the bytes the plain read took.
size_t same_as_parser(const std::string& items) {
  std::vector<std::string> plain;
  const PlainStrings r = read_plain_strings(items + kEnd, plain);
  if (r.read == 0 && plain.empty()) return 0;
  const Parsed whole = parse(items);
  const Parsed rest = parse(items.substr(r.read));
  if (!whole.ok) {
    EXPECT_FALSE(rest.ok) << "an error left behind in the plain items: " << items;
    return r.read;
  }
  EXPECT_TRUE(rest.ok) << items;
  plain.insert(plain.end(), rest.texts.begin(), rest.texts.end());
  EXPECT_EQ(plain, whole.texts) << items;
  return r.read;
}

TEST(PlainStrings, ItemsAsProducersWriteThemReadAsTheParserReadsThem) {
  const std::string items =
      "<si><t>考场</t></si><si><t xml:space=\"preserve\"> 教学楼 1-102 </t></si>"
      "<si><t>A&amp;B &lt;1&gt; &quot;x&apos; &#20013;&#x6587;&#x1F600;</t></si>"
      "<si><t>line\nnext\ttab [1] ]]</t></si><si><t/></si><si/><si></si>"
      "<si>\n <t >_x000D_x</t>\n</si ><si><t>\xF0\x9F\x98\x80\xC3\xA9</t></si>";
  std::vector<std::string> texts;
  const PlainStrings r = read_plain_strings(items + kEnd, texts);
  EXPECT_EQ(r.stop, PlainStrings::Stop::End);
  EXPECT_EQ(r.read, items.size());
  ASSERT_EQ(texts.size(), 9u);
  EXPECT_EQ(texts[2], "A&B <1> \"x' 中文\xF0\x9F\x98\x80");
  EXPECT_EQ(texts[7], "\rx");  // the _xHHHH_ escape undone, as for parsed text
  EXPECT_EQ(same_as_parser(items), items.size());
}

TEST(PlainStrings, ItemsCutByTheStreamAreReadOnceTheRestHasCome) {
  const std::string items = "<si><t>教师2</t></si><si><t>教师3</t></si>";
  for (size_t cut = 0; cut < items.size(); ++cut) {
    std::vector<std::string> texts;
    const PlainStrings first = read_plain_strings(items.substr(0, cut), texts);
    EXPECT_EQ(first.stop, PlainStrings::Stop::More) << cut;
    const std::string rest = items.substr(first.read) + kEnd;
    const PlainStrings second = read_plain_strings(rest, texts);
    EXPECT_EQ(second.stop, PlainStrings::Stop::End) << cut;
    EXPECT_EQ(texts, (std::vector<std::string>{"教师2", "教师3"})) << cut;
  }
}

TEST(PlainStrings, WhatIsNotPlainIsLeftToTheParser) {
  for (const char* item : {
           "<si><r><t>rich</t></r></si>", "<si><t>a</t><rPh sb=\"0\" eb=\"1\"><t>b</t></rPh></si>",
           "<si><t>a</t><t>b</t></si>",
           "<si><t>&nbsp;</t></si>",  // an entity no DTD declares
           "<si><t>a\r\nb</t></si>",  // the parser normalises line ends
           "<si><t><![CDATA[x]]></t></si>", "<si><t><!-- c -->x</t></si>",
           "<si count=\"1\"><t>x</t></si>", "<si><t a=\"1\">x</t></si>",
           "<x:si><x:t>x</x:t></x:si>",
           "<si><t>\xEF\xBF\xBF</t></si>",  // U+FFFF, not a character
           "<si><t>a</t>b</si>",            // text outside <t>
       }) {
    std::vector<std::string> texts;
    const PlainStrings r =
        read_plain_strings(std::string("<si><t>a</t></si>") + item + kEnd, texts);
    EXPECT_EQ(r.stop, PlainStrings::Stop::NotPlain) << item;
    EXPECT_EQ(texts.size(), 1u) << item;
    same_as_parser(std::string("<si><t>a</t></si>") + item);
  }
}

TEST(PlainStrings, WhatTheParserRefusesIsNeverTaken) {
  for (const char* item : {
           "<si><t>a]]>b</t></si>",
           "<si><t>\x01</t></si>",
           "<si><t>\xC0\x80</t></si>",
           "<si><t>\xED\xA0\x80</t></si>",
           "<si><t>\xF4\x90\x80\x80</t></si>",
           "<si><t>\xE4\xB8</t></si>",
           "<si><t>&#0;</t></si>",
           "<si><t>&#xD800;</t></si>",
           "<si><t>&#X41;</t></si>",
           "<si><t>&amp</t></si>",
           "<si><t>a</si></t>",
           "<si><t xml:space=\"preserve\"xml:space=\"x\">a</t></si>",
       }) {
    std::vector<std::string> texts;
    const PlainStrings r = read_plain_strings(std::string(item) + kEnd, texts);
    EXPECT_NE(r.stop, PlainStrings::Stop::End) << item;
    EXPECT_TRUE(texts.empty()) << item;
    EXPECT_FALSE(parse(item).ok) << "the parser takes it: " << item;
  }
}

TEST(PlainStrings, RandomItemsReadTheSameBothWaysOrAreLeftToTheParser) {
  const std::vector<std::string> pieces = {"<si>",
                                           "</si>",
                                           "<t>",
                                           "</t>",
                                           "<t/>",
                                           "<si/>",
                                           "<t xml:space=\"preserve\">",
                                           "a",
                                           "中",
                                           " ",
                                           "\n",
                                           "\r",
                                           "\t",
                                           "&amp;",
                                           "&#65;",
                                           "&#x4E2D;",
                                           "&bad;",
                                           "]]>",
                                           "]",
                                           ">",
                                           "<",
                                           "&",
                                           "<r>",
                                           "</r>",
                                           "<rPh>",
                                           "</rPh>",
                                           "\xE4\xB8",
                                           "\xFF",
                                           "_x0041_",
                                           "<!--c-->",
                                           "<si><t>ok</t></si>"};
  std::mt19937 g(9122026);
  size_t taken = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string items;
    if (g() % 2 == 0) {
      for (int n = static_cast<int>(g() % 5); n > 0; --n)
        items += g() % 4 == 0 ? "<si><t/></si>"
                              : "<si><t>考生" + std::to_string(g() % 100) + "</t></si>";
      if (!items.empty() && g() % 2 == 0)
        items.insert(g() % items.size(), pieces[g() % pieces.size()]);
    } else {
      for (int n = static_cast<int>(g() % 10); n > 0; --n) items += pieces[g() % pieces.size()];
    }
    taken += same_as_parser(items) > 0;
    if (HasFailure()) return;
  }
  EXPECT_GT(taken, 5000u);
}

TEST(PlainStrings, TheRootStartTagIsFoundPastAPlainProlog) {
  const std::string doc = kStart + "<si><t>x</t></si>" + kEnd;
  EXPECT_EQ(root_start_tag_end(doc), kStart.size());
  const std::string prolog = "\xEF\xBB\xBF<!-- a > b --><?pi >?>\n<sst a=\">\">";
  EXPECT_EQ(root_start_tag_end(prolog + "<si>"), prolog.size());
  EXPECT_EQ(root_start_tag_end(kStart.substr(0, 40)), 0u);  // not all come yet
  for (const char* prolog :
       {"<!DOCTYPE sst [<!ENTITY e \"x\">]><sst>", "<?xml version=\"1.0\" encoding=\"GBK\"?><sst>",
        "<sst/>", "text<sst>"})
    EXPECT_EQ(root_start_tag_end(prolog), std::string::npos) << prolog;
}

}  // namespace
}  // namespace kelv::xlsx
