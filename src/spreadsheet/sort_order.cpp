#include "spreadsheet/sort_order.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <string>
#include <string_view>

#include "spreadsheet/rows_in_parallel.h"
#include "spreadsheet/text.h"
#include "spreadsheet/text_hash.h"

namespace kelv::spreadsheet {

namespace {

enum Class : uint8_t { NumberKey, TextKey, BooleanKey, ErrorKey, BlankKey };

// One distinct key: a number, a Boolean or an error per row, a text once for
// every row that holds the same text.
struct Key {
  double num = 0;
  // A text's collation key's first 16 bytes as two big-endian words, the
  // bytes past its end zero: most comparisons end there, without reading
  // the keys' text (a million exam numbers lie over ten megabytes).
  uint64_t head[2] = {0, 0};
  uint32_t off = 0, len = 0;  // a text's collation key within the keys' text
  uint32_t id = 0;            // the key's place before sorting
  Class cls = BlankKey;
};

void set_head(Key& k, std::string_view collation_key) {
  for (size_t w = 0; w < 2; ++w) {
    uint64_t word = 0;
    for (size_t b = 0; b < 8; ++b) {
      const size_t at = w * 8 + b;
      const auto byte = at < collation_key.size() ? static_cast<uint8_t>(collation_key[at]) : 0;
      word = (word << 8) | byte;
    }
    k.head[w] = word;
  }
}

// Each distinct text's place in `texts`, found through an open-addressing
// table of slots holding a hash's high half over the place + 1. A column of
// a million rows asks it a million times.
class TextKeys {
 public:
  explicit TextKeys(const std::vector<std::string_view>& texts) : texts_(texts) {}
  // The place of s in the texts, or `next` after taking it as s's place;
  // s must then be added to the texts at `next`.
  uint32_t find_or_add(std::string_view s, uint32_t next) {
    if (size_t{count_} * 2 >= slots_.size()) grow();
    const uint64_t tag = text_hash(s) & kTagMask;
    const size_t mask = slots_.size() - 1;
    for (size_t i = home(tag, mask);; i = (i + 1) & mask) {
      const uint64_t slot = slots_[i];
      if (slot == 0) {
        slots_[i] = tag | (uint64_t{next} + 1);
        ++count_;
        return next;
      }
      if ((slot & kTagMask) == tag) {
        const auto k = static_cast<uint32_t>(slot) - 1;
        if (texts_[k] == s) return k;
      }
    }
  }

