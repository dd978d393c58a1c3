// pixelkite: list and extract the icons of icon files and modules from
// scripts, on the same codec as the Windows program.
#include <cstdio>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "cli/commands.h"
#include "cli/console.h"
#include "platform/arguments.h"
#include "platform/console_text.h"
#include "platform/message_box.h"

namespace {

constexpr char kUsage[] =
    "usage: pixelkite <command> [options]\n"
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
  if (command == "list") return pk::cli::RunList(args);
  if (command == "extract") return pk::cli::RunExtract(args);
  if (command == "convert") return pk::cli::RunConvert(args);
  return pk::cli::UsageError("unknown command '" + pk::platform::ConsoleName(command) + "'");
}
