// The file names the commands work with. Paths are UTF-8, where no byte of a
// multi-byte character looks like a backslash, a dot or a capital letter.
#pragma once

#include <string>

// The extension of the path's file name without the dot, with its ASCII
// capitals lowered; empty when the name has no dot.
std::string LowerFileExtension(const std::string& path);

// The file that a command line names ("Open with" passes it in quotes): the
// first quoted argument, or else the whole line without surrounding blanks.
std::string CommandLineFile(const char* commandLine);

// The path made full against the current folder, so that a module is opened
// from there and never looked up along the DLL search path.
std::string FullPathName(const std::string& path);
