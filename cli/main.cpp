// pixelkite: list and extract the icons of .ico, .bmp, .exe, .dll and .icl
// files from scripts, on the same codec as the Windows program.
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "platform/console_text.h"
#include "platform/message_box.h"

namespace {

constexpr char kUsage[] =
    "usage: pixelkite <command> [options]\n"
    "\n"
    "commands:\n"
    "  list FILE [--json]             list the icons of FILE and their images\n"
    "  extract FILE -o OUT.ico        save an icon with all its images\n"
    "  extract FILE -o OUT.bmp        save the colour picture of its first image\n"
    "          [--group NAME]         (modules: the group by decimal id or name;\n"
    "                                 default: the first group in list order)\n"
    "  convert IN.bmp -o OUT.ico      make a bitmap into a one-image icon\n"
    "          [--size WxH] [--bits N] (default 32x32 at 24 bits; N: 1, 4, 8, 16, 24, 32)\n"
    "          [--no-stretch]         (crop or pad to the size instead of scaling)\n"
    "\n"
    "FILE is an icon file (.ico) or a module (.exe, .dll, .icl).\n"
    "Exit status: 0 success, 1 a reported failure, 2 a usage error.\n";

}  // namespace

int main(int argc, char** argv) {
  // The codec's messages go to standard error as "caption: text", never to a box.
  pk::platform::SetMessageSink([](pk::platform::Owner, std::string_view text, std::string_view caption) {
    pk::platform::PrintMessage(text, caption);
  });

  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return pk::cli::kExitUsage;
  }
  std::string command = argv[1];
  pk::cli::Args args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return pk::cli::kExitOk;
  }
  if (command == "list") return pk::cli::RunList(args);
  if (command == "extract") return pk::cli::RunExtract(args);
  if (command == "convert") return pk::cli::RunConvert(args);
  return pk::cli::UsageError("unknown command '" + command + "'");
}
