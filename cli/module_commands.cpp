// list and extract for modules (.exe, .dll, .icl): the groups in the order of
// the program's icon list, each loaded the way the program's Save as loads it.
#include <cstdlib>
#include <filesystem>

#include "base/ansi_text.h"
#include "cli/commands.h"
#include "codec/ico_file.h"
#include "codec/group_list.h"
#include "codec/icon_group.h"
#include "codec_messages.h"
#include "platform/console_text.h"
#include "platform/message_box.h"

namespace pk::cli {
namespace {

// The module's full path. Windows' loader looks a bare file name up along the
// DLL search path (the system folder first), so "shell32.dll" would read the
// system's copy rather than the file in the current folder.
std::string FullPath(const std::string& path) {
  std::error_code ec;
  auto full = std::filesystem::absolute(path, ec);
  return ec ? path : full.string();
}

// Opens the module and lists its groups, reporting failures as the program
// does: its open message when the file is no module, and "no groups" when
// the enumeration fails or finds nothing.
std::unique_ptr<platform::Module> OpenAndList(const std::string& path, std::vector<IconGroupEntry>* entries) {
  auto module = platform::OpenModuleAsData(path.c_str());
  if (!module) {
    platform::ShowMessage(platform::Owner::MainWindow, msg::kModuleOpenFailed, path);
    return nullptr;
  }
  auto listed = ListIconGroups(*module);
  if (!listed || listed->empty()) {
    std::fprintf(stderr, "%s: no icon groups\n", path.c_str());
    return nullptr;
  }
  *entries = std::move(*listed);
  return module;
}

void PrintName(std::FILE* out, const platform::ResourceName& name) {
  if (name.IsId())
    std::fprintf(out, "%u", unsigned(name.Id()));
  else
    PrintJsonString(out, platform::ConsoleText(name.Text()));
}

// A decimal number below 65536 names an integer id.
std::optional<uint16_t> ParseId(const std::string& text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  for (char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
  if (value > 0xFFFF) return std::nullopt;
  return uint16_t(value);
}

// The group `wanted` names: an integer id when it is a decimal number and the
// module has that id, else a text name, matched as the system matches names
// (ASCII case ignored), either in the program's text or as the terminal shows it.
const IconGroupEntry* FindGroup(const std::vector<IconGroupEntry>& entries, const std::string& wanted) {
  if (auto id = ParseId(wanted)) {
    for (const IconGroupEntry& e : entries)
      if (e.name.IsId() && e.name.Id() == *id) return &e;
  }
  for (const IconGroupEntry& e : entries) {
    if (e.name.IsId()) continue;
    if (TextEqualsIgnoringAsciiCase(e.name.Text(), wanted) ||
        TextEqualsIgnoringAsciiCase(platform::ConsoleText(e.name.Text()), wanted))
      return &e;
  }
  return nullptr;
}

}  // namespace

int ListModule(const std::string& given, bool json) {
  const std::string path = FullPath(given);
  std::vector<IconGroupEntry> entries;
  auto module = OpenAndList(path, &entries);
  if (!module) return kExitFailed;
  int status = kExitOk;
  if (json) {
    std::fputs("{\"file\": ", stdout);
    PrintJsonString(stdout, given);
    std::fputs(", \"kind\": \"module\", \"groups\": [", stdout);
  } else {
    std::printf("%s: module, %zu icon group%s\n", given.c_str(), entries.size(), entries.size() == 1 ? "" : "s");
  }
  bool first = true;
  for (const IconGroupEntry& e : entries) {
    auto set = LoadIconGroupFromModule(*module, path.c_str(), e.name);
    if (!set) status = kExitFailed;  // reported by the loader, or a group without its images
    if (json) {
      std::fputs(first ? "\n  {\"entry\": " : ",\n  {\"entry\": ", stdout);
      PrintJsonString(stdout, platform::ConsoleText(e.text));
      std::fputs(e.name.IsId() ? ", \"id\": " : ", \"name\": ", stdout);
      PrintName(stdout, e.name);
      if (set) {
        std::fputs(", \"images\": ", stdout);
        PrintImagesJson(stdout, *set);
      } else {
        std::fputs(", \"error\": \"cannot be loaded\"", stdout);
      }
      std::fputc('}', stdout);
    } else {
      std::printf("%s%s\n", platform::ConsoleText(e.text).c_str(), set ? "" : "  (cannot be loaded)");
      if (set) PrintImageLines(stdout, *set, "  ");
    }
    first = false;
  }
  if (json) std::fputs("\n]}\n", stdout);
  return status;
}

int ExtractModule(const std::string& given, const std::string* group, const std::string& output) {
  const std::string path = FullPath(given);
  std::vector<IconGroupEntry> entries;
  if (!OpenAndList(path, &entries)) return kExitFailed;
  const IconGroupEntry* entry = &entries.front();  // the entry the program selects first
  if (group) {
    entry = FindGroup(entries, *group);
    if (!entry) {
      std::fprintf(stderr, "%s: no icon group '%s'\n", path.c_str(), group->c_str());
      return kExitFailed;
    }
  }
  auto set = LoadIconGroup(path.c_str(), &entry->name);
  if (!set) {
    std::fprintf(stderr, "%s: %s cannot be loaded\n", path.c_str(), platform::ConsoleText(entry->text).c_str());
    return kExitFailed;
  }
  return WriteRecordAs(*set, output);
}

}  // namespace pk::cli
