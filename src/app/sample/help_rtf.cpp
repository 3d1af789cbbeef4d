// The sample workspace's help document, written as RTF (which word
// processors open under the .doc name the component looks for).
#include <cstdint>
#include <string>
#include <string_view>

#include "app/sample/sample_workspace.h"

namespace kelv::sample {
namespace {

// UTF-8 text to RTF: ASCII as is (with \ { } escaped), everything else as
// \uN? with N the signed 16-bit UTF-16 unit.
std::string rtf_text(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    uint32_t cp = 0;
    int len = 1;
    if (b < 0x80) {
      cp = b;
    } else if ((b >> 5) == 6) {
      cp = b & 0x1F;
      len = 2;
    } else if ((b >> 4) == 14) {
      cp = b & 0x0F;
      len = 3;
    } else {
      cp = b & 0x07;
      len = 4;
    }
    for (int k = 1; k < len && i + k < utf8.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    i += len;
    if (cp < 0x80) {
      if (cp == '\\' || cp == '{' || cp == '}') out += '\\';
      out += static_cast<char>(cp);
      continue;
    }
    auto unit = [&out](uint32_t u) {
      out += "\\u" + std::to_string(static_cast<int16_t>(static_cast<uint16_t>(u))) + "?";
    };
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

// One paragraph in the given RTF paragraph and character format.
std::string block(std::string_view format, const std::string& text) {
  std::string out = "{\\pard";
  out += format;
  out += ' ';
  out += rtf_text(text);
  out += "\\par}\n";
  return out;
}

// The user guide, as docs/用户指南.md holds it.
constexpr std::string_view kGuide =
#include "user_guide_text.inc"
    ;

// Markdown's inline marks dropped: **bold**, `code`, [text](link) -> text.
std::string plain(std::string_view line) {
  std::string out;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line.compare(i, 2, "**") == 0) {
      ++i;
      continue;
    }
    if (line[i] == '`') continue;
    if (line[i] == '[') {
      const size_t close = line.find("](", i);
      const size_t end = close == std::string_view::npos ? close : line.find(')', close);
      if (end != std::string_view::npos) {
        out += line.substr(i + 1, close - i - 1);
        i = end;
        continue;
      }
    }
    out += line[i];
  }
  return out;
}

bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// A table row "| a | b |" as its cells' texts; a rule row "|---|" as none.
std::string table_row(std::string_view line) {
  if (line.find("---") != std::string_view::npos) return "";
  std::string out;
  size_t pos = 1;
  while (pos < line.size()) {
    const size_t bar = line.find('|', pos);
    std::string_view cell = line.substr(pos, bar == std::string_view::npos ? bar : bar - pos);
    while (!cell.empty() && cell.front() == ' ') cell.remove_prefix(1);
    while (!cell.empty() && cell.back() == ' ') cell.remove_suffix(1);
    if (!cell.empty())
      out += std::string(out.empty() ? "" : "\\u12288?\\u12288?") + rtf_text(plain(cell));
    if (bar == std::string_view::npos) break;
    pos = bar + 1;
  }
  return out;
}

}  // namespace

std::string help_document_rtf() {
  std::string doc =
      "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 SimSun;}}\n";
  // Lines of one paragraph are joined; headings, list items and table rows
  // stand alone; pictures are left to the on-screen guide.
  std::string paragraph;
  auto flush = [&] {
    if (!paragraph.empty()) doc += block("\\sa80\\fs22", paragraph);
    paragraph.clear();
  };
  size_t pos = 0;
  while (pos <= kGuide.size()) {
    const size_t eol = kGuide.find('\n', pos);
    std::string_view line =
        kGuide.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
    pos = eol == std::string_view::npos ? kGuide.size() + 1 : eol + 1;
    if (line.empty()) {
      flush();
    } else if (starts_with(line, "# ")) {
      flush();
      doc += block("\\qc\\sa240\\b\\fs40", plain(line.substr(2)));
    } else if (starts_with(line, "## ")) {
      flush();
      doc += block("\\sb240\\sa120\\b\\fs32", plain(line.substr(3)));
    } else if (starts_with(line, "### ")) {
      flush();
      doc += block("\\sb160\\sa80\\b\\fs24", plain(line.substr(4)));
    } else if (starts_with(line, "![")) {
      flush();
    } else if (starts_with(line, "|")) {
      flush();
      const std::string row = table_row(line);
      if (!row.empty()) doc += "{\\pard\\sa40\\fs20 " + row + "\\par}\n";
    } else if (starts_with(line, "- ")) {
      flush();
      paragraph = "\u2022 " + plain(line.substr(2));
    } else if (line.size() > 2 && line[0] >= '0' && line[0] <= '9' && line[1] == '.') {
      flush();
      paragraph = plain(line);
    } else {
      // A continued line joins its paragraph without the indent (Chinese
      // text has no space between lines).
      while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
      paragraph += plain(line);
    }
  }
  flush();
  doc += "}\n";
  return doc;
}

}  // namespace kelv::sample
