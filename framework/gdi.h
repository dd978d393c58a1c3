// Device contexts and graphics objects under the framework's names. Each
// wrapper owns its handle and deletes it when destroyed; a CDC made with
// CDC::Borrow only lends its name to a device context that someone else owns
// (the one a draw-item request carries, for instance).
#pragma once

#include <windows.h>

#include <utility>

#include "platform/win32/unique_handle.h"

class CWnd;

class CGdiObject {
 public:
  CGdiObject() = default;
  virtual ~CGdiObject() = default;
  CGdiObject(CGdiObject&&) = default;
  CGdiObject& operator=(CGdiObject&&) = default;

  HGDIOBJ GetSafeHandle() const { return object_.Get(); }
  // Takes ownership of `object`, deleting the one held before.
  BOOL Attach(HGDIOBJ object) {
    object_.Reset(object);
    return object != nullptr;
  }
  HGDIOBJ Detach() { return object_.Release(); }
  BOOL DeleteObject() {
    bool had = bool(object_);
    object_.Reset();
    return had;
  }
  int GetObject(int size, void* buffer) const { return ::GetObjectW(object_.Get(), size, buffer); }

 private:
  pk::win32::UniqueGdiObject object_;
};

class CBitmap : public CGdiObject {
 public:
  operator HBITMAP() const { return static_cast<HBITMAP>(GetSafeHandle()); }
  // LoadBitmapW from the application's resources.
  BOOL LoadBitmap(UINT resourceId);
  BOOL CreateCompatibleBitmap(HDC dc, int width, int height) {
    return Attach(::CreateCompatibleBitmap(dc, width, height));
  }
  BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    return Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
  }
  int GetBitmap(BITMAP* info) const { return GetObject(sizeof(BITMAP), info); }
};

class CFont : public CGdiObject {
 public:
  operator HFONT() const { return static_cast<HFONT>(GetSafeHandle()); }
  BOOL CreateFontIndirect(const LOGFONTW* description) {
    return Attach(::CreateFontIndirectW(description));
  }
};

class CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
  operator HBRUSH() const { return static_cast<HBRUSH>(GetSafeHandle()); }
  BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
};

class CDC {
 public:
  CDC() = default;
  virtual ~CDC() = default;
  CDC(CDC&& other) noexcept
      : m_hDC(std::exchange(other.m_hDC, nullptr)), owned_(std::move(other.owned_)) {}
  CDC& operator=(CDC&& other) noexcept {
    owned_ = std::move(other.owned_);
    m_hDC = std::exchange(other.m_hDC, nullptr);
    return *this;
  }

  // A view of a device context that belongs to someone else: never deleted.
  static CDC Borrow(HDC dc) {
    CDC view;
    view.m_hDC = dc;
    return view;
  }

  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }

  // Takes ownership: the device context is deleted with the wrapper.
  BOOL Attach(HDC dc) {
    owned_.Reset(dc);
    m_hDC = dc;
    return dc != nullptr;
  }
  // Ends the wrapper's hold without deleting the device context.
  HDC Detach() {
    owned_.Release();
    return std::exchange(m_hDC, nullptr);
  }
  BOOL CreateCompatibleDC(const CDC* like) {
    return Attach(::CreateCompatibleDC(like ? like->m_hDC : nullptr));
  }
  BOOL DeleteDC() {
    bool had = m_hDC != nullptr;
    owned_.Reset();
    m_hDC = nullptr;
    return had;
  }

  HGDIOBJ SelectObject(const CGdiObject* object) { return ::SelectObject(m_hDC, object->GetSafeHandle()); }
  HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
  COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
  COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
  COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
  COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
  int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
  BOOL BitBlt(int x, int y, int w, int h, const CDC* src, int sx, int sy, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, rop);
  }
  BOOL StretchBlt(int x, int y, int w, int h, const CDC* src, int sx, int sy, int sw, int sh,
                  DWORD rop) {
    return ::StretchBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, sw, sh, rop);
  }
  void FillRect(const RECT* rect, const CBrush* brush) { ::FillRect(m_hDC, rect, *brush); }
  int DrawText(const wchar_t* text, int length, RECT* rect, UINT format) {
    return ::DrawTextW(m_hDC, text, length, rect, format);
  }
  BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }

 protected:
  HDC m_hDC = nullptr;

 private:
  pk::win32::UniqueDc owned_;
};

// The paint of one WM_PAINT: BeginPaint on construction, EndPaint on destruction.
class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* window);
  ~CPaintDC() override;
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;

  PAINTSTRUCT m_ps{};

 private:
  HWND window_;
};

// A window's client-area device context: GetDC on construction, ReleaseDC on destruction.
class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* window);
  explicit CClientDC(HWND window);
  CClientDC(const CClientDC&) = delete;
  CClientDC& operator=(const CClientDC&) = delete;

 private:
  pk::win32::WindowDc dc_;
};

// Selects an object into a device context for one scope and puts the previous
// object back when the scope ends.
using pk::win32::SelectedObject;
