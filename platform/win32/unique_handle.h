// One move-only owner for every kind of Windows handle the program holds,
// parameterised by traits that name the release call, and scope types for
// what must be undone in order (a window's device context released, a
// selected object put back). The win32 backend and the application framework
// both hold their handles through these.
//
// Test builds (PK_COUNT_HANDLES) keep a live count per kind: Wine answers
// GetGuiResources with 0, so the leak tests count what the owners acquire and
// release instead.
#pragma once

#include <windows.h>

#include <utility>

namespace pk::win32 {

enum class HandleKind { Dc, Bitmap, Font, Brush, OtherGdi, Icon, Kernel, Module, Global, Count };

#ifdef PK_COUNT_HANDLES
// Live handles of one kind that the owners currently hold.
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
// A device context made by CreateCompatibleDC (not one borrowed from a window).
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
// Kernel objects; callers turn INVALID_HANDLE_VALUE into null before owning.
struct KernelTraits {
  using Handle = HANDLE;
  static void Close(Handle h) { ::CloseHandle(h); }
  static HandleKind Kind(Handle) { return HandleKind::Kernel; }
};
// A folder listing from FindFirstFileW.
struct FindTraits {
  using Handle = HANDLE;
  static void Close(Handle h) { ::FindClose(h); }
  static HandleKind Kind(Handle) { return HandleKind::Kernel; }
};
struct ModuleTraits {
  using Handle = HMODULE;
  static void Close(Handle h) { ::FreeLibrary(h); }
  static HandleKind Kind(Handle) { return HandleKind::Module; }
};
struct GlobalTraits {
  using Handle = HGLOBAL;
  static void Close(Handle h) { ::GlobalFree(h); }
  static HandleKind Kind(Handle) { return HandleKind::Global; }
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
  // Gives up ownership without releasing: the handle now belongs to someone
  // else (the clipboard, the caller of a Detach).
  Handle Release() {
    if (handle_) CountHandle(kind_, -1);
    return std::exchange(handle_, nullptr);
  }
  // Hands the handle to an owner of another shape that releases it with
  // CloseCounted; it stays counted as live until then.
  Handle Transfer() { return std::exchange(handle_, nullptr); }

 private:
  Handle handle_ = nullptr;
  // Remembered at acquisition: the object type cannot be asked after release.
  HandleKind kind_ = HandleKind::OtherGdi;
};

// Releases a handle given away by Transfer.
template <typename Traits>
void CloseCounted(typename Traits::Handle h) {
  if (!h) return;
  CountHandle(Traits::Kind(h), -1);
  Traits::Close(h);
}

using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueDc = UniqueHandle<DcTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueKernelHandle = UniqueHandle<KernelTraits>;
using UniqueFind = UniqueHandle<FindTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueGlobal = UniqueHandle<GlobalTraits>;

// A window's device context (GetDC; the screen's for a null window), released
// to its window when the scope ends.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {
    if (dc_) CountHandle(HandleKind::Dc, +1);
  }
  ~WindowDc() { Release(); }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }
  // Gives the context back before the scope ends.
  void Release() {
    if (!dc_) return;
    CountHandle(HandleKind::Dc, -1);
    ::ReleaseDC(window_, dc_);
    dc_ = nullptr;
  }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context for one scope and puts the previous
// object back when the scope ends.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (previous_) ::SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  explicit operator bool() const { return previous_ != nullptr; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace pk::win32
