// Work over many rows of a sheet shared with a second thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <future>
#include <system_error>
#include <thread>

namespace kelv::spreadsheet {

// Below a quarter of a million rows the time a second thread saves is small
// against the memory its allocations keep apart (some 40 MB for 100,000
// examinees' labels).
inline constexpr size_t kManyRows = size_t{1} << 18;

// Calls fn(begin, end) over the items [0, n): when there are many, as
// fn(0, mid) here and fn(mid, n) on a second thread. The two calls must not
// touch the same item. An exception from either half is thrown once both
// have ended.
template <class Fn>
void for_halves_in_parallel(size_t n, const Fn& fn) {
  if (n < kManyRows || std::thread::hardware_concurrency() < 2) {
    fn(size_t{0}, n);
    return;
  }
  const size_t mid = n / 2;
  std::future<void> upper;
  try {
    upper = std::async(std::launch::async, [&] { fn(mid, n); });
  } catch (const std::system_error&) {
    // No thread to be had: this one does it all.
    fn(size_t{0}, n);
    return;
  }
  std::exception_ptr failure;
  try {
    fn(size_t{0}, mid);
  } catch (...) {
    failure = std::current_exception();
  }
  upper.get();
  if (failure) std::rethrow_exception(failure);
}

// Calls fn(r) for every row first..last; when there are many, the upper
// half of them on a second thread. fn must touch nothing but row r (its
// cells may grow: the allocator serves both threads).
template <class Fn>
void for_rows_in_parallel(int32_t first, int32_t last, const Fn& fn) {
  if (last < first) return;
  for_halves_in_parallel(static_cast<size_t>(last - first) + 1, [&](size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) fn(first + static_cast<int32_t>(i));
  });
}

}  // namespace kelv::spreadsheet
