// The program's main window: the list of icons of the opened file, the
// preview of the selected one and the column of command buttons.
#pragma once

#include <memory>
#include <string>

#include "codec/icon_set.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "platform/icon.h"
#include "platform/module.h"
#include "ui/controls/skin_button.h"

class MainDialog : public CDialog {
 public:
  explicit MainDialog(CWnd* parent = nullptr);
  ~MainDialog() override;

  BOOL OnInitDialog() override;

  // The icon the preview picture shows now; null when it shows none of ours.
  HICON PreviewIcon() const;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  void OnOK() override;
  void OnCancel() override;
  BOOL OnCommand(UINT id, UINT code, HWND control) override;
  void OnPaint() override;
  void OnSysCommand(UINT id, LPARAM l) override;
  HCURSOR OnQueryDragIcon() override;
  void OnDestroy() override;
  LRESULT WindowProc(UINT message, WPARAM w, LPARAM l) override;

  // The empty record the dialog starts with: room for one image, none filled.
  virtual std::unique_ptr<pk::IconSet> MakeStartupRecord();
  void OnAbout();

  // Draws the application icon centred in the client area of the minimised window.
  void PaintMinimised(CDC* dc);
  // Makes the preview of the selected entry when the source is a module.
  void RefreshPreview();
  // Puts `icon` (or nothing) into the picture; the icon it replaces is
  // released only after the control has let go of it.
  void SetPreviewIcon(pk::platform::IconHandle icon);

  std::unique_ptr<pk::IconSet> currentRecord;
  std::unique_ptr<pk::platform::Module> sourceModule;
  std::string sourcePath;
  std::string sourceExtension;
  std::string savePath;
  std::string saveExtension;
  SkinButton browseButton;
  SkinButton exitButton;
  SkinButton saveAsButton;
  SkinButton copyButton;
  SkinButton aboutButton;
  SkinButton settingsButton;
  CListBox iconList;
  HICON appIcon;  // shared icon from LoadIcon: never destroyed
  pk::platform::IconHandle previewIcon;
};

// The group name an icon-list entry carries as its item value: an integer
// identifier below 65536, or the address of a copy of a text name.
pk::platform::ResourceName GroupNameFromItemValue(LRESULT value);
// True for the extensions the program treats as modules.
bool IsModuleExtension(const std::string& lowerExtension);
