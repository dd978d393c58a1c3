// The settings dialog: how updates are offered, with a prompt or without.
// It shows the stored choice when it opens and stores the checked one on OK.
#pragma once

#include "framework/dialog.h"
#include "ui/controls/skin_button.h"

class SettingsDialog : public CDialog {
 public:
  explicit SettingsDialog(CWnd* parent = nullptr);
  ~SettingsDialog() override;

  BOOL OnInitDialog() override;

  // Index of the checked button of the group 1008 (prompt) / 1009 (automatic); -1 for none.
  int updateMode = -1;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  void OnOK() override;

 private:
  SkinButton okButton;
  SkinButton cancelButton;
};
