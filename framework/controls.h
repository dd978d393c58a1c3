// The standard controls the dialogs bind to member objects.
#pragma once

#include <windows.h>

#include <string>

#include "framework/wnd.h"

class CButton : public CWnd {
 public:
  UINT GetState() const { return UINT(SendMessage(BM_GETSTATE)); }
  void SetState(BOOL pushed) { SendMessage(BM_SETSTATE, pushed); }
  int GetCheck() const { return int(SendMessage(BM_GETCHECK)); }
  void SetCheck(int check) { SendMessage(BM_SETCHECK, WPARAM(check)); }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }

  // Paints an owner-drawn button; the parent's draw-item request comes here.
  virtual void DrawItem(DRAWITEMSTRUCT* item) {}

 protected:
  // WM_PRINTCLIENT of an owner-drawn button goes to DrawItem as well, with the
  // state the button would report, so a button can be rendered into a bitmap.
  LRESULT WindowProc(UINT message, WPARAM w, LPARAM l) override;
  bool OnChildNotify(UINT message, WPARAM w, LPARAM l, LRESULT* result) override;
};

class CListBox : public CWnd {
 public:
  int GetCount() const { return int(SendMessage(LB_GETCOUNT)); }
  int GetCurSel() const { return int(SendMessage(LB_GETCURSEL)); }
  int SetCurSel(int index) { return int(SendMessage(LB_SETCURSEL, WPARAM(index))); }
  // The entry's item value; LB_ERR (-1) for a bad index.
  LRESULT GetItemData(int index) const { return SendMessage(LB_GETITEMDATA, WPARAM(index)); }
  int SetItemData(int index, LPARAM value) {
    return int(SendMessage(LB_SETITEMDATA, WPARAM(index), value));
  }
  int AddString(const wchar_t* text) { return int(SendMessage(LB_ADDSTRING, 0, LPARAM(text))); }
  void ResetContent() { SendMessage(LB_RESETCONTENT); }
  std::wstring GetText(int index) const;
};

class CStatic : public CWnd {
 public:
  // STM_SETICON: the control shows `icon` and answers the icon it showed before.
  HICON SetIcon(HICON icon) { return reinterpret_cast<HICON>(SendMessage(STM_SETICON, WPARAM(icon))); }
  HICON GetIcon() const { return reinterpret_cast<HICON>(SendMessage(STM_GETICON)); }
};
