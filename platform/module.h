// Modules (.exe, .dll, .icl) opened as data, for reading their resources.
// Windows: LoadLibraryExW(LOAD_LIBRARY_AS_DATAFILE) and the resource calls.
// Elsewhere: our own reader of the PE (PE32, PE32+) and NE resource tables.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace pk::platform {

inline constexpr uint16_t kResourceTypeIcon = 3;        // RT_ICON
inline constexpr uint16_t kResourceTypeGroupIcon = 14;  // RT_GROUP_ICON

// A resource name: an integer identifier (below 65536) or a text name in the
// program's 8-bit code page (GBK; a character GBK lacks becomes '?').
class ResourceName {
 public:
  static ResourceName FromId(uint16_t id) { return ResourceName(true, id, {}); }
  static ResourceName FromText(std::string text) { return ResourceName(false, 0, std::move(text)); }

  bool IsId() const { return isId_; }
  uint16_t Id() const { return id_; }
  const std::string& Text() const { return text_; }

 private:
  ResourceName(bool isId, uint16_t id, std::string text)
      : isId_(isId), id_(id), text_(std::move(text)) {}
  bool isId_;
  uint16_t id_;
  std::string text_;
};

class Module {
 public:
  virtual ~Module() = default;  // FreeLibrary

  // FindResourceW + LoadResource + LockResource + SizeofResource: the bytes of
  // the resource, valid while the module is open; none when it is missing.
  virtual std::optional<std::span<const uint8_t>> FindResourceBytes(uint16_t type,
                                                               const ResourceName& name) = 0;

  // EnumResourceNamesW: calls `callback` once per name of the given type, in
  // the platform's order, until it returns false. Returns false when the
  // enumeration fails, which includes a module with no resource of that type.
  virtual bool EnumerateNames(uint16_t type,
                              const std::function<bool(const ResourceName&)>& callback) = 0;

  // Lets go of the resource bytes read so far, where the backend keeps copies
  // (the portable reader does; Windows maps the file): every span that
  // FindResourceBytes handed out becomes invalid. For callers that walk
  // through a large module one group at a time and keep their own copies.
  virtual void ReleaseResourceBytes() {}
};

// Opens a file (its path in UTF-8) as a module for reading resources; none for
// a file that is not a module the platform accepts.
std::unique_ptr<Module> OpenModuleAsData(const char* path);

// LookupIconIdFromDirectory(directory, TRUE): the id of the image of a group
// directory that best fits the default icon size and the display's depth;
// 0 when none does.
int LookupIconIdFromDirectory(std::span<const uint8_t> groupDirectory);

}  // namespace pk::platform
