#include "framework/dialog.h"

#include "framework/win_app.h"

namespace {

constexpr UINT kHelpCommand = 57670;  // ID_HELP

bool IsRadioButton(HWND control) {
  return (::SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}

}  // namespace

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd) return;
  control.SubclassDlgItem(UINT(id), dx->m_pDlgWnd);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
  HWND control = dx->m_pDlgWnd->GetDlgItem(id);
  if (!control) return;
  if (dx->m_bSaveAndValidate) value = -1;
  // The group runs from the first button to the next control that starts a
  // group, or to the end of the dialog.
  int index = 0;
  do {
    if (IsRadioButton(control)) {
      if (dx->m_bSaveAndValidate) {
        if (::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
      } else {
        ::SendMessageW(control, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
      }
      ++index;
    }
    control = ::GetWindow(control, GW_HWNDNEXT);
  } while (control && !(::GetWindowLongA(control, GWL_STYLE) & WS_GROUP));
}

HWND CDialog::OwnerWindow() const {
  if (parent_) return parent_->m_hWnd;
  CWinApp* app = AfxGetApp();
  CWnd* main = app ? app->m_pMainWnd : nullptr;
  // The main dialog itself is recorded before its window exists.
  return main && main != this ? main->m_hWnd : nullptr;
}

INT_PTR CDialog::DoModal() {
  modal_ = true;
  INT_PTR result = ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(templateId_),
                                     OwnerWindow(), &DialogProc, reinterpret_cast<LPARAM>(this));
  modal_ = false;
  return result;
}

BOOL CDialog::Create(HWND owner) {
  modal_ = false;
  HWND window = ::CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(templateId_),
                                     owner ? owner : OwnerWindow(), &DialogProc,
                                     reinterpret_cast<LPARAM>(this));
  return window != nullptr;
}

void CDialog::EndDialog(int result) {
  if (modal_) {
    ::EndDialog(m_hWnd, result);
  } else {
    ::DestroyWindow(m_hWnd);
  }
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  return TRUE;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  UpdateData(TRUE);
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnCommand(UINT id, UINT code, HWND control) {
  // Buttons send BN_CLICKED; Enter and Escape arrive from the dialog manager
  // with code 0 and no control, which is the same number.
  if (code == BN_CLICKED) {
    switch (id) {
      case IDOK:
        OnOK();
        return TRUE;
      case IDCANCEL:
        OnCancel();
        return TRUE;
      case kHelpCommand:
        if (CWinApp* app = AfxGetApp()) app->OnHelp();
        return TRUE;
    }
  }
  return FALSE;
}

HBRUSH CDialog::OnCtlColor(CDC* dc, HWND control, UINT type) {
  CWinApp* app = AfxGetApp();
  HBRUSH brush = app ? app->DialogBackgroundBrush() : nullptr;
  // The application's dialog colours cover the dialog's face, its texts and
  // its buttons; edit fields, list boxes and scroll bars keep the system's.
  if (brush && (type == CTLCOLOR_DLG || type == CTLCOLOR_STATIC || type == CTLCOLOR_BTN ||
                type == CTLCOLOR_MSGBOX)) {
    dc->SetBkColor(app->DialogBackgroundColor());
    dc->SetTextColor(app->DialogTextColor());
    return brush;
  }
  return CWnd::OnCtlColor(dc, control, type);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message != WM_INITDIALOG) return FALSE;
  // From here on every message reaches the object through its window
  // procedure; this dialog procedure answers FALSE to let the dialog manager
  // do its default work.
  auto* self = reinterpret_cast<CDialog*>(l);
  if (!self->SubclassWindow(window)) return TRUE;
  // Templates carry position 0, 0: the dialog appears centred on its owner.
  if (!(::GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) self->CenterWindow();
  return self->OnInitDialog();
}
