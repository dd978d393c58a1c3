#include "ui/controls/skin_button.h"

#include <memory>
#include <new>
#include <string>

#include "framework/win_app.h"
#include "ui/controls/memory_dc.h"
#include "ui_messages.h"

SkinButton::SkinButton() : font(new (std::nothrow) ButtonFont(pk::ui_msg::kButtonFontFace)) {}

SkinButton::~SkinButton() {
  normalFace.DeleteObject();
  pressedFace.DeleteObject();
  focusedFace.DeleteObject();
  disabledFace.DeleteObject();
  font.reset();
}

void SkinButton::PreSubclassWindow() {
  // Push buttons (type 0) and default push buttons (type 1) both become
  // owner-drawn (type 0x0B); the flags in the upper bits of the byte stay.
  UINT style = UINT(::GetWindowLongA(m_hWnd, GWL_STYLE));
  SendMessage(BM_SETSTYLE, (style & 0xFF) | BS_OWNERDRAW, TRUE);
}

LRESULT SkinButton::WindowProc(UINT message, WPARAM w, LPARAM l) {
  // An owner-drawn button is no push button to the dialog manager, which
  // would send Enter to the dialog's default command whatever has the focus:
  // the button asks for Enter itself. Space is the button class's own.
  if (message == WM_GETDLGCODE) {
    const auto* key = reinterpret_cast<const MSG*>(l);
    const bool enter = key && (key->message == WM_KEYDOWN || key->message == WM_CHAR) && key->wParam == VK_RETURN;
    return CButton::WindowProc(message, w, l) | (enter ? DLGC_WANTMESSAGE : 0);
  }
  if (message == WM_KEYDOWN && w == VK_RETURN) {
    // Sent, as a click is: the command has run when the key has been handled.
    if (HWND parent = ::GetParent(m_hWnd); parent && ::IsWindowEnabled(m_hWnd)) {
      ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(m_hWnd), BN_CLICKED), LPARAM(m_hWnd));
    }
    return 0;
  }
  if (message == WM_CHAR && w == VK_RETURN) return 0;  // the key's character: handled with the key
  if (message == WM_SIZE && bitmapId && frameCount > 0) {
    // A new size (the dialog scaled to another monitor's DPI): the faces are
    // stretched anew, the caption's font made for that DPI.
    const LRESULT result = CButton::WindowProc(message, w, l);
    SetSkin(bitmapId, frameCount, marginTop, marginBottom, marginLeft, marginRight);
    return result;
  }
  return CButton::WindowProc(message, w, l);
}

BOOL SkinButton::OnEraseBkgnd(CDC* dc) {
  return FALSE;  // DrawItem covers the whole client area
}

bool SkinButton::SetSkin(UINT id, int frames, int top, int bottom, int left, int right) {
  // The caption's font follows the DPI the button is shown at.
  if (const UINT dpi = WindowDpi(m_hWnd); font && dpi != fontDpi) {
    if (auto scaled = std::unique_ptr<ButtonFont>(new (std::nothrow) ButtonFont(pk::ui_msg::kButtonFontFace, dpi))) {
      font = std::move(scaled);
      fontDpi = dpi;
    }
  }
  marginTop = top;
  marginBottom = bottom;
  marginLeft = left;
  marginRight = right;
  bitmapId = id;
  frameCount = frames;
  // The frame width is the bitmap's width divided by the frame count.
  if (frameCount < 1) return false;

  CBitmap skin;
  if (!skin.LoadBitmap(bitmapId & 0xFFFF)) return false;
  return ComposeFace(&skin, &normalFace, 0, frameCount) && ComposeFace(&skin, &pressedFace, 1, frameCount) &&
         ComposeFace(&skin, &disabledFace, 2, frameCount) && ComposeFace(&skin, &focusedFace, 3, frameCount);
}

