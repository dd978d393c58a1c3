// Our own reader of the resource tables of Windows modules: PE32 and PE32+
// (.exe, .dll) and the 16-bit NE format of classic icon libraries (.icl).
// Pure logic over a ByteSource; the portable backend of platform/module.h
// stands on it, and the Windows tests compare it with the system's calls.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "platform/module.h"
#include "platform/portable/core/byte_source.h"

namespace pk::portable {

// Where a resource's bytes lie in the file.
struct ResourceLocation {
  uint64_t offset = 0;
  uint32_t size = 0;
};

// Turns a UTF-16 resource name into the program's 8-bit text, the way
// EnumResourceNamesA hands names out (characters without an 8-bit form
// become '?').
using NarrowText = std::function<std::string(std::u16string_view)>;

// The language ids tried, in order, when a resource exists in several
// languages; see PeResourceTable in pe_resources.cpp.
inline constexpr uint16_t kLangNeutral = 0x0000;
inline constexpr uint16_t kLangChinesePrc = 0x0804;
inline constexpr uint16_t kLangChinese = 0x0004;
inline constexpr uint16_t kLangEnglishUs = 0x0409;

// Why a lookup or an enumeration found nothing.
enum class ResourceFault {
  NoResources,   // the headers name no resource table, or it cannot be read
  TableOutside,  // a table of the tree is not whole inside the file
  NoSuchType,    // the module has no resource of that type
  NoNames,       // the type has no name the reader can give
  NoSuchName,    // the type has no resource of that name
  LeadsBack,     // a table leads back to the root or its type: the tree would loop
  NoData,        // the name has no language with a data entry
  DataOutside,   // the resource's bytes are not inside the file
};

class ResourceTable {
 public:
  virtual ~ResourceTable() = default;

  // The names of the resources of `type`, in the order the system enumerates
  // them: text names first, then integer ids ascending. None when the module
  // has no resource of that type or its tables cannot be read; the system's
  // enumeration fails in the same cases.
  virtual Result<std::vector<platform::ResourceName>, ResourceFault> Names(uint16_t type) = 0;

  // The resource of `type` and `name`; none when it is missing or its bytes
  // are not inside the file. Text names match without regard to ASCII case,
  // as the system upper-cases the name it is asked for.
  virtual Result<ResourceLocation, ResourceFault> Find(uint16_t type, const platform::ResourceName& name) = 0;
};

enum class ModuleKind { None, Pe, Ne };

// What the file is: a PE module ("MZ" header pointing at "PE\0\0"), a 16-bit
// NE module ("MZ" pointing at "NE"), or neither.
ModuleKind DetectModuleKind(ByteSource& source);

// A reader of the file's resource tables; none when the file is not a module.
// PE: opens whenever the system would open the file as data, even when the
// module has no readable resources (lookups then fail).
std::unique_ptr<ResourceTable> OpenResourceTable(ByteSource& source, NarrowText narrow);

}  // namespace pk::portable

namespace pk::portable {

// The two readers behind OpenResourceTable, for a file already known to be of
// that kind (`headerOffset`: where "PE\0\0" or "NE" stands).
std::unique_ptr<ResourceTable> OpenPeResourceTable(ByteSource& source, uint32_t headerOffset,
                                                   NarrowText narrow);
std::unique_ptr<ResourceTable> OpenNeResourceTable(ByteSource& source, uint32_t headerOffset);

}  // namespace pk::portable
