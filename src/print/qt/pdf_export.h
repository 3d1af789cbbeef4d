// PDF export behind an interface free of Qt, for front ends that do not
// otherwise use it (the command line).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "print/print_job.h"

namespace kelv::print {

// Writes the job as a PDF file at `path`, text as text with subsets of its
// fonts embedded, each picture stored once however often it is drawn. The
// file is written beside `path` and put in its place only when complete,
// so a failed or stopped export leaves an old file as it was. `progress` is
// told after every page and returns false to stop; returns false when
// stopped. Throws std::runtime_error with a message for the user when the
// file cannot be written. Starts Qt (offscreen; on Windows its own platform) if no Qt
// application is running (fonts need one).
bool write_pdf(const PrintJob& job, const std::string& path,
               const std::function<bool(const JobProgress&)>& progress = nullptr);

// A warning for the user when the machine lacks a font kelv draws Chinese
// text with (it would print as empty boxes); "" when all is well.
std::string font_warning();

// Notes for the user on the fonts the job's cells name whose face is not
// installed here, so another one draws them (font_note), each once.
std::vector<std::string> font_notes(const PrintJob& job);

}  // namespace kelv::print
