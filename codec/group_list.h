// The main dialog's list of a module's icon groups: one entry per group,
// "Icon [%d]" or "Icon [%s]", in the order a sorted list box gives them.
// The command line lists groups in the same order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/module.h"

namespace pk {

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
