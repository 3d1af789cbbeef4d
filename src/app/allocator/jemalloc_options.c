/* jemalloc's options for the programs that link it (cmake/allocator.cmake).
 *
 * thp:always marks the allocator's memory for transparent huge pages, so a
 * heap growing by a gigabyte faults in 2 MB pages rather than 4 KB ones
 * (the kernel of most machines gives huge pages only where asked). The
 * allocator's own bookkeeping follows on its own once it is large enough.
 * MALLOC_CONF in the environment still overrides these at start. */
const char* malloc_conf = "thp:always,metadata_thp:auto";
