/* jemalloc's options for the programs that link it (cmake/allocator.cmake).
 *
 * Freed pages are kept for the process's next blocks and not given back to
 * the system while it runs (no decay): printing builds every page in a
 * buffer of a few hundred kilobytes and frees it, and giving those pages
 * back faulted them in again, page after page (kelv pdf of 5,556 pages took
 * half again the processor time). A process keeps its high-water mark, as it
 * did with the C library's malloc, whose freed blocks inside the heap stay
 * too.
 *
 * Pages are the system's own size: transparent huge pages made each first
 * touch of memory cost more than it saved in address translation. Measured
 * on 2 cores under a hypervisor, a million examinees' open, assign and save
 * spent 2.2 s in the kernel with huge pages (0.7 s without) and took 0.8 s
 * longer; 100,000 seat labels with codes took 2.85 s against 2.25 s; kelv pdf
 * was no faster with them. Zeroing a fresh 2 MB page there ran at a third of
 * the speed of zeroing 4 KB ones.
 *
 * Two arenas, not jemalloc's four for every core: kelv's threads are the
 * form's or command's own and the two halves of long work, and a block is
 * handed out again only by the arena it was freed to. With eight arenas, the
 * cells a million examinees' rows were read into went back to the reading
 * threads' arenas when the rows grew, and lay unused: opening, assigning and
 * saving a million examinees peaked near 1,060 MB with eight and near 975 MB
 * with two, in less processor time (12.2-12.4 s against 12.9-13.3 s, four
 * rounds alternating), and 100,000 seat labels took 10-15 MB less.
 *
 * MALLOC_CONF in the environment still overrides these at start. */
const char* malloc_conf = "narenas:2,dirty_decay_ms:-1,muzzy_decay_ms:-1";
