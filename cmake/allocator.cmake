# The allocator of the Linux programs (kelv, kelv-form, the benchmarks):
# jemalloc, keeping the pages it frees (src/app/allocator/). A million
# examinees' model is about a gigabyte of small blocks, allocated, grown and
# freed as columns are added and rows sorted. Sanitized builds
# keep the sanitizers' allocator and Windows keeps the C runtime's; the
# libraries and tests do not link it, so they run on whatever the program
# that holds them uses.
option(KELV_JEMALLOC "Link jemalloc into the Linux front ends and benchmarks" ON)
set(kelv_use_jemalloc OFF)
if(KELV_JEMALLOC AND NOT WIN32 AND NOT KELV_SANITIZE)
  pkg_check_modules(JEMALLOC IMPORTED_TARGET jemalloc)
  if(JEMALLOC_FOUND)
    set(kelv_use_jemalloc ON)
  else()
    message(WARNING "jemalloc not found (Debian: libjemalloc-dev, scripts/setup.sh installs it): "
                    "the programs use the C library's malloc, and a province's list runs slower")
  endif()
endif()

function(kelv_link_allocator target)
  if(kelv_use_jemalloc)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/app/allocator/jemalloc_options.c)
    target_link_libraries(${target} PRIVATE PkgConfig::JEMALLOC)
  endif()
endfunction()
