// Modules opened as data with the system's loader: LoadLibraryExW with
// LOAD_LIBRARY_AS_DATAFILE, then the resource calls. None of the module's
// code runs. Text names are the program's GBK text, converted from and to
// the module's UTF-16 through code page 936 whatever the system's, as the
// portable reader converts them.
#include <windows.h>

#include "platform/module.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace pk::platform {
namespace {

// True when every byte of [p, p + size) is committed, readable memory. The
// loader hands out the address and size a module's table claims; in a damaged
// module they can run past the end of the mapped file.
bool IsReadable(const void* p, size_t size) {
  auto at = reinterpret_cast<uintptr_t>(p);
  const uintptr_t end = at + size;
  if (end < at) return false;
  while (at < end) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) == 0) return false;
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (info.State != MEM_COMMIT || !(info.Protect & readable) || (info.Protect & PAGE_GUARD))
      return false;
    at = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
  }
  return true;
}

struct EnumContext {
  const std::function<bool(const ResourceName&)>* callback;
};

BOOL CALLBACK EnumNameProc(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  auto* context = reinterpret_cast<EnumContext*>(param);
  // No exception may unwind through the system's frames.
  try {
    if (IS_INTRESOURCE(name))
      return (*context->callback)(ResourceName::FromId(LOWORD(reinterpret_cast<ULONG_PTR>(name)))) ? TRUE : FALSE;
    return (*context->callback)(ResourceName::FromText(win32::GbkFromWide(name))) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

class Win32Module final : public Module {
 public:
  explicit Win32Module(HMODULE handle) : handle_(handle) {}

  std::optional<std::span<const uint8_t>> FindResourceBytes(uint16_t type, const ResourceName& name) override {
    const std::wstring text = name.IsId() ? std::wstring() : win32::WideFromGbk(name.Text());
    LPCWSTR resourceName = name.IsId() ? MAKEINTRESOURCEW(name.Id()) : text.c_str();
    HRSRC resource = FindResourceW(handle_.Get(), resourceName, MAKEINTRESOURCEW(type));
    if (!resource) return std::nullopt;
    HGLOBAL loaded = LoadResource(handle_.Get(), resource);
    if (!loaded) return std::nullopt;
    const void* bytes = LockResource(loaded);
    if (!bytes) return std::nullopt;
    const DWORD size = SizeofResource(handle_.Get(), resource);
    if (!IsReadable(bytes, size)) return std::nullopt;
    return std::span<const uint8_t>(static_cast<const uint8_t*>(bytes), size);
  }

  bool EnumerateNames(uint16_t type, const std::function<bool(const ResourceName&)>& callback) override {
    EnumContext context{&callback};
    return EnumResourceNamesW(handle_.Get(), MAKEINTRESOURCEW(type), EnumNameProc,
                              reinterpret_cast<LONG_PTR>(&context)) != FALSE;
  }

 private:
  win32::UniqueModule handle_;
};

}  // namespace

std::unique_ptr<Module> OpenModuleAsData(const char* path) {
  if (!path) return nullptr;
  HMODULE handle = LoadLibraryExW(win32::WideFromUtf8(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!handle) return nullptr;
  return std::make_unique<Win32Module>(handle);
}

int LookupIconIdFromDirectory(std::span<const uint8_t> groupDirectory) {
  if (groupDirectory.empty()) return 0;
  return ::LookupIconIdFromDirectory(const_cast<PBYTE>(groupDirectory.data()), TRUE);
}

}  // namespace pk::platform
