// The about box: the product's name and version, what it does, and the
// maker's e-mail address and web site as links. It changes nothing.
#pragma once

#include "framework/dialog.h"
#include "ui/controls/skin_button.h"

class AboutDialog : public CDialog {
 public:
  AboutDialog();
  ~AboutDialog() override;

  BOOL OnInitDialog() override;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnCommand(UINT id, UINT code, HWND control) override;

 private:
  SkinButton okButton;
};
