// Folders and file names: walking a folder, what a path names, making the
// output folder, and file names made from the program's 8-bit text. Names
// and paths are UTF-8 on every system: POSIX calls elsewhere, the wide
// FindFirstFileW and friends on Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pk::platform {

enum class PathType { Missing, File, Directory, Other };

struct DirectoryEntry {
  std::string name;
  PathType type = PathType::Other;  // the entry's own type; a link's target is not looked at
  bool isLink = false;              // a symbolic link (a reparse point on Windows)
};

// What `path` names, links followed.
PathType TypeOfPath(const char* path);

// The entries of a folder, "." and ".." left out, in no particular order;
// none when the folder cannot be read.
std::optional<std::vector<DirectoryEntry>> ReadDirectory(const char* path);

// The absolute path with every link resolved; none when it does not exist.
std::optional<std::string> RealPath(const char* path);

// Creates the folder and any missing parents; true when it is a folder afterwards.
bool MakeDirectories(const char* path);

// The size of a file in bytes; 0 when it cannot be told.
uint64_t FileSize(const char* path);

// The separator this system puts between folder and name.
char PathSeparator();

// Program text (GBK) as a file name (UTF-8), a character that does not
// convert becoming '?'.
std::string FileNameFromText(std::string_view text);

}  // namespace pk::platform
