// The inputs of list and extract: files named on the command line and the
// icon sources found in folders, each opened by what its bytes say it is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/file_kind.h"
#include "codec/group_list.h"
#include "codec/icon_group.h"
#include "codec/icon_set.h"
#include "platform/module.h"

namespace pk::cli {

struct Input {
  std::string path;       // as given, or folder + separator + name
  bool named = true;      // named on the command line (not found in a folder)
  uint64_t size = 0;      // bytes, for the progress line
};

// The files the arguments name: files as they are, folders as the files
// inside them with a module or icon extension (recursive: in sub-folders
// too), sorted by name. Links are followed only to files inside the folder
// given; linked folders are not entered. A path that does not exist or a
// folder that cannot be read is reported and counted in `*failures`.
std::vector<Input> GatherInputs(const std::vector<std::string>& args, bool recursive, int* failures);

// An input opened by its content.
struct Source {
  FileKind kind = FileKind::Unknown;
  std::unique_ptr<platform::Module> module;  // modules: opened by `openedAs`
  std::string openedAs;
  std::vector<IconGroupEntry> groups;         // modules: in the program's list order
  std::unique_ptr<IconSet> icon;              // icon files
};

enum class OpenResult { Opened, Skipped, Failed };

// Opens an input as a module or an icon file, whatever its name. A named
// input that is neither, or a module without icon groups, is reported and
// Failed; such a file found in a folder is Skipped without a word. Damage in
// an icon source is reported either way (the codec says what it found).
// `*reason` gets a few words on why a file Failed.
OpenResult OpenSource(const Input& input, Source* source, std::string* reason);

// The module's full path. Windows' loader looks a bare file name up along the
// DLL search path (the system folder first), so "shell32.dll" would read the
// system's copy rather than the file in the current folder.
std::string FullPath(const std::string& path);

}  // namespace pk::cli
