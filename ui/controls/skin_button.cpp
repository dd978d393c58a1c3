#include "ui/controls/skin_button.h"

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

BOOL SkinButton::OnEraseBkgnd(CDC* dc) {
  return FALSE;  // DrawItem covers the whole client area
}

bool SkinButton::SetSkin(UINT id, int frames, int top, int bottom, int left, int right) {
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
  const int FH = info.bmHeight;
  const int FW = info.bmWidth / frames;
  const int X = FW * frameIndex;

  RECT client;
  GetClientRect(&client);
  const int W = client.right - client.left;
  const int H = client.bottom - client.top;

  face->DeleteObject();
  face->CreateCompatibleBitmap(windowDC, W, H);
  SelectedObject faceSelected(target, face->GetSafeHandle());

  const int T = marginTop, B = marginBottom, L = marginLeft, R = marginRight;
  // The corners are copied as they are; a failed corner spoils the face.
  if (!target.BitBlt(0, 0, L, T, &source, X, 0, SRCCOPY) ||
      !target.BitBlt(0, H - B, L, B, &source, X, FH - B, SRCCOPY) ||
      !target.BitBlt(W - R, 0, R, T, &source, X + FW - R, 0, SRCCOPY) ||
      !target.BitBlt(W - R, H - B, R, B, &source, X + FW - R, FH - B, SRCCOPY)) {
    return false;
  }
  // Margins wider than the button or the frame leave no band to stretch;
  // a negative extent would mirror the piece instead, so it is skipped.
  auto stretch = [&](int x, int y, int w, int h, int sx, int sy, int sw, int sh) {
    if (w > 0 && h > 0 && sw > 0 && sh > 0) target.StretchBlt(x, y, w, h, &source, sx, sy, sw, sh, SRCCOPY);
  };
  stretch(L, T, W - L - R, H - T - B, X + L, T, FW - L - R, FH - T - B);  // centre
  stretch(L, 0, W - L - R, T, X + L, 0, FW - L - R, T);                    // top edge
  stretch(L, H - B, W - L - R, B, X + L, FH - B, FW - L - R, B);           // bottom edge
  stretch(0, T, L, H - T - B, X, T, L, FH - T - B);                        // left edge
  stretch(W - R, T, R, H - T - B, X + FW - R, T, R, FH - T - B);           // right edge

  skinReady = 1;
  return true;
}

void SkinButton::DrawFace(CDC* dc, CBitmap* face) {
  if (skinReady < 1 || !face->GetSafeHandle()) return;
  RECT client;
  GetClientRect(&client);
  const int W = client.right - client.left;
  const int H = client.bottom - client.top;

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
    maskBitmap.CreateBitmap(W, H, 1, 1, nullptr);
    SelectedObject imageSelected(image, face->GetSafeHandle());
    SelectedObject maskSelected(mask, maskBitmap.GetSafeHandle());

    // Colour to monochrome: pixels equal to the image's background colour
    // (the key) become 1, all others 0.
    image.SetBkColor(transparentColor);
    mask.BitBlt(0, 0, W, H, &image, 0, 0, SRCCOPY);
    // XOR the face in, clear it where the mask is 0, XOR again: the target
    // keeps its pixels under the key colour and takes the face's elsewhere.
    dc->BitBlt(0, 0, W, H, &image, 0, 0, SRCINVERT);
    dc->BitBlt(0, 0, W, H, &mask, 0, 0, SRCAND);
    dc->BitBlt(0, 0, W, H, &image, 0, 0, SRCINVERT);
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
    std::string caption = GetWindowText();
    memory.DrawText(caption.c_str(), int(caption.size()), &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    memory.SetTextColor(oldColor);
    if (oldFont) memory.SelectObject(oldFont);
    memory.SetBkMode(oldMode);
  }
  dc.Detach();
}