bool SkinButton::ComposeFace(CBitmap* skin, CBitmap* face, int frameIndex, int frames) {
  CClientDC windowDC(this);
  CDC source;
  CDC target;
  source.CreateCompatibleDC(&windowDC);
  target.CreateCompatibleDC(&windowDC);

  SelectedObject skinSelected(source, skin->GetSafeHandle());
  BITMAP info{};
  skin->GetBitmap(&info);
  const int frameHeight = info.bmHeight;
  const int frameWidth = info.bmWidth / frames;
  const int frameLeft = frameWidth * frameIndex;

  RECT client;
  GetClientRect(&client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;

  face->DeleteObject();
  face->CreateCompatibleBitmap(windowDC, width, height);
  SelectedObject faceSelected(target, face->GetSafeHandle());

  const int top = marginTop, bottom = marginBottom, left = marginLeft, right = marginRight;
  // The corners are copied as they are; a failed corner spoils the face.
  if (!target.BitBlt(0, 0, left, top, &source, frameLeft, 0, SRCCOPY) ||
      !target.BitBlt(0, height - bottom, left, bottom, &source, frameLeft, frameHeight - bottom, SRCCOPY) ||
      !target.BitBlt(width - right, 0, right, top, &source, frameLeft + frameWidth - right, 0, SRCCOPY) ||
      !target.BitBlt(width - right, height - bottom, right, bottom, &source, frameLeft + frameWidth - right,
                     frameHeight - bottom, SRCCOPY)) {
    return false;
  }
  // Margins wider than the button or the frame leave no band to stretch;
  // a negative extent would mirror the piece instead, so it is skipped.
  auto stretch = [&](int x, int y, int w, int h, int sx, int sy, int sw, int sh) {
    if (w > 0 && h > 0 && sw > 0 && sh > 0) target.StretchBlt(x, y, w, h, &source, sx, sy, sw, sh, SRCCOPY);
  };
  const int bandWidth = width - left - right, bandHeight = height - top - bottom;
  const int frameBandWidth = frameWidth - left - right, frameBandHeight = frameHeight - top - bottom;
  stretch(left, top, bandWidth, bandHeight, frameLeft + left, top, frameBandWidth, frameBandHeight);  // centre
  stretch(left, 0, bandWidth, top, frameLeft + left, 0, frameBandWidth, top);                           // top edge
  stretch(left, height - bottom, bandWidth, bottom, frameLeft + left, frameHeight - bottom, frameBandWidth,
          bottom);                                                                                      // bottom edge
  stretch(0, top, left, bandHeight, frameLeft, top, left, frameBandHeight);                             // left edge
  stretch(width - right, top, right, bandHeight, frameLeft + frameWidth - right, top, right,
          frameBandHeight);                                                                             // right edge

  skinReady = 1;
  return true;
}

void SkinButton::DrawFace(CDC* dc, CBitmap* face) {
  if (skinReady < 1 || !face->GetSafeHandle()) return;
  RECT client;
  GetClientRect(&client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;

  // White background and black text turn the mask's 1 bits into white and
  // its 0 bits into black when the mask is copied onto the colour target.
  COLORREF oldBk = dc->SetBkColor(RGB(255, 255, 255));
  COLORREF oldText = dc->SetTextColor(RGB(0, 0, 0));
  {
    CDC image;
    CDC mask;
    image.CreateCompatibleDC(dc);
    mask.CreateCompatibleDC(dc);
    CBitmap maskBitmap;
    maskBitmap.CreateBitmap(width, height, 1, 1, nullptr);
    SelectedObject imageSelected(image, face->GetSafeHandle());
    SelectedObject maskSelected(mask, maskBitmap.GetSafeHandle());

    // Colour to monochrome: pixels equal to the image's background colour
    // (the key) become 1, all others 0.
    image.SetBkColor(transparentColor);
    mask.BitBlt(0, 0, width, height, &image, 0, 0, SRCCOPY);
    // XOR the face in, clear it where the mask is 0, XOR again: the target
    // keeps its pixels under the key colour and takes the face's elsewhere.
    dc->BitBlt(0, 0, width, height, &image, 0, 0, SRCINVERT);
    dc->BitBlt(0, 0, width, height, &mask, 0, 0, SRCAND);
    dc->BitBlt(0, 0, width, height, &image, 0, 0, SRCINVERT);
  }
  dc->SetBkColor(oldBk);
  dc->SetTextColor(oldText);
}

void SkinButton::DrawItem(DRAWITEMSTRUCT* item) {
  // The device context belongs to whoever asked for the paint.
  CDC dc = CDC::Borrow(item->hDC);
  RECT rect;
  GetClientRect(&rect);
  {
    MemoryDC memory(&dc, rect);
    {
      CBrush face(::GetSysColor(COLOR_BTNFACE));
      memory.FillRect(&rect, &face);
    }

    bool grey = false;
    if (item->itemState & ODS_FOCUS) {
      DrawFace(&memory, &focusedFace);
      if (item->itemState & ODS_SELECTED) {
        DrawFace(&memory, &pressedFace);
        rect.left += 5;  // the caption moves with the pushed-in face
      }
    } else if (item->itemState & ODS_DISABLED) {
      DrawFace(&memory, &disabledFace);
      grey = true;
    } else {
      DrawFace(&memory, &normalFace);
    }

    int oldMode = memory.SetBkMode(TRANSPARENT);
    // Without a font (its allocation failed) the caption uses the DC's own.
    HGDIOBJ oldFont = font ? memory.SelectObject(font.get()) : nullptr;
    COLORREF oldColor =
        memory.SetTextColor(grey ? ::GetSysColor(COLOR_GRAYTEXT) : (font ? font->GetTextColor() : RGB(0, 0, 0)));
    // The caption as the template gives it (UTF-16), whatever the code page.
    const std::wstring caption = GetWindowText();
    memory.DrawText(caption.c_str(), int(caption.size()), &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    memory.SetTextColor(oldColor);
    if (oldFont) memory.SelectObject(oldFont);
    memory.SetBkMode(oldMode);
  }
  dc.Detach();
}
