// Group-icon resources of modules (.exe, .dll, .icl): one RT_GROUP_ICON
// directory per icon, one RT_ICON resource per image.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/icon_set.h"
#include "platform/icon.h"
#include "platform/module.h"

namespace pk {

// Loads every image of the named group into a new record (moduleFilePath set,
// iconFilePath empty). `name` null: no selection, returns none after opening
// and closing the module. Messages are shown with the module path as caption.
std::unique_ptr<IconSet> LoadIconGroup(const char* modulePath, const platform::ResourceName* name);

// The best-fitting image of the group as an icon at the default icon size;
// none on any failure, without a message. The module stays open.
platform::IconHandle LoadGroupPreviewIcon(platform::Module& module, const platform::ResourceName* name);

// LoadIconGroup on a module that is already open; `modulePath` is the record's
// moduleFilePath and the caption of its messages.
std::unique_ptr<IconSet> LoadIconGroupFromModule(platform::Module& module, const char* modulePath,
                                                 const platform::ResourceName& name);

// The most bytes one group may bring into memory. A group names up to 65535
// images, and a damaged one can name the same large resource every time.
inline constexpr uint64_t kMaxIconGroupBytes = 256ull << 20;

// The main dialog's list of a module's groups.
inline constexpr size_t kListEntryBufferSize = 256;  // the entry text's buffer, terminator included

struct IconGroupEntry {
  std::string text;  // "Icon [%d]" or "Icon [%s]", at most 255 bytes
  platform::ResourceName name;
};

// The entry text of a group: "Icon [id]" or "Icon [name]", cut on a character
// boundary so that it fits the 256-byte entry buffer.
std::string IconGroupEntryText(const platform::ResourceName& name);

// Compares two entry texts as a sorted list box (LBS_SORT) orders them: a
// case-insensitive word sort in which punctuation comes before digits and
// digits before letters; negative, 0 or positive.
int CompareListText(std::string_view a, std::string_view b);

// Every group of the module, in the order of the sorted list; none when the
// enumeration fails (which includes a module without any group).
std::optional<std::vector<IconGroupEntry>> ListIconGroups(platform::Module& module);

}  // namespace pk
