// The program's main window: the list of icons of the opened file, the
// preview of the selected one and the column of command buttons.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>
// WIN32_LEAN_AND_MEAN leaves the shell's drop handles out of <windows.h>.
#include <shellapi.h>

#include "codec/icon_set.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "platform/icon.h"
#include "platform/module.h"
#include "ui/controls/preview_picture.h"
#include "ui/controls/skin_button.h"

class MainDialog : public CDialog {
 public:
  explicit MainDialog(CWnd* parent = nullptr);
  ~MainDialog() override;

  BOOL OnInitDialog() override;

  // The icon the preview picture shows now; null when it shows none of ours.
  HICON PreviewIcon() const;

  // Opens a file as if it had been chosen in the open dialog: from a drop, the
  // command line, or the dialog itself.
  void OpenPath(const std::string& path);

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
  void OnSaveAs();
  void OnCopy();

  // The branches of the open command, by the kind of file.
  void OpenIconFile();
  void OpenBitmapFile();
  // False when the enumeration failed after its message: the command stops there.
  bool OpenModule();
  // Selects the first entry and sets the buttons; says so when nothing was listed.
  void FinishOpen();
  // Adds one group of the source module at its sorted place.
  void AddGroupEntry(const pk::platform::ResourceName& name);
  // After a failed open: an empty list, no preview, Save as and Copy disabled.
  void ShowNothingOpen();
  // Empties the list and releases the name copies its entries pointed at.
  void ResetIconList();
  // With a module as the source, loads the selected group anew as the current record.
  void LoadSelectedGroup();
  // The first image of the current record, when there is a record, the list
  // has entries and the record holds an image; null otherwise.
  const pk::IconSetImage* AvailableFirstImage() const;
  void OnDropFiles(HDROP drop);
  // Opens the file that the program was started with, if any.
  void OpenCommandLineFile();

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
  PreviewPicture previewPicture;
  HICON appIcon;  // shared icon from LoadIcon: never destroyed
  pk::platform::IconHandle previewIcon;
  // Copies of the text group names the list's item values point at.
  std::vector<std::unique_ptr<char[]>> entryNames;
};

// The group name an icon-list entry carries as its item value: an integer
// identifier below 65536, or the address of a copy of a text name.
pk::platform::ResourceName GroupNameFromItemValue(LRESULT value);
// True for the extensions the program treats as modules: every one but "ico"
// and "bmp", so that .ocx, .cpl, .scr and names without a dot open as modules.
bool IsModuleExtension(const std::string& lowerExtension);
// A message of the main window's commands (the program's words), captioned
// "错误"; a path (UTF-8) may come in front of the words.
void ShowError(const char* text, std::string_view pathBeforeText = {});
