// A long print job written as a PDF on two threads: the pages' first half
// in this thread and the second in another, each into a PDF of its own in
// memory, then the second's pages joined onto the first's (qpdf). Qt's PDF
// writer is one per file, and laying out, shaping and compressing the pages
// is nearly all of an export's time. Each half embeds its own subsets of
// the fonts, so the file is larger by about one subset of each font.
#pragma once

#include <QString>
#include <functional>

#include "host/file_system.h"
#include "print/print_job.h"

namespace kelv::print {

// Whether this build and machine write `job` in two halves: qpdf there, two
// processors or more, and pages enough to be worth a second writer.
bool writes_in_halves(const PrintJob& job);

// Writes every page of `job` to `out` as one PDF of the given resolution and
// title. `progress` is called on this thread only, with the pages done in
// both halves and each sheet once its last page is done, in the job's
// order; when it returns false the other thread is stopped too and nothing
// is written (false is returned). Throws std::runtime_error with a message
// for the user.
bool write_pdf_in_halves(const PrintJob& job, host::WritableFile& out, int dpi,
                         const QString& title,
                         const std::function<bool(const JobProgress&)>& progress);

}  // namespace kelv::print
