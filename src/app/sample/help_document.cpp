// The sample workspace's help document, written as RTF (which word
// processors open under the .doc name the component looks for).
#include <cstdint>
#include <initializer_list>
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
std::string block(std::string_view format, const char* text) {
  std::string out = "{\\pard";
  out += format;
  out += ' ';
  out += rtf_text(text);
  out += "\\par}\n";
  return out;
}

struct Section {
  const char* heading;
  std::initializer_list<const char*> paragraphs;
};

const Section kSections[] = {
    {"一、工作区",
     {"考务.xlsx 是宿主工作簿，窗体就在其中。同一文件夹下：“数据”文件夹存放数据工作簿，"
      "“照片”文件夹存放考生照片，本说明为“帮助.doc”。",
      "每个数据工作簿含两张表：“考场表”（考场、场人、考室、监考甲、监考乙、首考号、尾考号）"
      "和“考生表”（姓名、学校、年级、班级等，一行一名考生）。表格从 A1 开始，"
      "第一行为列标题，请勿超过第 166 列。"}},
    {"二、编排考号",
     {"1. 在“数据表”列表中点选数据文件，程序打开它并整理两张表的表头。",
      "2. 填写起始考号（如 2024010001）与座号循环数，选择顺序或随机编排、循环或按考场编座号。",
      "3. 点“编排考号”。考生表增加考场、场人、考室、监考甲、监考乙、考号、座号各列，"
      "考场表写入首考号与尾考号，并统计校人、级人、班人。总人数不符时会提示相差人数。"}},
    {"三、生成表格",
     {"1. 在“模板”列表中选择模板，窗体显示它的设置：每页行数、每行列数、行距、列距、"
      "排序列、换页列、是否横向排列、数据来源（考生表或考场表）。",
      "2. 点“生成表格”，数据工作簿中出现与模板同名的工作表，每条记录一块，"
      "每页顶端是填好的页眉。再次生成会替换旧表，并沿用你对旧表所做的页面设置。"}},
    {"四、设计模板",
     {"模板表的 A 列用“@”标出页眉区的首行和末行，用“#”标出主体区的首行和末行；"
      "在首行右侧再写一个同样的标志，表示区域到它左边一列为止。区域从 B 列开始。",
      "单元格写 [列标题] 表示填入该列的数据，写 {列标题} 表示插入照片："
      "照片文件为“照片\\照片夹\\值.jpg”，没有“照片夹”列时直接放在“照片”文件夹中。"
      "找不到照片时单元格显示应有的文件名。其余单元格（文字、边框、合并单元格、行高列宽）原样复制"
      "。",
      "添加模板会复制隐藏的基础表 MBB；模板名不能是“开始”“MBB”“DTB”，也不能与数据工作表同名。"}},
};

}  // namespace

std::string help_document_rtf() {
  std::string doc =
      "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 SimSun;}}\n";
  doc += block("\\qc\\sa240\\b\\fs40", "考务编排与制表 使用说明");
  for (const Section& section : kSections) {
    doc += block("\\sb240\\sa120\\b\\fs32", section.heading);
    for (const char* paragraph : section.paragraphs) doc += block("\\sa80\\fs22", paragraph);
  }
  doc += "}\n";
  return doc;
}

}  // namespace kelv::sample
