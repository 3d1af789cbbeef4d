#include "spreadsheet/text.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

namespace kelv::spreadsheet::text {
namespace {

std::u32string decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  int32_t i = 0;
  const auto n = static_cast<int32_t>(s.size());
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  while (i < n) {
    UChar32 c;
    U8_NEXT(p, i, n, c);
    if (c < 0) c = 0xFFFD;
    out.push_back(static_cast<char32_t>(c));
  }
  return out;
}

void encode(const char32_t* b, const char32_t* e, std::string& out) {
  for (; b != e; ++b) {
    uint8_t buf[4];
    int32_t len = 0;
    UBool err = false;
    U8_APPEND(buf, len, 4, static_cast<UChar32>(*b), err);
    if (err) continue;
    out.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(len));
  }
}

std::u32string fold32(const std::u32string& s) {
  std::u32string f(s);
  for (char32_t& c : f)
    c = static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
  return f;
}

const icu::Collator& shared_collator() {
  static std::unique_ptr<icu::Collator> collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> c(
        icu::Collator::createInstance(icu::Locale("zh", "CN"), status));
    if (U_FAILURE(status) || !c) throw std::runtime_error("ICU collator for zh_CN unavailable");
    c->setStrength(icu::Collator::SECONDARY);
    // The zh tailoring puts Han before every other script; desktop
    // spreadsheets in Chinese sort digits, then Latin, then Han in pinyin
    // order, so the script reordering is switched off.
    const int32_t no_reordering[] = {UCOL_REORDER_CODE_NONE};
    c->setReorderCodes(no_reordering, 1, status);
    if (U_FAILURE(status)) throw std::runtime_error("ICU collator reordering refused");
    return c;
  }();
  return *collator;
}

// Each thread collates with a copy of its own: a long table's sort keys are
// made on two threads, and a collator is not shared between threads that use
// it at once.
icu::Collator& prc_collator() {
  thread_local std::unique_ptr<icu::Collator> own(shared_collator().clone());
  if (!own) throw std::bad_alloc();
  return *own;
}

bool match_from(const std::u32string& p, size_t pi, const std::u32string& s, size_t si) {
  while (pi < p.size()) {
    char32_t c = p[pi];
    if (c == U'*') {
      while (pi < p.size() && p[pi] == U'*') ++pi;
      if (pi == p.size()) return true;
      for (size_t k = si; k <= s.size(); ++k)
        if (match_from(p, pi, s, k)) return true;
      return false;
    }
    if (si == s.size()) return false;
    if (c == U'?') {
      ++pi, ++si;
      continue;
    }
    if (c == U'~' && pi + 1 < p.size()) c = p[++pi];
    if (c != s[si]) return false;
    ++pi, ++si;
  }
  return si == s.size();
}

}  // namespace

std::string fold_case(std::string_view s) {
  icu::UnicodeString u =
      icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
  u.foldCase();
  std::string out;
  u.toUTF8String(out);
  return out;
}

bool equal_ignore_case(std::string_view a, std::string_view b) {
  return fold_case(a) == fold_case(b);
}

int32_t length(std::string_view s) {
  return static_cast<int32_t>(decode(s).size());
}

std::string prefix(std::string_view s, int32_t n) {
  std::u32string d = decode(s);
  if (static_cast<int32_t>(d.size()) > n) d.resize(static_cast<size_t>(n));
  std::string out;
  encode(d.data(), d.data() + d.size(), out);
  return out;
}

void append_sort_key(std::string_view s, std::string& out) {
  icu::UnicodeString u =
      icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
  icu::Collator& coll = prc_collator();
  uint8_t stack[256];
  int32_t len = coll.getSortKey(u, stack, sizeof stack);
  if (len <= static_cast<int32_t>(sizeof stack)) {
    out.append(reinterpret_cast<const char*>(stack), static_cast<size_t>(len));
    return;
  }
  std::vector<uint8_t> heap(static_cast<size_t>(len));
  coll.getSortKey(u, heap.data(), len);
  out.append(reinterpret_cast<const char*>(heap.data()), heap.size());
}

std::string simple_fold(std::string_view s) {
  std::u32string f = fold32(decode(s));
  std::string out;
  encode(f.data(), f.data() + f.size(), out);
  return out;
}

bool replace_ignore_case(std::string_view s, std::string_view what, std::string_view replacement,
                         bool whole, std::string* out) {
  if (what.empty()) return false;
  const std::u32string orig = decode(s);
  const std::u32string hay = fold32(orig);
  const std::u32string needle = fold32(decode(what));
  if (whole) {
    if (hay != needle) return false;
    *out = std::string(replacement);
    return true;
  }
  size_t pos = hay.find(needle);
  if (pos == std::u32string::npos) return false;
  std::string result;
  size_t from = 0;
  while (pos != std::u32string::npos) {
    encode(orig.data() + from, orig.data() + pos, result);
    result.append(replacement);
    from = pos + needle.size();
    pos = hay.find(needle, from);
  }
  encode(orig.data() + from, orig.data() + orig.size(), result);
  *out = std::move(result);
  return true;
}

bool has_wildcards(std::string_view pattern) {
  return pattern.find_first_of("*?~") != std::string_view::npos;
}

bool wildcard_match(std::string_view pattern, std::string_view s) {
  return match_from(fold32(decode(pattern)), 0, fold32(decode(s)), 0);
}

}  // namespace kelv::spreadsheet::text
