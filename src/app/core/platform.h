// What the command-line front ends do differently on Linux and Windows: the
// command line's text, the console, and handing a document to a viewer.
#pragma once

#include <string>
#include <vector>

namespace kelv::app {

// The program's arguments as UTF-8. On Windows they are read again from the
// wide-character command line: the narrow ones are in the ANSI code page.
std::vector<std::string> utf8_arguments(int argc, char** argv);

// Makes standard input, output and error carry UTF-8 text. On a Windows
// console they go through the console's wide-character calls; redirected
// to a file or a pipe they carry UTF-8 bytes, as on Linux.
void prepare_console();

// Whether standard input (false) or output (true) is a terminal.
bool is_terminal(bool output);

// The viewer that opens documents by the system's file associations
// (xdg-open; on Windows the shell).
extern const char* const kSystemViewer;

// Starts `program path` detached from this process, with no terminal input
// and its output discarded; kSystemViewer opens the path as a double click
// would. A program that cannot start is ignored.
void start_viewer(const std::string& program, const std::string& path);

}  // namespace kelv::app
