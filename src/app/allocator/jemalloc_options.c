/* jemalloc's options for the programs that link it (cmake/allocator.cmake).
 *
 * thp:always marks the allocator's memory for transparent huge pages, so a
 * heap growing by a gigabyte faults in 2 MB pages rather than 4 KB ones
 * (the kernel of most machines gives huge pages only where asked); the
 * allocator's own bookkeeping follows once it is large enough.
 *
 * Freed pages are kept for the process's next blocks and not given back to
 * the system while it runs (no decay): printing builds every page in a
 * buffer of a few hundred kilobytes and frees it, and giving those pages
 * back cut huge pages apart and faulted them in again, page after page
 * (kelv pdf of 5,556 pages took half again the processor time). A process
 * keeps its high-water mark, as it did with the C library's malloc, whose
 * freed blocks inside the heap stay too.
 *
 * MALLOC_CONF in the environment still overrides these at start. */
const char* malloc_conf = "thp:always,metadata_thp:auto,dirty_decay_ms:-1,muzzy_decay_ms:-1";
