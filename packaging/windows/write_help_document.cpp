// Writes the help document of the sample workspace to the file named on the
// command line. Built for the build machine, so the Windows release gets the
// document without running kelv.exe.
#include <fstream>
#include <iostream>

#include "app/sample/sample_workspace.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: write_help_document FILE\n";
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << kelv::sample::help_document_rtf();
  return out.flush() ? 0 : 1;
}
