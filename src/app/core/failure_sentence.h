// What a front end says when something it did for the person failed: a
// sentence naming what is wrong and what to do, never the bare number of
// the spreadsheet's error ("(53)…"). The component's own error box keeps
// its wording in transcripts; a window shows it as such a sentence.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "host/host_error.h"

namespace kelv::app {

// The error's own text, followed by what to do for the kinds of failure a
// person can do something about (a file gone, a file another program holds,
// a folder that cannot be written, memory).
std::string failure_sentence(const host::HostError& e);
// The same for any failure; other errors say what they say.
std::string failure_sentence(const std::exception& e);
// The component's error box text "SOURCE：(N)DESCRIPTION" as the person
// reads it: the description with what to do, the bare number left out.
// Any other text is returned as it is.
std::string error_box_sentence(std::string_view text);

}  // namespace kelv::app
