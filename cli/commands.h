// The pixelkite command line: one function per command, each taking the
// arguments after the command's name and returning the exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace pk::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a failure was reported on standard error
inline constexpr int kExitUsage = 2;

using Args = std::vector<std::string>;

int RunList(const Args& args);
int RunExtract(const Args& args);
// convert IN.bmp -o OUT.ico [--size WxH] [--bits N] [--no-stretch]
int RunConvert(const Args& args);

// Modules (.exe, .dll, .icl): one line (or JSON object) per group in the
// order of the program's icon list; extract saves one group (`group`: a
// decimal id or a text name; null: the first group of that list).
int ListModule(const std::string& path, bool json);
int ExtractModule(const std::string& path, const std::string* group, const std::string& output);

// What a path is, by its extension, as the program decides it.
enum class SourceKind { IconFile, Bitmap, Module, Unknown };
std::string LowerExtension(const std::string& path);
SourceKind KindOfPath(const std::string& path);

// Prints a usage error for a command on standard error; returns kExitUsage.
int UsageError(const std::string& message);

// Prints "text" JSON-escaped (with quotes) to `out`.
void PrintJsonString(std::FILE* out, const std::string& text);

}  // namespace pk::cli

namespace pk {
struct IconSet;
}

namespace pk::cli {

// One line per image: "  #i  WxH  N bpp  DIB|PNG  N bytes".
void PrintImageLines(std::FILE* out, const IconSet& set, const char* indent);
// The images as a JSON array.
void PrintImagesJson(std::FILE* out, const IconSet& set);

// Saves a record as the output's extension asks: .ico with all its images,
// .bmp the first image's colour picture (as Save as does).
int WriteRecordAs(const IconSet& set, const std::string& output);

}  // namespace pk::cli
