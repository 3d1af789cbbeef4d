// What a front end says when something it did for the person failed: a
// sentence naming what is wrong and what to do, never the bare number of
// the spreadsheet's error ("(53)…"). The component's own error box is the
// component's and keeps its wording.
#pragma once

#include <exception>
#include <string>

#include "host/host_error.h"

namespace kelv::app {

// The error's own text, followed by what to do for the kinds of failure a
// person can do something about (a file gone, a file another program holds,
// a folder that cannot be written, memory).
std::string failure_sentence(const host::HostError& e);
// The same for any failure; other errors say what they say.
std::string failure_sentence(const std::exception& e);

}  // namespace kelv::app
