// Sorting Chinese names by the engine's collation (ICU, Chinese PRC, pinyin
// order) and, in the Windows build, by Windows' own (CompareStringEx with
// "zh-CN"): seconds for each, and where the two orders differ. The engine
// sorts with ICU on every platform; the second figure is what the system's
// collation would have cost and changed.
//   collation_bench [NAMES]   (default 100,000)
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "spreadsheet/text.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// The hundred commonest surnames and a spread of given-name characters.
const char* const kSurnames[] = {
    "王", "李", "张", "刘", "陈", "杨", "黄",   "赵", "吴", "周", "徐", "孙", "马", "朱", "胡",
    "郭", "何", "林", "罗", "高", "郑", "梁",   "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹",
    "彭", "曾", "肖", "田", "董", "潘", "袁",   "蔡", "蒋", "余", "于", "杜", "叶", "程", "魏",
    "苏", "吕", "丁", "任", "卢", "姚", "沈",   "钟", "姜", "崔", "谭", "陆", "范", "汪", "廖",
    "石", "金", "韦", "贾", "夏", "付", "方",   "邹", "熊", "白", "孟", "秦", "邱", "侯", "江",
    "尹", "薛", "闫", "段", "雷", "龙", "黎",   "史", "陶", "贺", "毛", "郝", "顾", "龚", "邵",
    "万", "覃", "武", "钱", "戴", "严", "欧阳", "莫", "孔", "向"};
const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇",
                              "艳", "杰", "娟", "涛", "明", "超", "秀", "霞", "平", "刚", "桂",
                              "英", "华", "文", "玲", "斌", "宇", "浩", "凯", "鑫", "晨", "欣",
                              "婷", "雪", "琳", "晶", "颖", "倩", "博", "子", "梓", "涵", "睿"};

std::vector<std::string> Names(size_t n) {
  std::vector<std::string> names;
  uint32_t x = 12345;
  const auto next = [&x](size_t m) {
    x = x * 1664525u + 1013904223u;
    return static_cast<size_t>(x >> 8) % m;
  };
  for (size_t i = 0; i < n; ++i) {
    std::string name = kSurnames[next(std::size(kSurnames))];
    const size_t given = 1 + next(2);
    for (size_t k = 0; k < given; ++k) name += kGiven[next(std::size(kGiven))];
    names.push_back(std::move(name));
  }
  return names;
}

std::vector<std::string> SortByIcu(std::vector<std::string> names) {
  std::vector<std::pair<std::string, size_t>> keyed;
  keyed.reserve(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    std::string key;
    kelv::spreadsheet::text::append_sort_key(names[i], key);
    keyed.emplace_back(std::move(key), i);
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> out;
  for (const auto& k : keyed) out.push_back(names[k.second]);
  return out;
}

#ifdef _WIN32
std::wstring Wide(const std::string& s) {
  std::wstring w(s.size(), L'\0');
  w.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()),
                                                   w.data(), static_cast<int>(w.size()))));
  return w;
}

int CompareZhCn(const std::wstring& a, const std::wstring& b) {
  return CompareStringEx(L"zh-CN", LINGUISTIC_IGNORECASE, a.data(), static_cast<int>(a.size()),
                         b.data(), static_cast<int>(b.size()), nullptr, nullptr, 0) -
         CSTR_EQUAL;
}

std::vector<std::string> SortByWindows(const std::vector<std::string>& names) {
  std::vector<std::pair<std::wstring, size_t>> wide;
  for (size_t i = 0; i < names.size(); ++i) wide.emplace_back(Wide(names[i]), i);
  std::stable_sort(wide.begin(), wide.end(),
                   [](const auto& a, const auto& b) { return CompareZhCn(a.first, b.first) < 0; });
  std::vector<std::string> out;
  for (const auto& w : wide) out.push_back(names[w.second]);
  return out;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const size_t n = argc > 1 ? static_cast<size_t>(std::atol(argv[1])) : 100000;
  const std::vector<std::string> names = Names(n);

  auto t = Clock::now();
  const std::vector<std::string> icu = SortByIcu(names);
  std::printf("ICU zh collation: %zu names sorted in %.3f s\n", n, seconds_since(t));

#ifdef _WIN32
  t = Clock::now();
  const std::vector<std::string> windows = SortByWindows(names);
  std::printf("CompareStringEx zh-CN: %zu names sorted in %.3f s\n", n, seconds_since(t));
  // Pairs of distinct names the two collations put in opposite order.
  std::vector<std::string> distinct = icu;
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  size_t opposite = 0;
  for (size_t i = 0; i + 1 < distinct.size(); ++i) {
    if (CompareZhCn(Wide(distinct[i]), Wide(distinct[i + 1])) > 0) {
      if (opposite < 5)
        std::printf("  ICU puts %s before %s, Windows after\n", distinct[i].c_str(),
                    distinct[i + 1].c_str());
      ++opposite;
    }
  }
  size_t moved = 0;
  for (size_t i = 0; i < n; ++i) moved += icu[i] != windows[i];
  std::printf(
      "%zu of %zu neighbouring distinct names in opposite order; %zu of %zu places differ\n",
      opposite, distinct.size() - 1, moved, n);
#endif
  return 0;
}
