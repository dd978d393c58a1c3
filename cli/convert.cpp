// pixelkite convert: a bitmap file made into a one-image icon file, as the
// program's open command imports a bitmap; and the saving of a record by the
// output's extension, shared with extract.
#include <cstdio>
#include <cstdlib>

#include "cli/commands.h"
#include "codec/bitmap_icon.h"
#include "codec/bmp_file.h"
#include "codec/ico_file.h"
#include "platform/console_text.h"

namespace pk::cli {

namespace {

struct ConvertOptions {
  std::string input;
  std::string output;
  int32_t width = 32;
  int32_t height = 32;
  uint32_t bits = 24;
  bool stretch = true;
};

// "WxH" with both sides 1 to 256, the sizes an icon image can have.
bool ParseSize(const std::string& text, int32_t* width, int32_t* height) {
  char* end = nullptr;
  long w = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || (*end != 'x' && *end != 'X')) return false;
  const char* rest = end + 1;
  long h = std::strtol(rest, &end, 10);
  if (end == rest || *end != '\0') return false;
  if (w < 1 || w > 256 || h < 1 || h > 256) return false;
  *width = int32_t(w);
  *height = int32_t(h);
  return true;
}

bool ParseBits(const std::string& text, uint32_t* bits) {
  for (uint32_t b : {1u, 4u, 8u, 16u, 24u, 32u}) {
    if (text == std::to_string(b)) {
      *bits = b;
      return true;
    }
  }
  return false;
}

}  // namespace

int WriteRecordAs(const IconSet& set, const std::string& output) {
  switch (KindOfOutput(output)) {
    case FileKind::IconFile: return SaveIconFile(set, output.c_str()) ? kExitOk : kExitFailed;
    case FileKind::Bitmap:
      // As Save as does with a .bmp name: the first image's colour picture.
      if (set.imageCount == 0) {
        std::fprintf(stderr, "pixelkite: the icon has no image to write as a bitmap\n");
        return kExitFailed;
      }
      return ExportImageBmp(output.c_str(), set.images[0]) ? kExitOk : kExitFailed;
    default: return UsageError("the output must end in .ico or .bmp");
  }
}

int RunConvert(const Args& args) {
  ConvertOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-o" || arg == "--output") {
      if (++i == args.size()) return UsageError("convert: " + arg + " needs a file name");
      options.output = args[i];
    } else if (arg == "--size") {
      if (++i == args.size() || !ParseSize(args[i], &options.width, &options.height))
        return UsageError("convert: --size needs WxH, each side 1 to 256");
    } else if (arg == "--bits") {
      if (++i == args.size() || !ParseBits(args[i], &options.bits))
        return UsageError("convert: --bits needs 1, 4, 8, 16, 24 or 32");
    } else if (arg == "--no-stretch") {
      options.stretch = false;
    } else if (!arg.empty() && arg[0] == '-') {
      return UsageError("convert: unknown option '" + platform::ConsoleName(arg) + "'");
    } else if (options.input.empty()) {
      options.input = arg;
    } else {
      return UsageError("convert: more than one input file given");
    }
  }
  if (options.input.empty()) return UsageError("convert: no input file given");
  if (options.output.empty()) return UsageError("convert: no output file given (-o OUT.ico)");
  if (KindOfOutput(options.output) != FileKind::IconFile)
    return UsageError("convert: the output must end in .ico");

  // The reader reports its own failures; the conversion says nothing, so its
  // refusal is told here.
  PackedDib dib = LoadBmpFile(options.input.c_str());
  if (!dib) return kExitFailed;
  auto set = BitmapToIconSet(dib.bytes(), options.width, options.height, options.bits, options.stretch);
  if (!set) {
    std::fprintf(stderr,
                 "pixelkite: %s: the bitmap cannot be converted (out of memory)\n",
                 options.input.c_str());
    return kExitFailed;
  }
  return SaveIconFile(*set, options.output.c_str()) ? kExitOk : kExitFailed;
}

}  // namespace pk::cli
