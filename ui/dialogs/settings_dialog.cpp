#include "ui/dialogs/settings_dialog.h"

#include "platform/win32/wide_text.h"
#include "res/resource.h"
#include "ui_messages.h"
#include "updater/auto_update_setting.h"

SettingsDialog::SettingsDialog(CWnd* parent) : CDialog(IDD_SETTINGS, parent) {}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Radio(dx, IDC_UPDATE_PROMPT, updateMode);
  DDX_Control(dx, IDOK, okButton);
  DDX_Control(dx, IDCANCEL, cancelButton);
}

BOOL SettingsDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  okButton.SetSkin(kDialogSkin);
  cancelButton.SetSkin(kDialogSkin);
  // A missing key or value, or one the system refuses to read, is the prompt.
  DWORD stored = 0;
  pk::update::ReadAutoUpdate(pk::update::kSettingsKey, pk::update::kAutoUpdateValue, &stored);
  ::SendDlgItemMessageA(m_hWnd, stored == 0 ? IDC_UPDATE_PROMPT : IDC_UPDATE_AUTO, BM_SETCHECK, BST_CHECKED, 0);
  return TRUE;
}

void SettingsDialog::OnOK() {
  UpdateData(TRUE);
  // Only 0 and 1 are ever stored; with no button checked the prompt is the safe choice.
  DWORD value = updateMode == 1 ? 1 : 0;
  if (!pk::update::WriteAutoUpdate(pk::update::kSettingsKey, pk::update::kAutoUpdateValue, value)) {
    // The key is never created here, and writing under the local machine's
    // root needs a right the user may lack: say that the choice was not kept.
    ::MessageBoxW(m_hWnd, pk::win32::WideFromGbk(pk::ui_msg::kSettingsNotSaved).c_str(),
                  pk::win32::WideFromGbk(pk::ui_msg::kErrorCaption).c_str(), MB_OK);
  }
  CDialog::OnOK();
}
