#include "cli/commands.h"
#include "cli/sources.h"
#include "codec/ico_file.h"
#include "platform/console_text.h"

namespace pk::cli {

void PrintImageLines(std::FILE* out, const IconSet& set, const char* indent) {
  for (uint32_t i = 0; i < set.imageCount && i < set.images.size(); ++i) {
    const IconSetImage& image = set.images[i];
    std::fprintf(out, "%s#%-3u %4dx%-4d %2u bpp  %s  %u bytes\n", indent, i, image.width, image.height,
                 image.bitCount, image.format == ImageFormat::Png ? "PNG" : "DIB", image.dataSize);
  }
}

void PrintImagesJson(std::FILE* out, const IconSet& set) {
  std::fputc('[', out);
  for (uint32_t i = 0; i < set.imageCount && i < set.images.size(); ++i) {
    const IconSetImage& image = set.images[i];
    std::fprintf(out, "%s{\"index\": %u, \"width\": %d, \"height\": %d, \"bitsPerPixel\": %u, \"format\": \"%s\", \"bytes\": %u}",
                 i ? ", " : "", i, image.width, image.height, image.bitCount,
                 image.format == ImageFormat::Png ? "PNG" : "DIB", image.dataSize);
  }
  std::fputc(']', out);
}

namespace {

void PrintIconFile(const std::string& path, const IconSet& set, bool json) {
  if (json) {
    std::fputs("{\"file\": ", stdout);
    PrintJsonString(stdout, platform::ConsoleName(path));
    std::fputs(", \"kind\": \"icon\", \"images\": ", stdout);
    PrintImagesJson(stdout, set);
    std::fputs("}", stdout);
  } else {
    std::printf("%s: icon file, %u image%s\n", platform::ConsoleName(path).c_str(), set.imageCount,
                set.imageCount == 1 ? "" : "s");
    PrintImageLines(stdout, set, "  ");
  }
}

}  // namespace

int RunList(const Args& args) {
  std::vector<std::string> paths;
  bool json = false, recursive = false;
  for (const std::string& arg : args) {
    if (arg == "--json")
      json = true;
    else if (arg == "-r" || arg == "--recursive")
      recursive = true;
    else if (!arg.empty() && arg[0] == '-')
      return UsageError("list: unknown option '" + platform::ConsoleName(arg) + "'");
    else
      paths.push_back(arg);
  }
  if (paths.empty()) return UsageError("list: no file given");

  int failures = 0;
  const std::vector<Input> inputs = GatherInputs(paths, recursive, &failures);
  // One JSON document for every file: {"files": [ one object per file ]}.
  if (json) std::fputs("{\"files\": [", stdout);
  bool first = true;
  for (const Input& input : inputs) {
    Source source;
    std::string reason;
    const OpenResult result = OpenSource(input, &source, &reason);
    if (result == OpenResult::Skipped) continue;
    if (json) std::fputs(first ? "\n" : ",\n", stdout);
    first = false;
    if (result == OpenResult::Failed) {
      ++failures;
      if (json) {
        std::fputs("{\"file\": ", stdout);
        PrintJsonString(stdout, platform::ConsoleName(input.path));
        std::fputs(", \"error\": ", stdout);
        PrintJsonString(stdout, reason);
        std::fputs("}", stdout);
      }
      continue;
    }
    if (source.kind == FileKind::IconFile)
      PrintIconFile(input.path, *source.icon, json);
    else if (!PrintModule(input.path, source, json))
      ++failures;
  }
  if (json) std::fputs("\n]}\n", stdout);
  return failures ? kExitFailed : kExitOk;
}

}  // namespace pk::cli
