// One move-only owner for every kind of handle the GUI holds, parameterised by
// traits that name the release call. Test builds (PK_COUNT_HANDLES) keep a
// live count per kind: Wine answers GetGuiResources with 0, so the leak tests
// count what the wrappers acquire and release instead.
#pragma once

#include <windows.h>

#include <utility>

namespace pk::fw {

enum class HandleKind { Dc, Bitmap, Font, Brush, OtherGdi, Icon, Menu, Kernel, Count };

#ifdef PK_COUNT_HANDLES
// Live handles of one kind that framework wrappers currently own or borrow.
long LiveHandles(HandleKind kind);
void CountHandle(HandleKind kind, int delta);
#else
inline void CountHandle(HandleKind, int) {}
#endif

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static void Close(Handle h) { ::DeleteObject(h); }
  static HandleKind Kind(Handle h) {
    switch (::GetObjectType(h)) {
      case OBJ_BITMAP: return HandleKind::Bitmap;
      case OBJ_FONT: return HandleKind::Font;
      case OBJ_BRUSH: return HandleKind::Brush;
      default: return HandleKind::OtherGdi;
    }
  }
};
struct DcTraits {
  using Handle = HDC;
  static void Close(Handle h) { ::DeleteDC(h); }
  static HandleKind Kind(Handle) { return HandleKind::Dc; }
};
struct IconTraits {
  using Handle = HICON;
  static void Close(Handle h) { ::DestroyIcon(h); }
  static HandleKind Kind(Handle) { return HandleKind::Icon; }
};
struct MenuTraits {
  using Handle = HMENU;
  static void Close(Handle h) { ::DestroyMenu(h); }
  static HandleKind Kind(Handle) { return HandleKind::Menu; }
};
struct KernelTraits {
  using Handle = HANDLE;
  static void Close(Handle h) { ::CloseHandle(h); }
  static HandleKind Kind(Handle) { return HandleKind::Kernel; }
};

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle h) { Reset(h); }
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept { *this = std::move(other); }
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, nullptr);
      kind_ = other.kind_;
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

  // Releases the current handle (if any) and takes ownership of `h`.
  void Reset(Handle h = nullptr) {
    if (handle_) {
      CountHandle(kind_, -1);
      Traits::Close(handle_);
    }
    handle_ = h;
    if (handle_) {
      kind_ = Traits::Kind(handle_);
      CountHandle(kind_, +1);
    }
  }
  // Gives up ownership without releasing.
  Handle Release() {
    if (handle_) CountHandle(kind_, -1);
    return std::exchange(handle_, nullptr);
  }

 private:
  Handle handle_ = nullptr;
  // Remembered at acquisition: the object type cannot be asked after release.
  HandleKind kind_ = HandleKind::OtherGdi;
};

using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueDc = UniqueHandle<DcTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueKernelHandle = UniqueHandle<KernelTraits>;

}  // namespace pk::fw
