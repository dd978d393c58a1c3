#include "ui/dialogs/about_dialog.h"

#include "res/maker.h"
#include "res/resource.h"
#include "ui/controls/hyperlink_label.h"

AboutDialog::AboutDialog() : CDialog(IDD_ABOUT) {}

AboutDialog::~AboutDialog() = default;

void AboutDialog::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_ABOUT_OK, okButton);
}

BOOL AboutDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  okButton.SetSkin(kDialogSkin);
  AttachHyperlink(m_hWnd, IDC_MAIL_LINK, PK_MAKER_MAILTO, kLinkColorDefault);
  AttachHyperlink(m_hWnd, IDC_WEB_LINK, PK_MAKER_WEB_SITE, kLinkColorDefault);
  return TRUE;
}

BOOL AboutDialog::OnCommand(UINT id, UINT code, HWND control) {
  // The OK button is not the dialog's OK command: it asks the window to
  // close, which ends the box the way Escape and the close box do (Cancel).
  if (id == IDC_ABOUT_OK && code == BN_CLICKED) {
    SendMessage(WM_CLOSE);
    return TRUE;
  }
  return CDialog::OnCommand(id, code, control);
}
