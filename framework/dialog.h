// Dialogs built from dialog templates, and the data exchange that binds their
// controls to member objects and values.
#pragma once

#include <windows.h>

#include "framework/wnd.h"

class CDialog;

class CDataExchange {
 public:
  CDataExchange(CDialog* dialog, BOOL saveAndValidate)
      : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
  CDialog* m_pDlgWnd;
  BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
};

// Binds control `id` to `control` once (subclassing it); later exchanges leave it bound.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
// The radio group that begins with control `id`: `value` is the index of the
// checked button, -1 for none.
void DDX_Radio(CDataExchange* dx, int id, int& value);

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr)
      : templateId_(templateId), parent_(parent) {}

  // Runs the dialog modally. The owner is the parent or, without one, the
  // application's main window; the result is what EndDialog was given, or -1
  // when the dialog could not be made.
  virtual INT_PTR DoModal();
  // Makes the dialog modeless (for tests and tools that drive a dialog by hand).
  BOOL Create(HWND owner = nullptr);
  void EndDialog(int result);
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

  virtual BOOL OnInitDialog();

 protected:
  virtual void DoDataExchange(CDataExchange* dx) {}
  virtual void OnOK();
  virtual void OnCancel();

  BOOL OnCommand(UINT id, UINT code, HWND control) override;
  HBRUSH OnCtlColor(CDC* dc, HWND control, UINT type) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM w, LPARAM l);
  HWND OwnerWindow() const;

  UINT templateId_;
  CWnd* parent_;
  bool modal_ = false;
};
