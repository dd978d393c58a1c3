#include <cstdlib>
#include <thread>

#include "cli/commands.h"
#include "cli/sources.h"
#include "codec/ico_file.h"
#include "platform/console_text.h"

namespace pk::cli {

namespace {

struct ExtractOptions {
  std::vector<std::string> inputs;
  std::string output;  // -o: one icon into one file
  std::string outDir;  // -d: everything into a folder
  std::string group;
  bool hasGroup = false;
  std::string format;
  bool recursive = false;
  unsigned jobs = 0;
  bool quiet = false;
};

int ExtractOne(const ExtractOptions& options) {
  if (options.inputs.size() != 1) return UsageError("extract: -o takes one input file (use -d OUTDIR for more)");
  if (!options.format.empty() || options.recursive || options.jobs || options.quiet)
    return UsageError("extract: --format, -r, --jobs and --quiet go with -d OUTDIR");
  const FileKind out = KindOfOutput(options.output);
  if (out != FileKind::IconFile && out != FileKind::Bitmap) return UsageError("extract: the output must end in .ico or .bmp");

  Input input{options.inputs.front(), true, 0};
  Source source;
  std::string reason;
  if (OpenSource(input, &source, &reason) != OpenResult::Opened) return kExitFailed;
  if (source.kind == FileKind::IconFile) {
    if (options.hasGroup) return UsageError("extract: --group applies to modules only");
    return WriteRecordAs(*source.icon, options.output);
  }
  return ExtractModule(input.path, source, options.hasGroup ? &options.group : nullptr, options.output);
}

int ExtractMany(const ExtractOptions& options) {
  if (options.hasGroup) return UsageError("extract: --group goes with -o OUT (one icon)");
  BulkOptions bulk;
  bulk.inputs = options.inputs;
  bulk.outDir = options.outDir;
  bulk.recursive = options.recursive;
  bulk.jobs = options.jobs;
  bulk.quiet = options.quiet;
  if (options.format.empty() || options.format == "ico")
    bulk.format = OutputFormat::Ico;
  else if (options.format == "png")
    bulk.format = OutputFormat::Png;
  else if (options.format == "bmp")
    bulk.format = OutputFormat::Bmp;
  else
    return UsageError("extract: --format takes ico, bmp or png");
  return ExtractBulk(bulk);
}

}  // namespace

int RunExtract(const Args& args) {
  ExtractOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 == args.size()) return false;
      *out = args[++i];
      return true;
    };
    if (arg == "-o" || arg == "--output") {
      if (!value(&options.output)) return UsageError("extract: " + arg + " needs a file name");
    } else if (arg == "-d" || arg == "--dir") {
      if (!value(&options.outDir) || options.outDir.empty()) return UsageError("extract: " + arg + " needs a folder");
    } else if (arg == "--group") {
      if (!value(&options.group)) return UsageError("extract: --group needs a name");
      options.hasGroup = true;
    } else if (arg == "--format") {
      if (!value(&options.format)) return UsageError("extract: --format needs ico, bmp or png");
    } else if (arg == "--jobs" || arg == "-j") {
      std::string n;
      char* end = nullptr;
      if (!value(&n)) return UsageError("extract: --jobs needs a number");
      const long jobs = std::strtol(n.c_str(), &end, 10);
      if (n.empty() || *end != '\0' || jobs < 1 || jobs > 256) return UsageError("extract: --jobs needs a number from 1 to 256");
      options.jobs = unsigned(jobs);
    } else if (arg == "-r" || arg == "--recursive") {
      options.recursive = true;
    } else if (arg == "--quiet" || arg == "-q") {
      options.quiet = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return UsageError("extract: unknown option '" + platform::ConsoleName(arg) + "'");
    } else {
      options.inputs.push_back(arg);
    }
  }
  if (options.inputs.empty()) return UsageError("extract: no input file given");
  if (!options.output.empty() && !options.outDir.empty()) return UsageError("extract: -o and -d exclude each other");
  if (!options.outDir.empty()) return ExtractMany(options);
  if (options.output.empty()) return UsageError("extract: no output given (-o OUT or -d OUTDIR)");
  return ExtractOne(options);
}

}  // namespace pk::cli
