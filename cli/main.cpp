// pixelkite: list and extract the icons of icon files and modules from
// scripts, on the same codec as the Windows program.
#include <cstdio>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli/commands.h"
#include "cli/console.h"
#include "pk_version.h"
#include "platform/arguments.h"
#include "platform/console_text.h"
#include "platform/message_box.h"

namespace {

constexpr char kUsage[] =
    "usage: pixelkite <command> [options]\n"
    "       pixelkite <command> --help\n"
    "       pixelkite --version\n"
    "\n"
    "commands:\n"
    "  list FILE|DIR... [-r] [--json]  list the icons of each file and their images\n"
    "  extract FILE -o OUT.ico          save an icon with all its images\n"
    "  extract FILE -o OUT.bmp          save the colour picture of its first image\n"
    "          [--group NAME]           (modules: the group by decimal id or name;\n"
    "                                   default: the first group in list order)\n"
    "  extract FILE|DIR... -d OUTDIR    save every icon of every file into OUTDIR\n"
    "          [--format ico|bmp|png]   (ico: one file per icon; png: one per image;\n"
    "                                   bmp: the first image of each icon)\n"
    "          [-r] [--jobs N] [--quiet] (-r: folders recursively; N: parallel files,\n"
    "                                   default one per core; --quiet: no progress)\n"
    "  convert IN.bmp -o OUT.ico        make a bitmap into a one-image icon\n"
    "          [--size WxH] [--bits N]  (default 32x32 at 24 bits; N: 1, 4, 8, 16, 24, 32)\n"
    "          [--no-stretch]           (crop or pad to the size instead of scaling)\n"
    "\n"
    "FILE is an icon file or a module (.exe, .dll, .cpl, .ocx, .scr, .icl, ...),\n"
    "told by its content. In a DIR, the files with such extensions are read.\n"
    "Exit status: 0 success, 1 a reported failure, 2 a usage error.\n";

// Each command's own help (pixelkite COMMAND --help).
struct Command {
  const char* name;
  int (*run)(const pk::cli::Args&);
  const char* help;
};

constexpr Command kCommands[] = {
    {"list", pk::cli::RunList,
     "usage: pixelkite list FILE|DIR... [-r] [--json]\n"
     "\n"
     "Lists each icon of each file and its images: index, width x height, bits\n"
     "per pixel, PNG or DIB, size in bytes. A module lists one icon per group.\n"
     "  -r, --recursive  read the files in the folders' sub-folders too\n"
     "  --json           one JSON document for all the files\n"},
    {"extract", pk::cli::RunExtract,
     "usage: pixelkite extract FILE -o OUT.ico|OUT.bmp [--group NAME]\n"
     "       pixelkite extract FILE|DIR... -d OUTDIR [--format ico|bmp|png] [-r] [--jobs N] [--quiet]\n"
     "\n"
     "  -o, --output OUT   save one icon: .ico with all its images, .bmp the colour\n"
     "                     picture of its first image\n"
     "  --group NAME       a module's group by decimal id or name (default: the first\n"
     "                     group in list order)\n"
     "  -d, --dir OUTDIR   save every icon of every input into OUTDIR\n"
     "  --format FORMAT    ico (one file per icon, the default), png (one per image)\n"
     "                     or bmp (the first image of each icon)\n"
     "  -r, --recursive    read the folders' sub-folders too\n"
     "  -j, --jobs N       files read at once (default: one per core)\n"
     "  -q, --quiet        no progress line and no summary\n"},
    {"convert", pk::cli::RunConvert,
     "usage: pixelkite convert IN.bmp -o OUT.ico [--size WxH] [--bits N] [--no-stretch]\n"
     "\n"
     "Makes a bitmap into a one-image icon.\n"
     "  -o, --output OUT.ico  the icon to write\n"
     "  --size WxH            its size (default 32x32)\n"
     "  --bits N              bits per pixel: 1, 4, 8, 16, 24 or 32 (default 24)\n"
     "  --no-stretch          crop or pad to the size instead of scaling\n"},
};

bool AsksForHelp(const pk::cli::Args& args) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // The PNG encoder takes and frees a deflate state of a few hundred KB per
  // image. Above glibc's mmap threshold each would be a fresh mapping whose
  // pages the kernel zeroes again; kept in the heap they are reused (a third
  // of the time of a PNG extraction, for no more memory at its peak).
  mallopt(M_MMAP_THRESHOLD, 8 << 20);
  mallopt(M_TRIM_THRESHOLD, 16 << 20);
#endif
  // The codec's messages go to standard error as "caption: text", never to a
  // box, each whole and above any progress line.
  pk::platform::SetMessageSink([](pk::platform::Owner, const pk::platform::Message& message) {
    pk::cli::PrintAbove([&] { pk::platform::PrintMessage(message); });
  });

  // UTF-8, file names included, on Windows too.
  const std::vector<std::string> arguments = pk::platform::ProgramArguments(argc, argv);
  if (arguments.size() < 2) {
    std::fputs(kUsage, stderr);
    return pk::cli::kExitUsage;
  }
  const std::string& command = arguments[1];
  pk::cli::Args args(arguments.begin() + 2, arguments.end());
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return pk::cli::kExitOk;
  }
  if (command == "--version") {
    std::puts("pixelkite " PK_VERSION_TEXT);
    return pk::cli::kExitOk;
  }
  for (const Command& c : kCommands) {
    if (command != c.name) continue;
    if (AsksForHelp(args)) {
      std::fputs(c.help, stdout);
      return pk::cli::kExitOk;
    }
    return c.run(args);
  }
  return pk::cli::UsageError("unknown command '" + pk::platform::ConsoleName(command) + "'");
}
