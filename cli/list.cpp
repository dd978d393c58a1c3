#include "cli/commands.h"
#include "codec/ico_file.h"

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

int ListIconFile(const std::string& path, bool json) {
  auto set = LoadIconFile(path.c_str());
  if (!set) return kExitFailed;
  if (json) {
    std::fputs("{\"file\": ", stdout);
    PrintJsonString(stdout, path);
    std::fputs(", \"kind\": \"icon\", \"images\": ", stdout);
    PrintImagesJson(stdout, *set);
    std::fputs("}\n", stdout);
  } else {
    std::printf("%s: icon file, %u image%s\n", path.c_str(), set->imageCount, set->imageCount == 1 ? "" : "s");
    PrintImageLines(stdout, *set, "  ");
  }
  return kExitOk;
}

}  // namespace

int RunList(const Args& args) {
  std::string path;
  bool json = false;
  for (const std::string& arg : args) {
    if (arg == "--json")
      json = true;
    else if (!arg.empty() && arg[0] == '-')
      return UsageError("list: unknown option '" + arg + "'");
    else if (path.empty())
      path = arg;
    else
      return UsageError("list: more than one file given");
  }
  if (path.empty()) return UsageError("list: no file given");
  switch (KindOfPath(path)) {
    case SourceKind::IconFile: return ListIconFile(path, json);
    case SourceKind::Module: return ListModule(path, json);
    default: return UsageError("list: '" + path + "' is not an .ico, .exe, .dll or .icl file");
  }
}

}  // namespace pk::cli
