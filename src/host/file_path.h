// Paths between the component's UTF-8 text and the file system. On Windows
// the text becomes the wide characters the file API takes, never a code page;
// elsewhere the bytes are used as they are. Every file the program opens,
// lists, tests or renames goes through file_path.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kelv::host {

// The path as the file system takes it, with the platform's separators
// ("\" and "/" are both accepted in the text).
std::filesystem::path file_path(std::string_view text);
// A file system path as UTF-8 text.
std::string path_text(const std::filesystem::path& path);
// The absolute, lexically normal form of `text`, as UTF-8 text.
std::string absolute_path_text(std::string_view text);

// True for a file name a listing shows the person: not hidden (".NAME",
// among them LibreOffice's lock files ".~lock.NAME#" and the temporary
// files of a save in progress) and no lock file of Excel or WPS ("~$NAME").
bool is_listed_file_name(std::string_view name);

}  // namespace kelv::host
