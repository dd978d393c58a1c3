// The pixelkite command line: one function per command, each taking the
// arguments after the command's name and returning the exit status.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "codec/file_kind.h"

namespace pk {
struct IconSet;
}

namespace pk::cli {

struct Source;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a failure was reported on standard error
inline constexpr int kExitUsage = 2;

using Args = std::vector<std::string>;

// list FILE|DIR... [-r] [--json]
int RunList(const Args& args);
// extract FILE -o OUT.ico|OUT.bmp [--group NAME], or
// extract FILE|DIR... -d OUTDIR [--format ico|bmp|png] [-r] [--jobs N] [--quiet]
int RunExtract(const Args& args);
// convert IN.bmp -o OUT.ico [--size WxH] [--bits N] [--no-stretch]
int RunConvert(const Args& args);

// Bulk extraction into a folder.
enum class OutputFormat { Ico, Bmp, Png };
struct BulkOptions {
  std::vector<std::string> inputs;
  std::string outDir;
  OutputFormat format = OutputFormat::Ico;
  bool recursive = false;
  unsigned jobs = 0;  // 0: one per core
  bool quiet = false;
};
int ExtractBulk(const BulkOptions& options);

// A module's groups, one line (or JSON object) per group in the order of the
// program's icon list, each loaded as Save as loads it; false when a group
// cannot be loaded.
bool PrintModule(const std::string& path, Source& source, bool json);
// Saves one group of a module (`group`: a decimal id or a text name; null:
// the first group of the list).
int ExtractModule(const std::string& path, Source& source, const std::string* group, const std::string& output);

// The kind an output name's extension asks for.
inline FileKind KindOfOutput(const std::string& path) { return KindOfExtension(LowerExtension(path)); }

// Prints a usage error for a command on standard error; returns kExitUsage.
int UsageError(const std::string& message);

// Prints "text" JSON-escaped (with quotes) to `out`.
void PrintJsonString(std::FILE* out, const std::string& text);

// One line per image: "  #i  WxH  N bpp  DIB|PNG  N bytes".
void PrintImageLines(std::FILE* out, const IconSet& set, const char* indent);
// The images as a JSON array.
void PrintImagesJson(std::FILE* out, const IconSet& set);

// Saves a record as the output's extension asks: .ico with all its images,
// .bmp the first image's colour picture (as Save as does).
int WriteRecordAs(const IconSet& set, const std::string& output);

}  // namespace pk::cli
