// Group-icon resources of modules (.exe, .dll, .icl): one RT_GROUP_ICON
// directory per icon, one RT_ICON resource per image.
#pragma once

#include <memory>

#include "base/result.h"
#include "codec/icon_set.h"
#include "platform/icon.h"
#include "platform/module.h"

namespace pk {

// The most bytes one group may bring into memory. A group names up to 65535
// images, and a damaged one can name the same large resource every time.
inline constexpr uint64_t kMaxIconGroupBytes = 256ull << 20;

// Why a group could not be loaded. Some reasons have a message for the user
// (GroupFaultMessage); the others fail silently, as the program always has.
enum class GroupFault {
  ModuleOpen,      // the file does not open as a module
  NoSelection,     // no group was named
  GroupMissing,    // the module has no such group
  DirectoryShort,  // the directory's entries do not fit in the resource
  RecordAlloc,     // no memory for the record
  ImageMissing,    // an image the directory names is not in the module
  TooLarge,        // the group's images add up beyond kMaxIconGroupBytes
  ImageAlloc,      // no memory for an image
  ImageFormat,     // an image whose bytes cannot be bound (see ImageFault)
};

// The program's message for a refusal; null for the silent ones.
const char* GroupFaultMessage(GroupFault fault);

// Reads every image of the group into a new record (moduleFilePath set,
// iconFilePath empty). Shows nothing.
Result<std::unique_ptr<IconSet>, GroupFault> ReadIconGroup(platform::Module& module, const char* modulePath,
                                                          const platform::ResourceName& name);

// Loads every image of the named group into a new record. `name` null: no
// selection, returns none after opening and closing the module. Messages are
// shown with the module path as caption.
std::unique_ptr<IconSet> LoadIconGroup(const char* modulePath, const platform::ResourceName* name);

// LoadIconGroup on a module that is already open; `modulePath` is the record's
// moduleFilePath and the caption of its messages.
std::unique_ptr<IconSet> LoadIconGroupFromModule(platform::Module& module, const char* modulePath,
                                                 const platform::ResourceName& name);

// The best-fitting image of the group as an icon at the default icon size;
// none on any failure, without a message. The module stays open.
platform::IconHandle LoadGroupPreviewIcon(platform::Module& module, const platform::ResourceName* name);

}  // namespace pk
