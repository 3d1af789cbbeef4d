// KELV_DCHECK(condition): an invariant the model relies on, checked in Debug
// builds (and so in the sanitizer build) and compiled out of Release builds.
// A failed check names the condition and the place, then aborts.
#pragma once

#ifdef KELV_DCHECK_ON
#include <cstdio>
#include <cstdlib>
#define KELV_DCHECK(condition)                                                               \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)
#else
#define KELV_DCHECK(condition) \
  do {                         \
  } while (false && (condition))
#endif
