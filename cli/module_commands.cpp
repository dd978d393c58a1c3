// list and extract for modules (.exe, .dll, .icl): the groups in the order of
// the program's icon list, each loaded the way the program's Save as loads it.
#include <cstdlib>

#include "base/ansi_text.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/sources.h"
#include "codec/ico_file.h"
#include "codec/group_list.h"
#include "codec/icon_group.h"
#include "codec_messages.h"
#include "platform/console_text.h"
#include "platform/directory.h"
#include "platform/message_box.h"

namespace pk::cli {
namespace {

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
// (ASCII case ignored), in the program's text, as the terminal shows it, or
// in UTF-8 (how Windows hands the arguments over).
const IconGroupEntry* FindGroup(const std::vector<IconGroupEntry>& entries, const std::string& wanted) {
  if (auto id = ParseId(wanted)) {
    for (const IconGroupEntry& e : entries)
      if (e.name.IsId() && e.name.Id() == *id) return &e;
  }
  for (const IconGroupEntry& e : entries) {
    if (e.name.IsId()) continue;
    if (TextEqualsIgnoringAsciiCase(e.name.Text(), wanted) ||
        TextEqualsIgnoringAsciiCase(platform::ConsoleText(e.name.Text()), wanted) ||
        TextEqualsIgnoringAsciiCase(platform::FileNameFromText(e.name.Text()), wanted))
      return &e;
  }
  return nullptr;
}

}  // namespace

bool PrintModule(const std::string& given, Source& source, bool json) {
  const std::vector<IconGroupEntry>& entries = source.groups;
  bool ok = true;
  if (json) {
    std::fputs("{\"file\": ", stdout);
    PrintJsonString(stdout, platform::ConsoleName(given));
    std::fputs(", \"kind\": \"module\", \"groups\": [", stdout);
  } else {
    std::printf("%s: module, %zu icon group%s\n", platform::ConsoleName(given).c_str(), entries.size(),
                entries.size() == 1 ? "" : "s");
  }
  bool first = true;
  for (const IconGroupEntry& e : entries) {
    auto set = LoadIconGroupFromModule(*source.module, source.openedAs.c_str(), e.name);
    if (!set) ok = false;  // reported by the loader, or a group without its images
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
  if (json) std::fputs("\n]}", stdout);
  return ok;
}

int ExtractModule(const std::string& given, Source& source, const std::string* group, const std::string& output) {
  const std::string& path = source.openedAs;
  const IconGroupEntry* entry = &source.groups.front();  // the entry the program selects first
  if (group) {
    entry = FindGroup(source.groups, *group);
    if (!entry) {
      PrintError(platform::ConsoleName(path) + ": no icon group '" + platform::ConsoleName(*group) + "'");
      return kExitFailed;
    }
  }
  // As Save as does: the group loaded anew from the module by its path.
  source.module.reset();
  auto set = LoadIconGroup(path.c_str(), &entry->name);
  if (!set) {
    PrintError(platform::ConsoleName(path) + ": " + platform::ConsoleText(entry->text) + " cannot be loaded");
    return kExitFailed;
  }
  return WriteRecordAs(*set, output);
}

}  // namespace pk::cli
