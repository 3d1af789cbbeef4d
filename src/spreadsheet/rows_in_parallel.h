// Work over many rows of a sheet shared with a second thread.
#pragma once

#include <cstdint>
#include <exception>
#include <future>
#include <system_error>
#include <thread>

namespace kelv::spreadsheet {

// Calls fn(r) for every row first..last; when there are many, the upper
// half of them on a second thread. fn must touch nothing but row r (its
// cells may grow: the allocator serves both threads). An exception from
// either half is thrown once both have ended. Below a quarter of a million
// rows the time saved is small against the memory the second thread's
// allocations keep apart (some 40 MB for 100,000 examinees' labels).
template <class Fn>
void for_rows_in_parallel(int32_t first, int32_t last, const Fn& fn) {
  constexpr int32_t kManyRows = 1 << 18;
  if (last - first + 1 < kManyRows || std::thread::hardware_concurrency() < 2) {
    for (int32_t r = first; r <= last; ++r) fn(r);
    return;
  }
  const int32_t mid = first + (last - first + 1) / 2;
  std::future<void> upper;
  try {
    upper = std::async(std::launch::async, [&] {
      for (int32_t r = mid; r <= last; ++r) fn(r);
    });
  } catch (const std::system_error&) {
    // No thread to be had: this one does it all.
    for (int32_t r = first; r <= last; ++r) fn(r);
    return;
  }
  std::exception_ptr failure;
  try {
    for (int32_t r = first; r < mid; ++r) fn(r);
  } catch (...) {
    failure = std::current_exception();
  }
  upper.get();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace kelv::spreadsheet