 private:
  static constexpr uint64_t kTagMask = kTextTagMask;
  static size_t home(uint64_t slot, size_t mask) { return text_slot_home(slot, mask); }
  void grow() { grow_text_slots(slots_, 64); }
  const std::vector<std::string_view>& texts_;
  std::vector<uint64_t> slots_;
  uint32_t count_ = 0;
};

// The values of a long column lie apart in memory, each in its row's
// cells: a walk over them asks for the one some places on early.
void ahead(std::span<const CellValue* const> values, size_t i) {
  constexpr size_t kAhead = 16;
  if (i + kAhead < values.size() && values[i + kAhead]) __builtin_prefetch(values[i + kAhead]);
}

bool ascii_digits(std::string_view s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

constexpr uint32_t kNoKey = UINT32_MAX;

// The distinct keys of a run of rows, sorted, and each row's key among them.
struct RunKeys {
  std::vector<Key> keys;         // in ascending order
  std::vector<uint32_t> key_of;  // each row's key's id, kNoKey for a blank
  std::string collated;          // the text keys' collation keys, end to end
};

// <0, 0, >0 as a (from a run collated in ca) orders before, with or after
// b (from one collated in cb), ascending.
int compare(const Key& a, const std::string& ca, const Key& b, const std::string& cb) {
  if (a.cls != b.cls) return a.cls < b.cls ? -1 : 1;
  if (a.cls == TextKey) {
    // Heads that differ order as the whole keys do: where a key shorter
    // than its head ended, the other key's byte at the first difference
    // is above the zero standing in for it, and a shorter key is the
    // lesser of two that agree up to its end.
    if (a.head[0] != b.head[0]) return a.head[0] < b.head[0] ? -1 : 1;
    if (a.head[1] != b.head[1]) return a.head[1] < b.head[1] ? -1 : 1;
    const int r = std::memcmp(ca.data() + a.off, cb.data() + b.off, std::min(a.len, b.len));
    if (r != 0) return r;
    return a.len < b.len ? -1 : (a.len > b.len ? 1 : 0);
  }
  if (a.cls == ErrorKey) return 0;
  return a.num < b.num ? -1 : (a.num > b.num ? 1 : 0);
}

RunKeys run_keys(std::span<const CellValue* const> values, bool only_digits) {
  const size_t n = values.size();
  RunKeys run;
  // Each row's key. Otherwise equal texts share one, so that a column of a
  // few dozen schools costs a few dozen collation keys, not one per row.
  run.key_of.assign(n, kNoKey);
  std::vector<Key>& keys = run.keys;
  std::vector<std::string_view> texts;  // each text key's text, by key
  std::vector<uint32_t> key_of_text;    // each distinct text's key
  // Room for a key per row: what a column of few distinct values leaves
  // unused is never touched, and a column of a million distinct ones is not
  // copied as it grows.
  keys.reserve(n);
  texts.reserve(n);
  if (!only_digits) key_of_text.reserve(n);
  TextKeys text_key(texts);
  for (size_t i = 0; i < n; ++i) {
    ahead(values, i);
    const CellValue* v = values[i];
    if (!v || v->is_empty() || v->is_null() || (v->is_text() && v->as_text().empty())) continue;
    const auto next = static_cast<uint32_t>(keys.size());
    if (v->is_text()) {
      const std::string_view s = v->as_text();
      if (!only_digits) {
        const auto fresh = static_cast<uint32_t>(texts.size());
        const uint32_t known = text_key.find_or_add(s, fresh);
        if (known != fresh) {
          run.key_of[i] = key_of_text[known];
          continue;
        }
        key_of_text.push_back(next);
      }
      run.key_of[i] = next;
      keys.push_back({0, {0, 0}, static_cast<uint32_t>(texts.size()), 0, next, TextKey});
      texts.push_back(s);
      continue;
    }
    Key k{0, {0, 0}, 0, 0, next, ErrorKey};
    // A number that is not one (a file may hold "nan") is saved as #NUM!
    // and sorts as the error it will be; it would not order against others.
    if (v->is_number() && !std::isnan(v->as_number())) {
      k.cls = NumberKey;
      k.num = v->as_number();
    } else if (v->is_bool()) {
      k.cls = BooleanKey;
      k.num = v->as_bool() ? 1 : 0;
    }
    keys.push_back(k);
    run.key_of[i] = next;
  }

  std::string& collated = run.collated;
  if (only_digits) {
    size_t length = 0;
    for (const std::string_view t : texts) length += t.size();
    collated.reserve(length);
  }
  for (Key& k : keys) {
    if (k.cls != TextKey) continue;
    const std::string_view s = texts[k.off];
    k.off = static_cast<uint32_t>(collated.size());
    if (only_digits) {
      collated.append(s);
    } else {
      text::append_sort_key(s, collated);
    }
    k.len = static_cast<uint32_t>(collated.size()) - k.off;
    set_head(k, std::string_view(collated).substr(k.off, k.len));
  }
  std::sort(keys.begin(), keys.end(),
            [&](const Key& a, const Key& b) { return compare(a, collated, b, collated) < 0; });
  return run;
}

}  // namespace

std::vector<uint32_t> sorted_order(std::span<const CellValue* const> values, bool descending) {
  const size_t n = values.size();

  // Texts of ASCII digits alone (exam and ID numbers) order under the
  // collation exactly as their bytes do, each digit weighing more than the
  // one before and nothing else differing, so a column of nothing else needs
  // no collation keys, and each row can keep its own key.
  bool digits_only[2] = {true, true};  // in the lower and the upper half
  for_halves_in_parallel(n, [&](size_t begin, size_t end) {
    bool& only = digits_only[begin == 0 ? 0 : 1];
    for (size_t i = begin; i < end; ++i) {
      ahead(values, i);
      const CellValue* v = values[i];
      if (v && v->is_text() && !v->as_text().empty()) only = only && ascii_digits(v->as_text());
    }
  });
  const bool only_digits = digits_only[0] && digits_only[1];

  // A long column's keys are found and sorted in two runs, one per core;
  // a short one's in one.
  RunKeys runs[2];
  size_t run_start[2] = {0, n};
  for_halves_in_parallel(n, [&](size_t begin, size_t end) {
    const size_t k = begin == 0 ? 0 : 1;
    run_start[k] = begin;
    runs[k] = run_keys(values.subspan(begin, end - begin), only_digits);
  });

  // Every distinct key gets a rank, equal keys the same one, the two runs'
  // sorted keys taken together in order; the rows are then placed by rank,
  // a counting sort, which keeps rows of equal rank in the order they came.
  std::vector<uint32_t> rank_of[2] = {std::vector<uint32_t>(runs[0].keys.size()),
                                      std::vector<uint32_t>(runs[1].keys.size())};
  uint32_t ranks = 0;
  const Key* previous = nullptr;
  const std::string* previous_collated = nullptr;
  for (size_t a = 0, b = 0; a < runs[0].keys.size() || b < runs[1].keys.size();) {
    const bool from_first =
        b == runs[1].keys.size() ||
        (a < runs[0].keys.size() &&
         compare(runs[0].keys[a], runs[0].collated, runs[1].keys[b], runs[1].collated) <= 0);
    const size_t k = from_first ? 0 : 1;
    const Key& key = from_first ? runs[0].keys[a++] : runs[1].keys[b++];
    if (previous && compare(*previous, *previous_collated, key, runs[k].collated) != 0) ++ranks;
    rank_of[k][key.id] = ranks;
    previous = &key;
    previous_collated = &runs[k].collated;
  }
  const uint32_t top = previous ? ranks : 0;
  const uint32_t blank_rank = top + 1;
  std::vector<uint32_t> row_rank(n);
  for (size_t k = 0; k < 2; ++k) {
    const std::vector<uint32_t>& key_of = runs[k].key_of;
    for (size_t i = 0; i < key_of.size(); ++i) {
      uint32_t& rank = row_rank[run_start[k] + i];
      if (key_of[i] == kNoKey) {
        rank = blank_rank;
      } else {
        const uint32_t r = rank_of[k][key_of[i]];
        rank = descending ? top - r : r;
      }
    }
  }
  std::vector<uint32_t> start(static_cast<size_t>(blank_rank) + 2, 0);
  for (uint32_t r : row_rank) ++start[r + 1];
  std::partial_sum(start.begin(), start.end(), start.begin());
  std::vector<uint32_t> order(n);
  for (size_t i = 0; i < n; ++i) order[start[row_rank[i]]++] = static_cast<uint32_t>(i);
  return order;
}

}  // namespace kelv::spreadsheet
