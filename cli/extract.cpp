#include "cli/commands.h"
#include "codec/ico_file.h"

namespace pk::cli {

namespace {

struct ExtractOptions {
  std::string input;
  std::string output;
  std::string group;
  bool hasGroup = false;
};

}  // namespace

int RunExtract(const Args& args) {
  ExtractOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-o" || arg == "--output") {
      if (++i == args.size()) return UsageError("extract: " + arg + " needs a file name");
      options.output = args[i];
    } else if (arg == "--group") {
      if (++i == args.size()) return UsageError("extract: --group needs a name");
      options.group = args[i];
      options.hasGroup = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return UsageError("extract: unknown option '" + arg + "'");
    } else if (options.input.empty()) {
      options.input = arg;
    } else {
      return UsageError("extract: more than one input file given");
    }
  }
  if (options.input.empty()) return UsageError("extract: no input file given");
  if (options.output.empty()) return UsageError("extract: no output file given (-o OUT)");
  if (KindOfPath(options.output) != SourceKind::IconFile && KindOfPath(options.output) != SourceKind::Bitmap)
    return UsageError("extract: the output must end in .ico or .bmp");

  switch (KindOfPath(options.input)) {
    case SourceKind::IconFile: {
      if (options.hasGroup) return UsageError("extract: --group applies to modules only");
      auto set = LoadIconFile(options.input.c_str());
      if (!set) return kExitFailed;
      return WriteRecordAs(*set, options.output);
    }
    case SourceKind::Module:
      return ExtractModule(options.input, options.hasGroup ? &options.group : nullptr, options.output);
    default:
      return UsageError("extract: '" + options.input + "' is not an .ico, .exe, .dll or .icl file");
  }
}

}  // namespace pk::cli
